// The graphics device and the renders it makes. Internal.
//
// Ownership: renders hold a reference on their device; the device owns the backend. All
// renders of a device share the logical screen and the screen state that the core writes.
#pragma once

#include "Backend.h"
#include "FrameList.h"
#include "HighResolutionLoader.h"
#include "ScreenshotWriter.h"
#include "Texture.h"

#include <Lumora/IFile.h>
#include <Lumora/IGraphicsDevice.h>
#include <Lumora/IRender.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace Lumora::Internal {

// Written by the core on the main thread, read by the device at EndFrame.
struct ScreenState {
    std::int32_t logicalWidth = 640;
    std::int32_t logicalHeight = 480;
    std::atomic<std::uint32_t> syncCount{0};
    std::string screenshotPath; // non-empty: save the next frame there, then cleared
};

// Opens a file by name through the core's file manager (null when missing).
using FileOpener = std::function<IFile*(const char* name)>;
// The name that opens the same file whatever the current directory becomes (the pack's
// absolute form, "/dir/name"); the name itself where the file manager has no directories.
using NameResolver = std::function<std::string(const char* name)>;

class GraphicsDevice final : public IGraphicsDevice {
public:
    GraphicsDevice(std::unique_ptr<RenderBackend> backend, FileOpener opener, std::shared_ptr<ScreenState> screen);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;
    IRender* CreateRender(std::int32_t flags, std::int32_t frameCapacityHint) override;

    IFile* OpenFile(const char* name) { return opener_ ? opener_(name) : nullptr; }
    void SetNameResolver(NameResolver resolver) { resolver_ = std::move(resolver); }
    std::string AbsoluteName(const char* name) const { return resolver_ ? resolver_(name) : std::string(name); }
    // Waits until every 2x texture asked for so far is loaded (tests).
    void FlushHighResolution() { highResolution_.Flush(); }
    // Draws and shows a finished frame, records it in headless mode, counts the sync.
    void ShowFrame(const FrameList& frame);
    // Waits until every screenshot asked for so far is on disk.
    void FlushScreenshots() { screenshots_.Flush(); }

private:
    ~GraphicsDevice() override;

    std::atomic<std::int32_t> references_{1};
    std::unique_ptr<RenderBackend> backend_;
    FileOpener opener_;
    NameResolver resolver_;
    std::shared_ptr<ScreenState> screen_;
    std::vector<std::uint8_t> pixels_; // a screenshot's pixels, handed to the writer
    ScreenshotWriter screenshots_;     // encodes and writes them off the frame's thread
    bool publishesPixels_ = false;     // registered as the headless pixel source
    // Last, so it stops (and lets go of its textures) before the opener it reads with goes.
    HighResolutionLoader highResolution_;
};

class Render final : public IRender {
public:
    Render(GraphicsDevice* device, std::int32_t frameCapacityHint);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;

    void SetClearColor(std::uint32_t argb) override { frame_.clearColor = argb; }
    void BeginFrame() override { frame_.Clear(); }
    void EndFrame() override;
    void SetTextureLoadOptions(std::uint32_t filter, std::uint32_t wrap, std::uint32_t premultiply,
                               std::uint32_t reserved) override;
    ITexture* CreateTextureFromFile(const char* fileName) override;
    ISprite2D* CreateSprite2D(std::int32_t vertexCount, ITexture* texture, std::int32_t, std::int32_t,
                              std::int32_t, std::int32_t) override;
    IFont* CreateFont(const char* fileName, const char* pageExtension, std::int32_t glyphCapacity,
                      std::int32_t flags, std::int32_t textCapacity) override;
    IModel* CreateModelFromFile(const char* fileName) override;
    ISceneManager* CreateSceneManager(std::int32_t capacity, std::int32_t flags) override;
    void SetRenderState(std::int32_t state, std::int32_t value) override;
    void SetBlendMode(std::int32_t mode) override;
    void DrawTexture(const Math::Rect& destination, std::uint32_t argb, const Math::Rect& source,
                     ITexture* texture, std::int32_t rotation, const Math::Point2D& pivotOffset) override;

    // Loads a texture with explicit options (fonts load their pages this way); null, with a
    // line on stderr naming the file, when it is missing or cannot be decoded.
    Texture* LoadTexture(const char* fileName, const TextureOptions& options);
    // Reads a whole file through the core's file manager; false when missing or unreadable.
    bool ReadFile(const char* fileName, std::vector<std::uint8_t>& bytes);
    // The name that opens `fileName` whatever the current directory becomes (the device's).
    std::string AbsoluteName(const char* fileName) const { return device_->AbsoluteName(fileName); }

    // Used by sprites and fonts: append to this frame with the current blend mode.
    void AddQuad(Quad quad);
    void AddText(TextDraw text);
    std::uint8_t CurrentBlendMode() const { return blendMode_; }
    const FrameList& Frame() const { return frame_; }
    // Used by 3D scenes: append a scene pass at this point of the frame.
    void AddScenePass(ScenePass* pass) { frame_.AddScenePass(pass); }
    std::int32_t ModelTextureFilter() const { return modelTextureFilter_; }

private:
    ~Render() override;

    std::atomic<std::int32_t> references_{1};
    GraphicsDevice* device_;
    FrameList frame_;
    std::uint8_t blendMode_ = BlendNormal;
    TextureOptions loadOptions_;
    std::int32_t modelTextureFilter_ = 2;
};

// Makes a device; the caller owns the reference.
GraphicsDevice* CreateGraphicsDevice(std::unique_ptr<RenderBackend> backend, FileOpener opener,
                                     std::shared_ptr<ScreenState> screen);

// Reads a whole engine file into memory; false when it cannot be read completely.
bool ReadWholeFile(IFile& file, std::vector<std::uint8_t>& bytes);

} // namespace Lumora::Internal
