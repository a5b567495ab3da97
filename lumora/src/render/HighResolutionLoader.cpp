#include "HighResolutionLoader.h"

#include "GraphicsDevice.h"
#include "ImageCodec.h"

#include <cstdio>

namespace Lumora::Internal {

HighResolutionLoader::HighResolutionLoader(std::function<IFile*(const char* name)> open) : open_(std::move(open)) {}

HighResolutionLoader::~HighResolutionLoader()
{
    std::deque<Texture*> dropped;
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        dropped.swap(queue_);
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    for (Texture* texture : dropped) {
        texture->Release();
    }
}

void HighResolutionLoader::Request(Texture& base)
{
    base.AddRef();
    {
        std::lock_guard guard(lock_);
        queue_.push_back(&base);
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    wake_.notify_one();
}

void HighResolutionLoader::Flush()
{
    std::unique_lock guard(lock_);
    idle_.wait(guard, [this] { return (queue_.empty() && !busy_) || stopping_; });
}

void HighResolutionLoader::Run()
{
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) {
            break;
        }
        Texture* base = queue_.front();
        queue_.pop_front();
        busy_ = true;
        guard.unlock();
        Load(*base);
        base->Release();
        guard.lock();
        busy_ = false;
        if (queue_.empty()) {
            idle_.notify_all();
        }
    }
    idle_.notify_all();
}

void HighResolutionLoader::Load(Texture& base)
{
    const std::string& name = base.HighResolutionName();
    IFile* file = open_ ? open_(name.c_str()) : nullptr;
    if (file == nullptr) {
        return; // no companion: the 1x texture is all there is
    }
    std::vector<std::uint8_t> bytes;
    const bool complete = ReadWholeFile(*file, bytes);
    file->Release();
    std::string error;
    std::optional<DecodedImage> image;
    if (complete) {
        image = DecodeImage(bytes.data(), bytes.size(), error);
    } else {
        error = "cannot read the file";
    }
    if (image && (image->width != base.GetWidth() * 2 || image->height != base.GetHeight() * 2)) {
        error = "it is " + std::to_string(image->width) + " x " + std::to_string(image->height) + ", not twice " +
                std::to_string(base.GetWidth()) + " x " + std::to_string(base.GetHeight());
        image.reset();
    }
    if (!image) {
        std::fprintf(stderr, "Lumora: texture \"%s\": %s; drawn from its 1x picture\n", name.c_str(), error.c_str());
        return;
    }
    TextureOptions options = base.Options();
    // Drawn at 1.5x to 2.25x and more: filtered down as well as up, so with mipmaps, except
    // for a texture its owner wants texel-exact.
    if (options.filter != TextureFilter::Nearest) {
        options.filter = TextureFilter::LinearMipmaps;
    }
    if (options.premultiply) {
        PremultiplyAlpha(*image);
    }
    base.ProvideHighResolution(new Texture(name, std::move(*image), options));
}

} // namespace Lumora::Internal
