#include "GameFolders.h"

#include "SaveDataManager.h"
#include "SaveSchema.h"

#include <Lumora/Directory.h>
#include <Lumora/System.h>
#include <Lumora/Text.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kApplicationName = "tomarugi";
constexpr const char* kSaveFileName = "tomarugi.save";
// Inside the player's data folder; beside the program it is "data/stage/extra".
constexpr const char* kPlayerExtraStageFolder = "stage/extra";
constexpr const char* kShippedExtraStageFolder = "data/stage/extra";

std::string playerFolder;

// Makes the player's data folder when it is missing. "" when it is a writable folder now;
// otherwise why not, in words for the player.
std::string MakePlayerFolder(const std::string& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    const fs::file_status status = fs::status(folder);
    if (fs::exists(status) && !fs::is_directory(status)) {
        return folder + " is not a folder";
    }
    if (error) {
        return folder + " cannot be made (" + error.message() + ")";
    }
    if (!Lumora::IsFolderWritable(folder)) {
        return folder + " cannot be written";
    }
    return {};
}

// The player's save file, made from the shipped one on the first run: copied under a
// passing name and renamed into place, so a run cut short never leaves half a file that
// would later read as a damaged save. An existing file is never replaced. Without a shipped
// file (or when the copy fails) a fresh one gets the tables and the default settings.
void MakePlayerSaveFile(const fs::path& save)
{
    std::error_code error;
    if (fs::exists(fs::symlink_status(save, error))) {
        return;
    }
    fs::path passing = save;
    passing += ".new";
    bool made = fs::copy_file(kSaveFileName, passing, fs::copy_options::overwrite_existing, error) && !error;
    if (made) {
        // The shipped file may be read-only; the player's copy is theirs to write.
        fs::permissions(passing, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, error);
        made = !error;
    }
    if (!made) {
        fs::remove(passing, error);
        RepairSaveFile(passing.c_str(), nullptr);
    }
    if (!fs::exists(fs::symlink_status(save, error))) {
        fs::rename(passing, save, error);
    }
    fs::remove(passing, error);
}

} // namespace

void PrepareGameFolders()
{
    std::string problem;
    playerFolder = Lumora::PlayerDataFolder(kApplicationName, problem);
    SetSaveFilePath(kSaveFileName);
    Lumora::System::SetScreenshotFolder(nullptr);
    if (Lumora::IsFolderWritable("")) {
        return;
    }

    std::error_code error;
    const std::string gameFolder = fs::current_path(error).string();
    if (playerFolder.empty()) {
        ReportSaveNotKept("the game folder " + gameFolder + " cannot be written and " + problem);
        return;
    }
    problem = MakePlayerFolder(playerFolder);
    if (!problem.empty()) {
        ReportSaveNotKept("the game folder " + gameFolder + " cannot be written, and " + problem);
        return;
    }
    const fs::path save = fs::path(playerFolder) / kSaveFileName;
    MakePlayerSaveFile(save);
    SetSaveFilePath(save.string());
    Lumora::System::SetScreenshotFolder(playerFolder.c_str());
    // Shown to the player as the place for their own stages; a failure changes nothing.
    fs::create_directories(GetPlayerExtraStageFolder(), error);
}

const std::string& GetPlayerFolder()
{
    return playerFolder;
}

std::string GetPlayerExtraStageFolder()
{
    return playerFolder.empty() ? std::string() : playerFolder + "/" + kPlayerExtraStageFolder;
}

std::string ExtraStageFilePath(const std::string& name)
{
    // Listed names came from the disk through an exact conversion, so the way back is exact.
    const std::string onDisk = Lumora::ShiftJisToUtf8(name);
    if (!playerFolder.empty()) {
        const std::string own = GetPlayerExtraStageFolder() + "/" + onDisk;
        std::error_code error;
        if (fs::exists(fs::symlink_status(own, error))) {
            return own;
        }
    }
    return std::string(kShippedExtraStageFolder) + "/" + onDisk;
}

bool KeepPlayerStage(const std::string& fileName, const std::vector<std::uint8_t>& bytes, std::string& where)
{
    const std::string player = GetPlayerExtraStageFolder();
    const fs::path folder = player.empty() ? fs::path("data/stage/extra") : fs::path(player);
    std::error_code error;
    fs::create_directories(folder, error);
    const fs::path target = folder / fileName;
    const fs::path temporary = folder / (fileName + ".part");
    {
        std::FILE* file = std::fopen(temporary.c_str(), "wb");
        if (file == nullptr) {
            where = temporary.string() + ": cannot write";
            return false;
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        const bool closed = std::fclose(file) == 0;
        if (!written || !closed) {
            fs::remove(temporary, error);
            where = temporary.string() + ": cannot write";
            return false;
        }
    }
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        where = target.string() + ": cannot write";
        return false;
    }
    where = target.string();
    return true;
}
