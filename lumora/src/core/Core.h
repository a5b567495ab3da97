// The engine core: window, message loop, clocks, and the factory for the other modules.
// Internal; the game sees Lumora/ICore.h.
#pragma once

#include <string>

#include "Backend.h"
#include "GraphicsDevice.h"
#include "ShaderPrimer.h"

#include <Lumora/ICore.h>

#include <atomic>
#include <memory>

struct SDL_Window;

namespace Lumora::Internal {

// The folder F12 screenshots are written to, ending in '/': the one set with
// System::SetScreenshotFolder, else the program's own ("" when unknown: the current one).
std::string ScreenshotFolder();

class Core final : public ICore, public PresentSurface {
public:
    // `liveFlag` is cleared when the core is destroyed (one core per process).
    explicit Core(std::atomic<bool>* liveFlag);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;

    std::int32_t Initialize(const char* title, std::int32_t flags) override;
    void SetOption(std::int32_t option) override;
    std::int32_t Start(std::int32_t width, std::int32_t height, std::int32_t vsync) override;
    std::int32_t Run(std::int32_t flags) override;
    void Exit() override { exitRequested_ = true; }
    std::uint64_t GetPerformanceCounter() override;
    std::uint64_t GetPerformanceFrequency() override;
    std::uint32_t GetSyncCount() override { return screen_->syncCount.load(); }
    void PrimeModelShaders(const ModelShaderDraw* draws, std::int32_t count) override;
    IGraphicsDevice* CreateGraphicsDevice(std::int32_t adapter) override;
    IFileManager* CreateFileManager() override;
    void SetFileManager(IFileManager* fileManager) override;
    IFileManager* GetFileManager() override { return fileManager_; }
    ISound* CreateSound(const char* fileName, std::int32_t layers, std::int32_t flags) override;
    IStreamSound* CreateStreamSound(const char* fileName, std::int32_t flags, const char* decoderName) override;
    IInputController* CreateInputController(std::int32_t device, std::int32_t repeatDelay,
                                            std::int32_t repeatInterval) override;

    // PresentSurface. The size is the drawable's as it really is, asked every time: under X
    // the server's own figure for the window, since SDL reports the size it requested (a
    // fullscreen switch that no window manager carried out still reads as the screen's size).
    void GetDrawableSize(std::int32_t& width, std::int32_t& height) override;
    void SwapBuffers() override;

private:
    ~Core() override;

    void ToggleFullscreen();
    void RequestScreenshot();
    IFile* OpenFile(const char* name);
    std::string AbsoluteName(const char* name);

    std::atomic<std::int32_t> references_{1};
    std::atomic<bool>* liveFlag_;
    SDL_Window* window_ = nullptr;
    void* glContext_ = nullptr;
    void* x11Display_ = nullptr;      // the X connection SDL opened (not ours to close); null off X
    unsigned long x11Window_ = 0;     // the window's X id while x11Display_ is set
    bool windowless_ = false; // headless without pixels: the window is only notional
    bool initialized_ = false;
    bool exitRequested_ = false;
    bool primingAsked_ = false;
    ShaderPrimer primer_; // before the window it needs goes (see ~Core)
    std::shared_ptr<ScreenState> screen_;
    IFileManager* fileManager_ = nullptr;
};

// Records a start-up refusal for System::GetStartError and, unless the program asked to
// report it itself, writes it to stderr as "Lumora: <reason>".
void ReportStartError(const std::string& reason);

} // namespace Lumora::Internal
