#include "Core.h"

#include "Runtime.h"

#include <Lumora/System.h>
#include <Lumora/Text.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <string>

#if LUMORA_HAVE_FILE
#include "../file/FileSystem.h"
#endif
#if LUMORA_HAVE_SOUND
#include "../sound/SoundSystem.h"
#endif
#if LUMORA_HAVE_INPUT
#include "../input/InputSystem.h"
#endif
// Last: under X it brings Xlib and its macros (None, Bool, Status).
#include <SDL_syswm.h>

namespace Lumora::Internal {

Core::Core(std::atomic<bool>* liveFlag) : liveFlag_(liveFlag), screen_(std::make_shared<ScreenState>())
{
}

Core::~Core()
{
    primer_.Stop();
    SafeRelease(fileManager_);
    if (glContext_ != nullptr) {
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(glContext_));
    }
    if (window_ != nullptr) {
        SDL_DestroyWindow(window_);
    }
    if (liveFlag_ != nullptr) {
        liveFlag_->store(false);
    }
}

std::int32_t Core::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

std::int32_t Core::Initialize(const char* title, std::int32_t)
{
    if (initialized_) {
        return 1;
    }
    const RuntimeMode mode = GetRuntimeMode();
    if (mode.headless && !mode.headlessPixels) {
        windowless_ = true;
        initialized_ = true;
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // A shown window gets depth bits so the 3D passes can draw straight into it when it is
    // exactly the logical size (see CreateGlBackend); otherwise they use the offscreen
    // target's own depth buffer.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, mode.headless ? 0 : 24);
    Uint32 windowFlags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (mode.headless) {
        windowFlags |= SDL_WINDOW_HIDDEN;
    }
    const std::string utf8Title = Lumora::ShiftJisToUtf8(title != nullptr ? title : "");
    window_ = SDL_CreateWindow(utf8Title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               screen_->logicalWidth, screen_->logicalHeight, windowFlags);
    if (window_ == nullptr) {
        ReportStartError(std::string("cannot open the window: ") + SDL_GetError());
        return 0;
    }
    SDL_SetWindowMinimumSize(window_, 160, 120);
#if LUMORA_HAVE_X11 && defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window_, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11) {
        x11Display_ = info.info.x11.display;
        x11Window_ = info.info.x11.window;
    }
#endif
    glContext_ = SDL_GL_CreateContext(window_);
    if (glContext_ == nullptr) {
        ReportStartError(std::string("cannot create an OpenGL 3.3 context: ") + SDL_GetError());
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return 0;
    }
    initialized_ = true;
    return 1;
}

void Core::SetOption(std::int32_t option)
{
    if (window_ == nullptr) {
        return;
    }
    SDL_ShowCursor(option == OptionHideMousePointer ? SDL_DISABLE : SDL_ENABLE);
}

std::int32_t Core::Start(std::int32_t width, std::int32_t height, std::int32_t vsync)
{
    if (!initialized_ || width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        ReportStartError("cannot start a " + std::to_string(width) + " x " + std::to_string(height) + " screen" +
                         (initialized_ ? "" : " before Initialize"));
        return 0;
    }
    screen_->logicalWidth = width;
    screen_->logicalHeight = height;
    if (window_ == nullptr) {
        return 1;
    }
    // Open at the largest whole-number scale that leaves some room on the desktop.
    std::int32_t scale = 1;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(SDL_GetWindowDisplayIndex(window_), &usable) == 0) {
        while (width * (scale + 1) <= usable.w * 9 / 10 && height * (scale + 1) <= usable.h * 9 / 10) {
            ++scale;
        }
    }
    SDL_SetWindowSize(window_, width * scale, height * scale);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    if (vsync != 0 && SDL_GL_SetSwapInterval(-1) != 0) {
        SDL_GL_SetSwapInterval(1); // adaptive sync refused: plain vsync
    } else if (vsync == 0) {
        SDL_GL_SetSwapInterval(0);
    }
    return 1;
}

std::int32_t Core::Run(std::int32_t)
{
    if (exitRequested_ || !initialized_) {
        return 0;
    }
    if (windowless_) {
        return 1;
    }
    primer_.Poll();
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        switch (event.type) {
        case SDL_QUIT:
            exitRequested_ = true;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                exitRequested_ = true;
            }
            break;
        case SDL_TEXTINPUT:
            Internal::AppendTypedText(event.text.text);
            break;
        case SDL_KEYDOWN:
            if (System::IsTextInputActive()) {
                // The three editing keys of a text field, repeats included (a held
                // Backspace keeps deleting); the rest of the text comes as SDL_TEXTINPUT.
                const SDL_Keycode key = event.key.keysym.sym;
                if (key == SDLK_BACKSPACE) {
                    Internal::AppendTypedText("\b");
                } else if ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && (event.key.keysym.mod & KMOD_ALT) == 0 &&
                           event.key.repeat == 0) {
                    Internal::AppendTypedText("\r");
                } else if (key == SDLK_ESCAPE && event.key.repeat == 0) {
                    Internal::AppendTypedText("\x1b");
                }
            }
            if (event.key.repeat == 0) {
                const SDL_Keycode key = event.key.keysym.sym;
                const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
                if (key == SDLK_F11 || (alt && (key == SDLK_RETURN || key == SDLK_KP_ENTER))) {
                    ToggleFullscreen();
                    continue; // the game never sees the window's own keys
                }
                if (key == SDLK_F12) {
                    RequestScreenshot();
                    continue;
                }
            }
            break;
        default:
            break;
        }
#if LUMORA_HAVE_INPUT
        HandleInputEvent(event);
#endif
    }
    return exitRequested_ ? 0 : 1;
}

void Core::ToggleFullscreen()
{
    const bool fullscreen = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    if (SDL_SetWindowFullscreen(window_, fullscreen ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        std::fprintf(stderr, "Lumora: cannot switch fullscreen: %s\n", SDL_GetError());
    }
}

void Core::RequestScreenshot()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char name[64];
    std::snprintf(name, sizeof(name), "screenshot-%04d%02d%02d-%02d%02d%02d-%03d.png", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(milliseconds));
    screen_->screenshotPath = ScreenshotFolder() + name;
}

std::uint64_t Core::GetPerformanceCounter()
{
    return ReadCounter();
}

std::uint64_t Core::GetPerformanceFrequency()
{
    return CounterFrequency();
}

void Core::PrimeModelShaders(const ModelShaderDraw* draws, std::int32_t count)
{
    if (primingAsked_ || window_ == nullptr || GetRuntimeMode().headless || draws == nullptr || count <= 0) {
        return;
    }
    primingAsked_ = true;
    if (const char* off = std::getenv("LUMORA_NO_SHADER_PRIMING"); off != nullptr && *off != '\0') {
        return;
    }
    primer_.Start(window_, glContext_, std::vector<ModelShaderDraw>(draws, draws + count));
}

IGraphicsDevice* Core::CreateGraphicsDevice(std::int32_t)
{
    if (!initialized_) {
        std::fprintf(stderr, "Lumora: the graphics device needs an initialised core\n");
        return nullptr;
    }
    std::unique_ptr<RenderBackend> backend;
    if (windowless_) {
        backend = std::make_unique<NullBackend>();
    } else {
        SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(glContext_));
        backend = CreateGlBackend(this, !GetRuntimeMode().headless);
        if (!backend) {
            return nullptr;
        }
    }
    // The device reads files through the core, so it keeps the core alive: a reference
    // held by its file opener, given back when the device goes.
    AddRef();
    std::shared_ptr<Core> keepAlive(this, [](Core* core) { core->Release(); });
    GraphicsDevice* device = Internal::CreateGraphicsDevice(
        std::move(backend), [keepAlive](const char* name) { return keepAlive->OpenFile(name); }, screen_);
    if (device != nullptr) {
        device->SetNameResolver([keepAlive](const char* name) { return keepAlive->AbsoluteName(name); });
    }
    return device;
}

std::string Core::AbsoluteName(const char* name)
{
#if LUMORA_HAVE_FILE
    if (fileManager_ != nullptr) {
        return AbsolutePackName(*fileManager_, name);
    }
#endif
    return name != nullptr ? name : "";
}

IFile* Core::OpenFile(const char* name)
{
    return fileManager_ != nullptr ? fileManager_->OpenFile(name) : nullptr;
}

void Core::SetFileManager(IFileManager* fileManager)
{
    if (fileManager != nullptr) {
        fileManager->AddRef();
    }
    SafeRelease(fileManager_);
    fileManager_ = fileManager;
}

IFileManager* Core::CreateFileManager()
{
#if LUMORA_HAVE_FILE
    std::string directory;
    if (char* base = SDL_GetBasePath(); base != nullptr) {
        directory = base;
        SDL_free(base);
    }
    return Internal::CreateFileManager(directory.c_str());
#else
    std::fprintf(stderr, "Lumora: this engine build has no file module\n");
    return nullptr;
#endif
}

ISound* Core::CreateSound(const char* fileName, std::int32_t, std::int32_t)
{
#if LUMORA_HAVE_SOUND
    IFile* file = OpenFile(fileName);
    if (file == nullptr) {
        std::fprintf(stderr, "Lumora: sound \"%s\": file not found or unreadable\n", fileName != nullptr ? fileName : "");
        return nullptr;
    }
    ISound* sound = Internal::CreateSound(file);
    file->Release();
    return sound;
#else
    std::fprintf(stderr, "Lumora: sound \"%s\": this engine build has no sound module\n",
                 fileName != nullptr ? fileName : "");
    return nullptr;
#endif
}

IStreamSound* Core::CreateStreamSound(const char* fileName, std::int32_t, const char* decoderName)
{
#if LUMORA_HAVE_SOUND
    IFile* file = OpenFile(fileName);
    if (file == nullptr) {
        std::fprintf(stderr, "Lumora: music \"%s\": file not found or unreadable\n", fileName != nullptr ? fileName : "");
        return nullptr;
    }
    IStreamSound* stream = Internal::CreateStreamSound(file, decoderName);
    file->Release(); // the stream keeps its own reference
    return stream;
#else
    (void)decoderName;
    std::fprintf(stderr, "Lumora: music \"%s\": this engine build has no sound module\n",
                 fileName != nullptr ? fileName : "");
    return nullptr;
#endif
}

IInputController* Core::CreateInputController(std::int32_t device, std::int32_t repeatDelay,
                                              std::int32_t repeatInterval)
{
#if LUMORA_HAVE_INPUT
    return Internal::CreateInputController(device, repeatDelay, repeatInterval);
#else
    (void)device;
    (void)repeatDelay;
    (void)repeatInterval;
    std::fprintf(stderr, "Lumora: this engine build has no input module\n");
    return nullptr;
#endif
}

void Core::GetDrawableSize(std::int32_t& width, std::int32_t& height)
{
    width = 0;
    height = 0;
    if (window_ == nullptr) {
        return;
    }
#if LUMORA_HAVE_X11 && defined(SDL_VIDEO_DRIVER_X11)
    if (x11Display_ != nullptr) {
        // One round trip to the server per call (tens of microseconds); the GL back buffer
        // follows this size, whatever SDL believes.
        ::Window root = 0;
        int x = 0;
        int y = 0;
        unsigned int windowWidth = 0;
        unsigned int windowHeight = 0;
        unsigned int border = 0;
        unsigned int depth = 0;
        if (XGetGeometry(static_cast<Display*>(x11Display_), x11Window_, &root, &x, &y, &windowWidth, &windowHeight,
                         &border, &depth) != 0) {
            width = static_cast<std::int32_t>(windowWidth);
            height = static_cast<std::int32_t>(windowHeight);
            return;
        }
    }
#endif
    SDL_GL_GetDrawableSize(window_, &width, &height);
}

void Core::SwapBuffers()
{
    if (window_ != nullptr) {
        SDL_GL_SwapWindow(window_);
    }
}

} // namespace Lumora::Internal
