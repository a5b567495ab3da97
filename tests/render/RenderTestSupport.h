// Helpers for the renderer tests: in-memory files and pictures made in code.
#pragma once

#include "ImageCodec.h"

#include <Lumora/IFileManager.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace RenderTest {

class MemoryFile final : public Lumora::IFile {
public:
    MemoryFile(std::string name, std::vector<std::uint8_t> bytes) : name_(std::move(name)), bytes_(std::move(bytes)) {}
    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override
    {
        const std::int32_t left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    std::int32_t Read(void* buffer, std::int32_t size) override
    {
        if (size <= 0) {
            return 0;
        }
        const std::size_t count = std::min(static_cast<std::size_t>(size), bytes_.size() - position_);
        std::memcpy(buffer, bytes_.data() + position_, count);
        position_ += count;
        return static_cast<std::int32_t>(count);
    }
    std::int32_t GetSize() override { return static_cast<std::int32_t>(bytes_.size()); }
    std::int32_t GetPosition() override { return static_cast<std::int32_t>(position_); }
    std::int32_t Seek(std::int32_t position) override
    {
        position_ = static_cast<std::size_t>(std::clamp<std::int32_t>(position, 0, GetSize()));
        return GetPosition();
    }
    const char* GetName() override { return name_.c_str(); }

private:
    ~MemoryFile() override = default;
    std::atomic<std::int32_t> references_{1};
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// Files by name in one flat directory; the current directory is remembered, not used.
class MemoryFileManager final : public Lumora::IFileManager {
public:
    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override
    {
        const std::int32_t left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    bool SetPackFile(std::int32_t, const char*, const char*) override { return true; }
    void SetCurrentDirectory(const char* directory) override { directory_ = directory != nullptr ? directory : ""; }
    Lumora::IFile* OpenFile(const char* name) override
    {
        const auto found = files_.find(name != nullptr ? name : "");
        return found == files_.end() ? nullptr : new MemoryFile(found->first, found->second);
    }
    void Put(const std::string& name, std::vector<std::uint8_t> bytes) { files_[name] = std::move(bytes); }

private:
    ~MemoryFileManager() override = default;
    std::atomic<std::int32_t> references_{1};
    std::string directory_;
    std::map<std::string, std::vector<std::uint8_t>> files_;
};

// A picture of one colour (RGBA bytes) with an optional differently coloured left half.
inline std::vector<std::uint8_t> SolidRgba(int width, int height, std::uint32_t rgba)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height) * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = static_cast<std::uint8_t>(rgba >> 24);
        pixels[i + 1] = static_cast<std::uint8_t>(rgba >> 16);
        pixels[i + 2] = static_cast<std::uint8_t>(rgba >> 8);
        pixels[i + 3] = static_cast<std::uint8_t>(rgba);
    }
    return pixels;
}

inline std::vector<std::uint8_t> Png(int width, int height, const std::vector<std::uint8_t>& rgba)
{
    return Lumora::Internal::EncodePng(width, height, rgba.data());
}

// An uncompressed 32-bit TGA, rows stored from the top.
inline std::vector<std::uint8_t> Tga(int width, int height, const std::vector<std::uint8_t>& rgba)
{
    std::vector<std::uint8_t> bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = static_cast<std::uint8_t>(width);
    bytes[13] = static_cast<std::uint8_t>(width >> 8);
    bytes[14] = static_cast<std::uint8_t>(height);
    bytes[15] = static_cast<std::uint8_t>(height >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28; // 8 alpha bits, top-left origin
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        bytes.push_back(rgba[i + 2]); // TGA stores BGRA
        bytes.push_back(rgba[i + 1]);
        bytes.push_back(rgba[i]);
        bytes.push_back(rgba[i + 3]);
    }
    return bytes;
}

} // namespace RenderTest
