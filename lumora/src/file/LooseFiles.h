// A file manager without a data pack, for the tools, benchmarks and tests that give the
// engine files of their own: files put in memory by name come first, then files on disk
// under a root folder ("<root>/<current directory>/<name>", or "<root>/<name>" while no
// directory is set). Names are used as given: no Shift-JIS conversion, no backslashes.
// One thread at a time; the files it opens are MemoryFiles, owned by their caller.
#pragma once

#include <Lumora/IFileManager.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Lumora::Internal {

class LooseFiles final : public IFileManager {
public:
    // An empty `root` reads nothing from disk.
    explicit LooseFiles(std::string root = {});

    std::int32_t AddRef() override;
    std::int32_t Release() override;
    // There is no pack to open: always false.
    bool SetPackFile(std::int32_t slot, const char* name, const char* password) override;
    void SetCurrentDirectory(const char* directory) override;
    // The file put under `name`, else the disk file; null when neither exists.
    IFile* OpenFile(const char* name) override;

    // Holds `bytes` as the file `name`, replacing any held before.
    void Put(const std::string& name, std::vector<std::uint8_t> bytes);

private:
    ~LooseFiles() override = default;

    std::atomic<std::int32_t> references_{1};
    std::string root_;
    std::string directory_;
    std::map<std::string, std::vector<std::uint8_t>> held_;
};

} // namespace Lumora::Internal
