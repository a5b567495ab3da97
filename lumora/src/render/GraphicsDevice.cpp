#include "GraphicsDevice.h"

#include "Font.h"
#include "Recording.h"
#include "Sprite2D.h"

#include "Runtime.h"
#include "SceneFactory.h"

#include <cstdio>

namespace Lumora::Internal {

GraphicsDevice* CreateGraphicsDevice(std::unique_ptr<RenderBackend> backend, FileOpener opener,
                                     std::shared_ptr<ScreenState> screen)
{
    if (!backend || !screen) {
        return nullptr;
    }
    return new GraphicsDevice(std::move(backend), std::move(opener), std::move(screen));
}

bool ReadWholeFile(IFile& file, std::vector<std::uint8_t>& bytes)
{
    const std::int32_t size = file.GetSize();
    if (size < 0) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const std::int32_t got = file.Read(bytes.data() + filled, static_cast<std::int32_t>(bytes.size() - filled));
        if (got <= 0) {
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

GraphicsDevice::GraphicsDevice(std::unique_ptr<RenderBackend> backend, FileOpener opener,
                               std::shared_ptr<ScreenState> screen)
    : backend_(std::move(backend)), opener_(std::move(opener)), screen_(std::move(screen)),
      highResolution_([this](const char* name) { return OpenFile(name); })
{
    const RuntimeMode mode = GetRuntimeMode();
    publishesPixels_ = mode.headless && mode.headlessPixels;
    backend_->SetHighResolutionLoader(&highResolution_);
}

GraphicsDevice::~GraphicsDevice()
{
    WithdrawPixelSource(this);
}

std::int32_t GraphicsDevice::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

IRender* GraphicsDevice::CreateRender(std::int32_t, std::int32_t frameCapacityHint)
{
    return new Render(this, frameCapacityHint);
}

void GraphicsDevice::ShowFrame(const FrameList& frame)
{
    const std::int32_t width = screen_->logicalWidth;
    const std::int32_t height = screen_->logicalHeight;
    backend_->DrawFrame(frame, width, height);

    const RuntimeMode mode = GetRuntimeMode();
    if (!screen_->screenshotPath.empty()) {
        std::int32_t readWidth = 0;
        std::int32_t readHeight = 0;
        // Only the read-back happens in the frame; the PNG is encoded and written elsewhere.
        if (backend_->ReadPixels(pixels_, readWidth, readHeight)) {
            screenshots_.Submit(std::move(screen_->screenshotPath), readWidth, readHeight, std::move(pixels_));
            pixels_.clear();
        } else {
            std::fprintf(stderr, "Lumora: cannot write screenshot \"%s\": the frame cannot be read back\n",
                         screen_->screenshotPath.c_str());
        }
        screen_->screenshotPath.clear();
    }
    if (mode.headless) {
        if (publishesPixels_) {
            RenderBackend* backend = backend_.get();
            SetPixelSource(this, [backend](std::vector<std::uint8_t>& rgba, std::int32_t& width, std::int32_t& height) {
                return backend->ReadPixels(rgba, width, height);
            });
            // The frame ends as a shown one does (blit and swap, here on the offscreen
            // window), so the software renderer finishes each frame's work within that frame
            // instead of batching several frames and drawing them all in a later one: frame
            // times measured headless then match a windowed run's, spikes included.
            backend_->Present();
        }
        RecordFrame(frame);
    } else {
        backend_->Present();
    }
    ++screen_->syncCount;
}

Render::Render(GraphicsDevice* device, std::int32_t frameCapacityHint) : device_(device)
{
    device_->AddRef();
    const std::size_t thousands = frameCapacityHint > 0 ? static_cast<std::size_t>(frameCapacityHint) : 1u;
    frame_.Reserve(thousands * 1024u);
}

Render::~Render()
{
    frame_.Clear();
    device_->Release();
}

std::int32_t Render::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

void Render::EndFrame()
{
    device_->ShowFrame(frame_);
}

void Render::SetTextureLoadOptions(std::uint32_t filter, std::uint32_t wrap, std::uint32_t premultiply,
                                   std::uint32_t reserved)
{
    loadOptions_ = ReadTextureOptions(filter, wrap, premultiply, reserved);
}

ITexture* Render::CreateTextureFromFile(const char* fileName)
{
    return LoadTexture(fileName, loadOptions_);
}

bool Render::ReadFile(const char* fileName, std::vector<std::uint8_t>& bytes)
{
    IFile* file = device_->OpenFile(fileName != nullptr ? fileName : "");
    if (file == nullptr) {
        return false;
    }
    const bool complete = ReadWholeFile(*file, bytes);
    file->Release();
    return complete;
}

Texture* Render::LoadTexture(const char* fileName, const TextureOptions& options)
{
    const char* name = fileName != nullptr ? fileName : "";
    IFile* file = device_->OpenFile(name);
    if (file == nullptr) {
        std::fprintf(stderr, "Lumora: texture \"%s\": file not found or unreadable\n", name);
        return nullptr;
    }
    std::vector<std::uint8_t> bytes;
    const bool complete = ReadWholeFile(*file, bytes);
    file->Release();
    if (!complete) {
        std::fprintf(stderr, "Lumora: texture \"%s\": cannot read the file\n", name);
        return nullptr;
    }
    std::string error;
    std::optional<DecodedImage> image = DecodeImage(bytes.data(), bytes.size(), error);
    if (!image) {
        std::fprintf(stderr, "Lumora: texture \"%s\": %s\n", name, error.c_str());
        return nullptr;
    }
    if (options.premultiply) {
        PremultiplyAlpha(*image);
    }
    auto* texture = new Texture(name, std::move(*image), options);
    texture->SetHighResolutionName(device_->AbsoluteName(HighResolutionName(name).c_str()));
    return texture;
}

ISprite2D* Render::CreateSprite2D(std::int32_t vertexCount, ITexture* texture, std::int32_t, std::int32_t,
                                  std::int32_t, std::int32_t)
{
    const std::size_t squares = vertexCount > 0 ? static_cast<std::size_t>(vertexCount) / 6u : 0u;
    return new Sprite2D(this, static_cast<Texture*>(texture), squares);
}

IFont* Render::CreateFont(const char* fileName, const char* pageExtension, std::int32_t glyphCapacity,
                          std::int32_t, std::int32_t textCapacity)
{
    return Font::Load(this, fileName, pageExtension, glyphCapacity, textCapacity);
}

IModel* Render::CreateModelFromFile(const char* fileName)
{
    return LoadSceneModel(*this, fileName);
}

ISceneManager* Render::CreateSceneManager(std::int32_t capacity, std::int32_t flags)
{
    return CreateSceneManagerFor(*this, capacity, flags);
}

void Render::SetRenderState(std::int32_t state, std::int32_t value)
{
    if (state == RenderStateModelTextureFilter && value >= 0 && value <= 2) {
        modelTextureFilter_ = value;
    }
}

void Render::SetBlendMode(std::int32_t mode)
{
    blendMode_ = mode == BlendSmooth ? BlendSmooth : BlendNormal;
}

void Render::DrawTexture(const Math::Rect& destination, std::uint32_t argb, const Math::Rect& source,
                         ITexture* texture, std::int32_t rotation, const Math::Point2D& pivotOffset)
{
    if (texture == nullptr) {
        return;
    }
    Quad quad;
    quad.texture = static_cast<Texture*>(texture);
    quad.destination = destination;
    quad.source = source;
    quad.argb = argb;
    quad.rotation = rotation;
    quad.pivot = pivotOffset;
    quad.origin = DrawOrigin::Texture;
    AddQuad(quad);
}

void Render::AddQuad(Quad quad)
{
    quad.blendMode = blendMode_;
    frame_.Add(quad);
}

void Render::AddText(TextDraw text)
{
    // Only the headless record reads texts; glyph quads carry the drawing.
    text.blendMode = blendMode_;
    text.firstQuad = frame_.Quads().size();
    frame_.AddText(std::move(text));
}

} // namespace Lumora::Internal
