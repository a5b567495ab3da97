// Helpers for the renderer tests: in-memory files and pictures made in code.
#pragma once

#include "ImageCodec.h"
#include "LooseFiles.h"

#include <Lumora/IFileManager.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace RenderTest {

// Files by name, held in memory (Put); the current directory is remembered, not used.
using MemoryFileManager = Lumora::Internal::LooseFiles;

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
