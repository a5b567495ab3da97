// An IFile over bytes held in memory: what every pack entry and disk file becomes once
// opened. The object owns its bytes. One file object is read by one thread at a time (the
// loader opens it, then hands it over); reference counting is atomic, so the handover and
// the final Release may happen on different threads.
#pragma once

#include <Lumora/IFile.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace Lumora::Internal {

class MemoryFile final : public IFile {
public:
    // `name` is what GetName returns (Shift-JIS, no directory). `bytes` must not exceed
    // INT32_MAX bytes; the factory functions check that.
    MemoryFile(std::string name, std::vector<std::uint8_t> bytes);

    std::int32_t AddRef() override;
    std::int32_t Release() override;

    std::int32_t Read(void* buffer, std::int32_t size) override;
    std::int32_t GetSize() override;
    std::int32_t GetPosition() override;
    std::int32_t Seek(std::int32_t position) override;
    const char* GetName() override;

private:
    ~MemoryFile() override = default;

    std::atomic<std::int32_t> references_{1};
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    std::int32_t position_ = 0;
};

} // namespace Lumora::Internal
