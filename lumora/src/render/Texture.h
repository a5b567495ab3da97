// The engine's texture: decoded pixels on the CPU until the GPU backend uploads them on the
// drawing thread. Internal.
#pragma once

#include "ImageCodec.h"

#include <Lumora/ITexture.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace Lumora::Internal {

enum class TextureFilter : std::uint8_t { Nearest, Linear, LinearMipmaps };

struct TextureOptions {
    TextureFilter filter = TextureFilter::Linear;
    bool repeat = false;
    bool premultiply = false;
};

// The four words of IRender::SetTextureLoadOptions, read with their defaults.
TextureOptions ReadTextureOptions(std::uint32_t filter, std::uint32_t wrap, std::uint32_t premultiply,
                                  std::uint32_t reserved);

class Texture final : public ITexture {
public:
    Texture(std::string name, DecodedImage image, const TextureOptions& options);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;
    std::int32_t GetWidth() override { return width_; }
    std::int32_t GetHeight() override { return height_; }
    const char* GetName() override { return name_.c_str(); }

    const std::string& Name() const { return name_; }
    const TextureOptions& Options() const { return options_; }
    // True when the colours are multiplied by alpha (premultiply option at load).
    bool Premultiplied() const { return options_.premultiply; }

    // GPU side, used by the backend on the drawing thread only.
    std::uint32_t gpuName = 0;    // 0 until uploaded
    bool uploadFailed = false;
    // The decoded texels, emptied once they are on the GPU.
    std::vector<std::uint8_t>& Pixels() { return pixels_; }

private:
    ~Texture() override;

    std::atomic<std::int32_t> references_{1};
    std::string name_;
    std::int32_t width_;
    std::int32_t height_;
    TextureOptions options_;
    std::vector<std::uint8_t> pixels_;
};

// GPU names of textures released on any thread wait here until the drawing thread deletes
// them (the GL context is only current there).
void QueueGpuTextureDeletion(std::uint32_t gpuName);
std::vector<std::uint32_t> TakeGpuTextureDeletions();

} // namespace Lumora::Internal
