// The engine's IFileManager: one data pack at a time, and a current directory inside it
// that every caller shares (the resource loader thread and the main thread both use it).
// A mutex guards the pack pointer and the directory; entries are decrypted and inflated
// outside the lock, so two threads can open files at the same time.
#pragma once

#include "PackReader.h"

#include <Lumora/IFileManager.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace Lumora::Internal {

class FileManager final : public IFileManager {
public:
    explicit FileManager(std::string packDirectory);

    std::int32_t AddRef() override;
    std::int32_t Release() override;

    bool SetPackFile(std::int32_t slot, const char* name, const char* password) override;
    void SetCurrentDirectory(const char* directory) override;
    IFile* OpenFile(const char* name) override;
    const char* GetPackError() override;
    void SetPackErrorReport(bool toStderr) override;

    // Uses `source` as the pack (memory packs for tests and fuzzing). `displayName` is the
    // name messages give; with `report` false nothing is written to stderr.
    bool SetPackSource(std::unique_ptr<PackSource> source, const std::string& displayName,
                       std::string_view password, bool report = true);
    // The current directory in normal form ("" is the root).
    std::string GetCurrentDirectory() const;

private:
    ~FileManager() override = default;

    std::atomic<std::int32_t> references_{1};
    const std::string packDirectory_; // UTF-8, "" = the process's current directory

    mutable std::mutex mutex_;
    std::shared_ptr<const PackReader> pack_; // null until a pack is set
    std::string packDisplayName_;
    bool reportErrors_ = true;
    bool reportPackRefusal_ = true; // SetPackFile's own refusals on stderr
    std::string packError_;         // the last refusal, "" after a success
    std::string currentDirectory_; // normalised
};

} // namespace Lumora::Internal
