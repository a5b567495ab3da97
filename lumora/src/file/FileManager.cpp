#include "FileManager.h"

#include "FileSystem.h"
#include "MemoryFile.h"
#include "PackPath.h"

#include <Lumora/Text.h>

#include <cstdio>

namespace Lumora::Internal {
namespace {

// What GetPackError says: the pack file and the reason.
std::string PackErrorLine(const std::string& packName, const std::string& reason)
{
    return packName + ": " + reason;
}

void ReportPackError(const std::string& packName, const std::string& reason)
{
    const std::string line = "lumora: data pack '" + packName + "': " + reason + "\n";
    std::fputs(line.c_str(), stderr);
}

} // namespace

FileManager::FileManager(std::string packDirectory) : packDirectory_(std::move(packDirectory)) {}

std::int32_t FileManager::AddRef()
{
    return references_.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::int32_t FileManager::Release()
{
    const std::int32_t left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
        delete this;
    }
    return left;
}

bool FileManager::SetPackFile(std::int32_t slot, const char* name, const char* password)
{
    const std::string packName = name != nullptr ? ShiftJisToUtf8(name) : std::string();
    std::string path = packDirectory_;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += packName + ".lpk";
    bool report = true;
    {
        std::lock_guard lock(mutex_);
        report = reportPackRefusal_;
    }
    std::string error;
    std::unique_ptr<PackSource> source;
    if (slot != 0 || packName.empty()) {
        error = slot != 0 ? "only pack slot 0 exists" : "no pack name given";
    } else {
        source = OpenPackFileSource(path, error);
    }
    if (source == nullptr) {
        {
            std::lock_guard lock(mutex_);
            pack_.reset();
            packError_ = PackErrorLine(path, error);
        }
        if (report) {
            ReportPackError(path, error);
        }
        return false;
    }
    const bool opened = SetPackSource(std::move(source), path, password != nullptr ? password : "", report);
    // Entries that turn out damaged later are always worth a line.
    std::lock_guard lock(mutex_);
    reportErrors_ = true;
    return opened;
}

const char* FileManager::GetPackError()
{
    std::lock_guard lock(mutex_);
    return packError_.c_str();
}

void FileManager::SetPackErrorReport(bool toStderr)
{
    std::lock_guard lock(mutex_);
    reportPackRefusal_ = toStderr;
}

bool FileManager::SetPackSource(std::unique_ptr<PackSource> source, const std::string& displayName,
                                std::string_view password, bool report)
{
    std::string error;
    std::shared_ptr<const PackReader> reader = PackReader::Open(std::move(source), password, error);
    {
        std::lock_guard lock(mutex_);
        // A refused pack replaces the old one with none: files never come from a pack other
        // than the one last asked for.
        pack_ = reader;
        packDisplayName_ = displayName;
        reportErrors_ = report;
        packError_ = reader == nullptr ? PackErrorLine(displayName, error) : std::string();
    }
    if (reader == nullptr && report) {
        ReportPackError(displayName, error);
    }
    return reader != nullptr;
}

void FileManager::SetCurrentDirectory(const char* directory)
{
    std::string normalised = NormalisePackPath(directory != nullptr ? directory : "");
    std::lock_guard lock(mutex_);
    currentDirectory_ = std::move(normalised);
}

std::string FileManager::GetCurrentDirectory() const
{
    std::lock_guard lock(mutex_);
    return currentDirectory_;
}

IFile* FileManager::OpenFile(const char* name)
{
    if (name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    std::shared_ptr<const PackReader> pack;
    std::string fullName;
    std::string displayName;
    bool report = true;
    {
        std::lock_guard lock(mutex_);
        pack = pack_;
        fullName = JoinPackPath(currentDirectory_, name);
        displayName = packDisplayName_;
        report = reportErrors_;
    }
    if (pack == nullptr) {
        return nullptr;
    }
    const PackEntry* entry = pack->Find(fullName);
    if (entry == nullptr) {
        return nullptr;
    }
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!pack->ReadEntry(*entry, bytes, error)) {
        if (report) {
            ReportPackError(displayName, "'" + ShiftJisToUtf8(fullName) + "': " + error);
        }
        return nullptr;
    }
    return new MemoryFile(std::string(PackPathLeaf(fullName)), std::move(bytes));
}

std::string AbsolutePackName(IFileManager& manager, const char* name)
{
    const std::string given = name != nullptr ? name : "";
    auto* own = dynamic_cast<FileManager*>(&manager);
    if (own == nullptr) {
        return given;
    }
    return "/" + JoinPackPath(own->GetCurrentDirectory(), given);
}

IFileManager* CreateFileManager(const char* packDirectory)
{
    return new FileManager(packDirectory != nullptr ? packDirectory : "");
}

} // namespace Lumora::Internal
