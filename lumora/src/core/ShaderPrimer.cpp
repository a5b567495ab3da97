#include "ShaderPrimer.h"

#include "GlPriming.h"
#include "SceneFactory.h"

#include <Lumora/System.h>

#include <SDL.h>
#include <epoxy/gl.h>

namespace Lumora::Internal {

namespace {

// The 2D states first (the title needs them soonest), then the model shaders, into the
// window first (a whole-scale window and fullscreen are drawn straight into it), then into
// the offscreen target (any other size). Returns the draws made.
std::size_t PrimeEverything(std::span<const ModelShaderDraw> draws, const std::atomic<bool>& stop)
{
    OffscreenTarget offscreen;
    const bool offscreenReady = ShapeOffscreenTarget(offscreen, 16, 16);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint kind = GL_NONE;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &kind);
    const bool windowHasDepth = kind != GL_NONE;
    std::size_t drawn = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const bool window = pass == 0;
        if (!window && !offscreenReady) {
            continue;
        }
        glBindFramebuffer(GL_FRAMEBUFFER, window ? 0 : offscreen.framebuffer);
        glViewport(0, 0, 16, 16);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | (window && !windowHasDepth ? 0 : GL_DEPTH_BUFFER_BIT));
        drawn += PrimePictureDraws(stop);
        // The 3D pass draws into the window only when it has depth bits.
        if (!window || windowHasDepth) {
            drawn += PrimeModelShaderDraws(draws, stop);
        }
    }
    // A frame drawn offscreen reaches the window through a blit: at a whole scale (nearest)
    // or between them (linear), each its own compiled copy in the software renderer.
    if (offscreenReady && !stop.load(std::memory_order_relaxed)) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, offscreen.framebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, 8, 8, 0, 0, 16, 16, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBlitFramebuffer(0, 0, 8, 8, 0, 0, 13, 13, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    }
    // The driver compiles as it draws; finishing makes sure the last ones were made.
    glFinish();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    DeleteOffscreenTarget(offscreen);
    return drawn;
}

} // namespace

bool ShaderPrimer::Start(SDL_Window* mainWindow, void* mainContext, std::vector<ModelShaderDraw> draws)
{
    if (window_ != nullptr || draws.empty()) {
        return false;
    }
    // The GL attributes SDL keeps from the main window's making are still set, so this
    // window's framebuffer has the main window's formats.
    window_ = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_ == nullptr) {
        return false;
    }
    context_ = SDL_GL_CreateContext(window_); // current here until handed over
    SDL_GL_MakeCurrent(mainWindow, static_cast<SDL_GLContext>(mainContext));
    if (context_ == nullptr) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return false;
    }
    draws_ = std::move(draws);
    finished_ = false;
    stop_ = false;
    thread_ = std::thread([this] {
        // The frames come first: on a busy machine the priming waits, not the player.
        System::SetThreadBackground();
        if (SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_)) == 0) {
            PrimeEverything(draws_, stop_);
            SDL_GL_MakeCurrent(window_, nullptr);
        }
        // SDL keeps the current context in thread-local storage it frees by itself only for
        // threads it made.
        SDL_TLSCleanup();
        finished_.store(true, std::memory_order_release);
    });
    return true;
}

void ShaderPrimer::Poll()
{
    if (window_ != nullptr && finished_.load(std::memory_order_acquire)) {
        Release();
    }
}

void ShaderPrimer::Stop()
{
    if (window_ != nullptr) {
        stop_ = true;
        Release();
    }
}

void ShaderPrimer::Release()
{
    if (thread_.joinable()) {
        thread_.join();
    }
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    SDL_DestroyWindow(window_);
    context_ = nullptr;
    window_ = nullptr;
}

} // namespace Lumora::Internal
