// Picture decoding and encoding for the renderer (stb_image, PNG and TGA). Internal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Lumora::Internal {

// A decoded picture: RGBA, 8 bits per channel, rows from the top.
struct DecodedImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgba;
};

// Largest side accepted, in texels; larger headers are refused before any allocation.
inline constexpr std::int32_t MaximumImageSide = 8192;

// Decodes a PNG or TGA file's bytes. On failure returns nothing and sets `error` to a short
// reason (no file name; the caller adds it). Truncated TGA data is refused, not padded.
std::optional<DecodedImage> DecodeImage(const std::uint8_t* bytes, std::size_t size, std::string& error);

// Multiplies each texel's colour by its alpha.
void PremultiplyAlpha(DecodedImage& image);

// Encodes RGBA rows (from the top) as PNG bytes; empty on failure.
std::vector<std::uint8_t> EncodePng(std::int32_t width, std::int32_t height, const std::uint8_t* rgba);

// Writes RGBA rows (from the top) as a PNG file; false when it cannot be written.
bool WritePng(const char* utf8Path, std::int32_t width, std::int32_t height, const std::uint8_t* rgba);

} // namespace Lumora::Internal
