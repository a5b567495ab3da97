// tomarugi-harness: runs the real game program headless, driven by a script.
//
//   tomarugi-harness [--dir GAME_DIR] [--player-env] [--pixels] [--keep] SCRIPT
//
// --pixels renders every frame with OpenGL (offscreen); a script with `shot` turns it on.
// --player-env leaves XDG_DATA_HOME and HOME as the caller set them (see below).
//
// The engine finds the data pack and the plug-ins beside the running program, and the game
// keeps its save file and extra stages in the current directory. So the harness first builds
// a scratch program folder: a copy of itself with links to the pack and plug-ins of the game
// folder (--dir, or the build's game folder by default), and runs that copy. The current
// directory of the run is GAME_DIR when given; otherwise the scratch folder, which gets a copy
// of the shipped "tomarugi.save" and a link to the extra stages, so the shipped save file is
// never touched. Either way XDG_DATA_HOME points into the scratch folder, so the stages and
// save file in the tester's own data folder never join a run; only --player-env leaves the
// environment as it is (the installed-game tests give the game a HOME of their own and
// check what lands there). The scratch folder is removed afterwards unless --keep is given.
//
// Exit codes: 0 every line ran (or the game quit where the closing expect-quit asked for it);
// 1 an expectation failed, `idle` timed out, the game did not start, or it quit before the
// script's end without an expect-quit (the line it stopped at is named); 2 a bad script or
// command line. See HarnessScript.h.
#include "HarnessRunner.h"
#include "HarnessScript.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kRelaunchFlag = "--run-here";

int Usage()
{
    std::fprintf(stderr, "usage: tomarugi-harness [--dir GAME_DIR] [--player-env] [--pixels] [--keep] SCRIPT\n");
    return HarnessBadScript;
}

bool LinkOrReport(const fs::path& target, const fs::path& link)
{
    std::error_code error;
    fs::create_symlink(target, link, error);
    if (error) {
        std::fprintf(stderr, "tomarugi-harness: cannot link %s: %s\n", link.c_str(),
                     error.message().c_str());
        return false;
    }
    return true;
}

// Builds the scratch program folder and runs the harness copy inside it; returns its exit code.
int Relaunch(const fs::path& gameDirectory, bool ownDirectory, bool playerEnvironment, bool pixels, bool keep,
             const fs::path& script)
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        std::fprintf(stderr, "tomarugi-harness: cannot find its own program file\n");
        return HarnessFailed;
    }
    std::string pattern = (fs::temp_directory_path() / "tomarugi-harness-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "tomarugi-harness: cannot make a scratch folder\n");
        return HarnessFailed;
    }
    const fs::path scratch(pattern);
    const fs::path program = scratch / "tomarugi-harness";
    bool ready = fs::copy_file(self, program, error) && !error;
    if (fs::exists(gameDirectory / "data.lpk")) {
        ready = ready && LinkOrReport(gameDirectory / "data.lpk", scratch / "data.lpk");
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(gameDirectory, error)) {
        if (entry.path().extension() == ".lmp") {
            ready = ready && LinkOrReport(entry.path(), scratch / entry.path().filename());
        }
    }
    fs::path workDirectory = gameDirectory;
    if (!ownDirectory) {
        workDirectory = scratch;
        if (fs::exists(gameDirectory / "tomarugi.save")) {
            fs::copy_file(gameDirectory / "tomarugi.save", scratch / "tomarugi.save", error);
            ready = ready && !error;
        }
        if (fs::exists(gameDirectory / "data")) {
            ready = ready && LinkOrReport(gameDirectory / "data", scratch / "data");
        }
    }

    int status = HarnessFailed;
    if (ready) {
        const std::string cwd = fs::current_path().string();
        std::vector<std::string> arguments = {program.string(), kRelaunchFlag, workDirectory.string(),
                                              cwd};
        if (pixels) {
            arguments.push_back("--pixels");
        }
        arguments.push_back(script.string());
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        std::fflush(nullptr);
        const std::string playerData = (scratch / "player-data").string();
        const pid_t child = fork();
        if (child == 0) {
            if (!playerEnvironment) {
                setenv("XDG_DATA_HOME", playerData.c_str(), 1);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        int waitStatus = 0;
        if (child > 0 && waitpid(child, &waitStatus, 0) == child && WIFEXITED(waitStatus)) {
            status = WEXITSTATUS(waitStatus);
        } else {
            std::fprintf(stderr, "tomarugi-harness: the game run ended abnormally\n");
        }
    }
    if (keep) {
        std::fprintf(stderr, "tomarugi-harness: scratch folder kept: %s\n", scratch.c_str());
    } else {
        fs::remove_all(scratch, error);
    }
    return status;
}

bool ReadScript(const fs::path& path, std::vector<HarnessCommand>& commands)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "tomarugi-harness: cannot read %s\n", path.c_str());
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string error;
    if (!ParseHarnessScript(text.str(), commands, error)) {
        std::fprintf(stderr, "tomarugi-harness: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    fs::path gameDirectory = TOMARUGI_DEFAULT_GAME_DIR;
    bool ownDirectory = false;
    bool playerEnvironment = false;
    bool pixels = false;
    bool keep = false;
    bool relaunched = false;
    fs::path workDirectory;
    fs::path shotDirectory;
    fs::path script;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--dir" && i + 1 < arguments.size()) {
            gameDirectory = fs::absolute(arguments[++i]);
            ownDirectory = true;
        } else if (argument == "--player-env") {
            playerEnvironment = true;
        } else if (argument == "--pixels") {
            pixels = true;
        } else if (argument == "--keep") {
            keep = true;
        } else if (argument == kRelaunchFlag && i + 2 < arguments.size()) {
            relaunched = true;
            workDirectory = arguments[++i];
            shotDirectory = arguments[++i];
        } else if (!argument.empty() && argument[0] != '-' && script.empty()) {
            script = fs::absolute(argument);
        } else {
            return Usage();
        }
    }
    if (script.empty()) {
        return Usage();
    }
    std::vector<HarnessCommand> commands;
    if (!ReadScript(script, commands)) {
        return HarnessBadScript;
    }
    // A script that takes screenshots needs frames rendered for real.
    for (const HarnessCommand& command : commands) {
        pixels = pixels || command.kind == HarnessCommand::Kind::Shot;
    }
    if (!relaunched) {
        if (!fs::is_directory(gameDirectory)) {
            std::fprintf(stderr, "tomarugi-harness: no game folder at %s\n", gameDirectory.c_str());
            return HarnessBadScript;
        }
        return Relaunch(gameDirectory, ownDirectory, playerEnvironment, pixels, keep, script);
    }

    std::error_code error;
    fs::current_path(workDirectory, error);
    if (error) {
        std::fprintf(stderr, "tomarugi-harness: cannot enter %s\n", workDirectory.c_str());
        return HarnessFailed;
    }
    HarnessRunOptions options;
    options.pixels = pixels;
    options.shotDirectory = shotDirectory;
    return RunHarnessScript(commands, options);
}
