#include "Texture.h"

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
}

Texture::~Texture()
{
    if (gpuName != 0) {
        QueueGpuTextureDeletion(gpuName);
    }
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
