// The game program's entry point: run from the program's own folder, where the data pack,
// the plug-ins, the extra stage folder and the save file live, whatever folder it was
// started from.
#include "Application.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

int main(int /*argc*/, char** argv)
{
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error && argv[0] != nullptr) {
        program = std::filesystem::absolute(argv[0], error);
    }
    if (!program.empty() && program.has_parent_path()) {
        std::filesystem::current_path(program.parent_path(), error);
    }

    bool started = false;
    {
        Application application;
        if (const char* failure = application.GetStartupFailure()) {
            std::fprintf(stderr, "tomarugi: cannot start: %s\n", failure);
        } else {
            started = true;
            application.Run();
        }
    }
    return started ? 0 : 1;
}
