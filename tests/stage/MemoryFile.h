// tests/stage/MemoryFile.h: an engine file over bytes in memory, for reader tests.
//
// Follows Lumora::IFile: Read delivers what is left and advances; reference counted, but
// tests keep it on the stack and never let the count reach zero through Release.
#pragma once

#include <Lumora/IFile.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

class MemoryFile : public Lumora::IFile {
public:
    explicit MemoryFile(std::vector<std::uint8_t> bytes_, std::int32_t chunk_ = 0)
        : bytes(std::move(bytes_)), chunk(chunk_)
    {
    }
    ~MemoryFile() override = default;

    std::int32_t AddRef() override { return ++references; }
    std::int32_t Release() override { return --references; }

    std::int32_t Read(void* buffer, std::int32_t size) override
    {
        ++reads;
        if (size <= 0) {
            return 0;
        }
        std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(size), bytes.size() - position);
        if (chunk > 0) {
            count = std::min<std::size_t>(count, static_cast<std::size_t>(chunk)); // deliver in pieces
        }
        if (count == 0) {
            return 0; // at the end, or no bytes at all (data() may be null)
        }
        std::memcpy(buffer, bytes.data() + position, count);
        position += count;
        return static_cast<std::int32_t>(count);
    }
    std::int32_t GetSize() override { return static_cast<std::int32_t>(bytes.size()); }
    std::int32_t GetPosition() override { return static_cast<std::int32_t>(position); }
    std::int32_t Seek(std::int32_t to) override
    {
        position = static_cast<std::size_t>(std::clamp<std::int32_t>(to, 0, GetSize()));
        return GetPosition();
    }
    const char* GetName() override { return "memory.pzd"; }

    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
    std::int32_t chunk = 0; // most bytes one Read delivers; 0 = no limit
    std::int32_t references = 1;
    int reads = 0;
};
