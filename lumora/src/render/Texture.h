// The engine's texture: decoded pixels on the CPU until the GPU backend uploads them on the
// drawing thread. Internal.
//
// A texture filtered with mipmaps gets its smaller levels here, on the thread that decodes
// it (normally the loader), rather than from glGenerateMipmap on the drawing thread: with
// Mesa's software renderer that call builds and compiles a blit shader for every new shape
// of texture, which froze the first frame of a screen for 50 to 100 ms.
//
// High resolution: a texture loaded from "name.ext" may have a companion "name@2x.ext" of
// exactly twice its size (our picture generator paints every picture so). The backend asks
// for it the first time it draws the texture into a target of 1.5 or more pixels per logical
// pixel; HighResolutionLoader reads it off the drawing thread, and until it is there the 1x
// texels are drawn. Drawing keeps the 1x texel coordinates: the backend maps them onto it.
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
    // Mipmap levels 1, 2, ... down to 1 x 1 (RGBA, rows top first), made at construction when
    // the filter is LinearMipmaps and emptied with the texels; empty for other filters.
    std::vector<std::vector<std::uint8_t>>& MipLevels() { return mipLevels_; }

    // The companion's name, absolute in the pack (fixed at load time, whatever the current
    // directory is later); empty when there can be none.
    void SetHighResolutionName(std::string name) { highResolutionName_ = std::move(name); }
    const std::string& HighResolutionName() const { return highResolutionName_; }
    // The loaded companion, or null (not asked for yet, loading, or there is none). Any thread.
    Texture* HighResolution() const { return highResolution_.load(std::memory_order_acquire); }
    // True exactly once, for the first caller that wants the companion of a texture that may
    // have one: that caller queues its load.
    bool ClaimHighResolutionLoad()
    {
        return !highResolutionName_.empty() && !highResolutionClaimed_.exchange(true, std::memory_order_acq_rel);
    }
    // Hands over the companion's reference (the loader; at most once; null: there is none).
    void ProvideHighResolution(Texture* companion);

private:
    ~Texture() override;

    std::atomic<std::int32_t> references_{1};
    std::string name_;
    std::int32_t width_;
    std::int32_t height_;
    TextureOptions options_;
    std::vector<std::uint8_t> pixels_;
    std::vector<std::vector<std::uint8_t>> mipLevels_;
    std::string highResolutionName_;
    std::atomic<bool> highResolutionClaimed_{false};
    std::atomic<Texture*> highResolution_{nullptr}; // owned: one reference, given back with this
};

// "name@2x.ext" for "name.ext" (the last dot after the last separator; "name@2x" without one).
std::string HighResolutionName(const std::string& name);

// The next mipmap level of a width x height RGBA image: max(1, width / 2) x max(1, height / 2)
// texels, each the average of the 2 x 2 texels it covers (an odd size samples at the texel's
// centre between its neighbours, as a linear-filtered blit does). Channels are averaged as
// stored, so premultiplied and straight textures both stay what they were.
std::vector<std::uint8_t> HalveImage(const std::uint8_t* rgba, std::int32_t width, std::int32_t height);

// GPU names of textures released on any thread wait here until the drawing thread deletes
// them (the GL context is only current there).
void QueueGpuTextureDeletion(std::uint32_t gpuName);
std::vector<std::uint32_t> TakeGpuTextureDeletions();

} // namespace Lumora::Internal
