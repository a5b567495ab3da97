#include "ImageCodec.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace Lumora::Internal {
namespace {

// How many bytes stb may hold at once while decoding the current picture on this thread, or
// 0 for no decode in progress. stb's inflate reads zero bits past the end of a cut-off PNG
// stream and can go on producing output from them, doubling its buffer each time: a picture
// of a few dozen bytes could make it allocate gigabytes. A legitimate picture never needs
// more than its declared size allows, so every allocation beyond that budget is refused and
// the decode fails as a corrupt picture.
thread_local std::size_t decodeBudget = 0;

void* BudgetedMalloc(std::size_t bytes)
{
    if (decodeBudget != 0 && bytes > decodeBudget) {
        return nullptr;
    }
    return std::malloc(bytes);
}

void* BudgetedRealloc(void* block, std::size_t bytes)
{
    if (decodeBudget != 0 && bytes > decodeBudget) {
        return nullptr;
    }
    return std::realloc(block, bytes);
}

} // namespace
} // namespace Lumora::Internal

// stb is compiled here once, with internal linkage, so other parts of the program may carry
// their own copy without clashing. Its allocations go through the decode budget above.
#define STBI_MALLOC(bytes) Lumora::Internal::BudgetedMalloc(bytes)
#define STBI_REALLOC(block, bytes) Lumora::Internal::BudgetedRealloc(block, bytes)
#define STBI_FREE(block) std::free(block)
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#pragma clang diagnostic ignored "-Wmissing-field-initializers"
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#if defined(__clang__)
#pragma clang diagnostic pop
#else
#pragma GCC diagnostic pop
#endif

namespace Lumora::Internal {
namespace {

constexpr std::uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool LooksLikePng(const std::uint8_t* bytes, std::size_t size)
{
    if (size < sizeof(PngSignature)) {
        return false;
    }
    for (std::size_t i = 0; i < sizeof(PngSignature); ++i) {
        if (bytes[i] != PngSignature[i]) {
            return false;
        }
    }
    return true;
}

// stb reads past the end of TGA data as zeros, which would turn a cut-off file into a
// picture with a black or transparent tail. Walk the pixel data first and refuse a file
// that cannot hold the picture its header announces.
bool CheckTgaLength(const std::uint8_t* bytes, std::size_t size, std::string& error)
{
    if (size < 18) {
        error = "not a PNG or TGA picture (too short)";
        return false;
    }
    const std::size_t idLength = bytes[0];
    const std::uint8_t colourMapType = bytes[1];
    const std::uint8_t imageType = bytes[2];
    const std::size_t mapLength = static_cast<std::size_t>(bytes[5] | (bytes[6] << 8));
    const std::size_t mapEntryBits = bytes[7];
    const std::size_t width = static_cast<std::size_t>(bytes[12] | (bytes[13] << 8));
    const std::size_t height = static_cast<std::size_t>(bytes[14] | (bytes[15] << 8));
    const std::size_t pixelBits = bytes[16];
    const bool runLength = imageType >= 9;
    const std::uint8_t baseType = runLength ? static_cast<std::uint8_t>(imageType - 8) : imageType;
    if (colourMapType > 1 || baseType < 1 || baseType > 3 || width == 0 || height == 0 ||
        pixelBits == 0 || pixelBits % 8 != 0 || pixelBits > 32) {
        error = "not a PNG or TGA picture";
        return false;
    }
    std::size_t offset = 18 + idLength;
    if (colourMapType == 1) {
        offset += mapLength * ((mapEntryBits + 7) / 8);
    }
    const std::size_t pixelBytes = pixelBits / 8;
    const std::size_t pixelCount = width * height;
    if (offset > size) {
        error = "TGA picture cut off in its header";
        return false;
    }
    if (!runLength) {
        if ((size - offset) / pixelBytes < pixelCount) {
            error = "TGA picture cut off: fewer pixels than its header announces";
            return false;
        }
        return true;
    }
    std::size_t pixels = 0;
    while (pixels < pixelCount) {
        if (offset >= size) {
            error = "TGA picture cut off in its run-length data";
            return false;
        }
        const std::uint8_t packet = bytes[offset++];
        const std::size_t count = static_cast<std::size_t>(packet & 0x7F) + 1;
        const std::size_t dataBytes = (packet & 0x80) ? pixelBytes : count * pixelBytes;
        if (size - offset < dataBytes) {
            error = "TGA picture cut off in its run-length data";
            return false;
        }
        offset += dataBytes;
        pixels += count;
    }
    return true;
}

} // namespace

std::optional<DecodedImage> DecodeImage(const std::uint8_t* bytes, std::size_t size, std::string& error)
{
    if (bytes == nullptr || size == 0) {
        error = "empty file";
        return std::nullopt;
    }
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        error = "file too large";
        return std::nullopt;
    }
    if (!LooksLikePng(bytes, size) && !CheckTgaLength(bytes, size, error)) {
        return std::nullopt;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    const int length = static_cast<int>(size);
    if (stbi_info_from_memory(bytes, length, &width, &height, &channels) == 0) {
        const char* reason = stbi_failure_reason();
        error = reason != nullptr ? reason : "not a PNG or TGA picture";
        return std::nullopt;
    }
    if (width <= 0 || height <= 0 || width > MaximumImageSide || height > MaximumImageSide) {
        error = "picture size " + std::to_string(width) + " x " + std::to_string(height) + " out of range";
        return std::nullopt;
    }
    // The most a legitimate decode of this picture holds in one block: 16-bit samples of four
    // channels plus a filter byte per row (and per interlace pass), or the compressed input
    // gathered from its chunks; twice over, since stb grows its buffers by doubling.
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 8u + 16u;
    const std::size_t rawBytes = rowBytes * (static_cast<std::size_t>(height) + 8u);
    decodeBudget = 2u * std::max(rawBytes, size) + (1u << 16);
    stbi_uc* pixels = stbi_load_from_memory(bytes, length, &width, &height, &channels, 4);
    decodeBudget = 0;
    if (pixels == nullptr) {
        const char* reason = stbi_failure_reason();
        error = reason != nullptr ? reason : "cannot decode";
        return std::nullopt;
    }
    DecodedImage image;
    image.width = width;
    image.height = height;
    image.rgba.assign(pixels, pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u);
    stbi_image_free(pixels);
    return image;
}

void PremultiplyAlpha(DecodedImage& image)
{
    std::uint8_t* texel = image.rgba.data();
    const std::size_t count = image.rgba.size() / 4;
    for (std::size_t i = 0; i < count; ++i, texel += 4) {
        const unsigned alpha = texel[3];
        for (int channel = 0; channel < 3; ++channel) {
            // Rounded product: 255 * 255 stays 255, 0 stays 0.
            const unsigned product = texel[channel] * alpha + 128u;
            texel[channel] = static_cast<std::uint8_t>((product + (product >> 8)) >> 8);
        }
    }
}

std::vector<std::uint8_t> EncodePng(std::int32_t width, std::int32_t height, const std::uint8_t* rgba)
{
    std::vector<std::uint8_t> bytes;
    if (width <= 0 || height <= 0 || rgba == nullptr) {
        return bytes;
    }
    int length = 0;
    unsigned char* encoded = stbi_write_png_to_mem(rgba, width * 4, width, height, 4, &length);
    if (encoded != nullptr) {
        bytes.assign(encoded, encoded + length);
        STBIW_FREE(encoded);
    }
    return bytes;
}

bool WritePng(const char* utf8Path, std::int32_t width, std::int32_t height, const std::uint8_t* rgba)
{
    if (utf8Path == nullptr || width <= 0 || height <= 0 || rgba == nullptr) {
        return false;
    }
    return stbi_write_png(utf8Path, width, height, 4, rgba, width * 4) != 0;
}

} // namespace Lumora::Internal
