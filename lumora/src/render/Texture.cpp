#include "Texture.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace Lumora::Internal {
namespace {

std::mutex deletionLock;
std::vector<std::uint32_t> pendingDeletions;

} // namespace

TextureOptions ReadTextureOptions(std::uint32_t filter, std::uint32_t wrap, std::uint32_t premultiply,
                                  std::uint32_t)
{
    TextureOptions options;
    switch (filter) {
    case 1: options.filter = TextureFilter::Nearest; break;
    case 3: options.filter = TextureFilter::LinearMipmaps; break;
    default: options.filter = TextureFilter::Linear; break;
    }
    options.repeat = wrap == 1;
    options.premultiply = premultiply == 1;
    return options;
}

Texture::Texture(std::string name, DecodedImage image, const TextureOptions& options)
    : name_(std::move(name)), width_(image.width), height_(image.height), options_(options),
      pixels_(std::move(image.rgba))
{
    const bool complete = width_ > 0 && height_ > 0 &&
                          pixels_.size() == static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4u;
    if (options_.filter != TextureFilter::LinearMipmaps || !complete) {
        return;
    }
    std::int32_t width = width_;
    std::int32_t height = height_;
    const std::uint8_t* level = pixels_.data();
    while (width > 1 || height > 1) {
        mipLevels_.push_back(HalveImage(level, width, height));
        level = mipLevels_.back().data();
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
    }
}

namespace {

// Where destination texel `index` of `count` samples a row or column of `sourceCount`
// texels: the two source texels and the second one's weight in 1/256ths.
struct Tap {
    std::int32_t first;
    std::int32_t second;
    std::uint32_t weight;
};

Tap TapFor(std::int32_t index, std::int32_t count, std::int32_t sourceCount)
{
    // The destination texel's centre in source texels, less half a texel.
    const double centre = (static_cast<double>(index) + 0.5) * sourceCount / count - 0.5;
    const double low = std::floor(centre);
    const auto first = std::clamp(static_cast<std::int32_t>(low), 0, sourceCount - 1);
    const auto second = std::min(first + 1, sourceCount - 1);
    const auto weight = static_cast<std::uint32_t>(std::lround((centre - low) * 256.0));
    return {first, second, std::min(weight, 256u)};
}

} // namespace

std::vector<std::uint8_t> HalveImage(const std::uint8_t* rgba, std::int32_t width, std::int32_t height)
{
    const std::int32_t outWidth = std::max(1, width / 2);
    const std::int32_t outHeight = std::max(1, height / 2);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(outWidth) * static_cast<std::size_t>(outHeight) * 4u);
    std::vector<Tap> columns(static_cast<std::size_t>(outWidth));
    for (std::int32_t x = 0; x < outWidth; ++x) {
        columns[static_cast<std::size_t>(x)] = TapFor(x, outWidth, width);
    }
    const auto rowBytes = static_cast<std::size_t>(width) * 4u;
    std::uint8_t* target = out.data();
    for (std::int32_t y = 0; y < outHeight; ++y) {
        const Tap row = TapFor(y, outHeight, height);
        const std::uint8_t* top = rgba + static_cast<std::size_t>(row.first) * rowBytes;
        const std::uint8_t* bottom = rgba + static_cast<std::size_t>(row.second) * rowBytes;
        for (const Tap& column : columns) {
            const std::size_t left = static_cast<std::size_t>(column.first) * 4u;
            const std::size_t right = static_cast<std::size_t>(column.second) * 4u;
            for (std::size_t channel = 0; channel < 4; ++channel) {
                // Weights in 1/256ths each way: the sum is in 1/65536ths, rounded.
                const std::uint32_t upper = top[left + channel] * (256u - column.weight) + top[right + channel] * column.weight;
                const std::uint32_t lower =
                    bottom[left + channel] * (256u - column.weight) + bottom[right + channel] * column.weight;
                const std::uint32_t sum = upper * (256u - row.weight) + lower * row.weight;
                *target++ = static_cast<std::uint8_t>((sum + 32768u) >> 16);
            }
        }
    }
    return out;
}

Texture::~Texture()
{
    if (gpuName != 0) {
        QueueGpuTextureDeletion(gpuName);
    }
    if (Texture* companion = highResolution_.exchange(nullptr)) {
        companion->Release();
    }
}

void Texture::ProvideHighResolution(Texture* companion)
{
    Texture* earlier = highResolution_.exchange(companion, std::memory_order_acq_rel);
    if (earlier != nullptr) {
        earlier->Release(); // never expected: a texture is claimed once
    }
}

std::string HighResolutionName(const std::string& name)
{
    const std::size_t separator = name.find_last_of("/\\");
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) {
        return name + "@2x";
    }
    return name.substr(0, dot) + "@2x" + name.substr(dot);
}

std::int32_t Texture::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

void QueueGpuTextureDeletion(std::uint32_t gpuName)
{
    std::lock_guard lock(deletionLock);
    pendingDeletions.push_back(gpuName);
}

std::vector<std::uint32_t> TakeGpuTextureDeletions()
{
    std::lock_guard lock(deletionLock);
    std::vector<std::uint32_t> taken;
    taken.swap(pendingDeletions);
    return taken;
}

} // namespace Lumora::Internal
