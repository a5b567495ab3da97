// ShaderPrimer.h: the helper thread behind ICore::PrimeModelShaders. Internal.
//
// Owned by the core, used on the main thread only (SDL's windows are made and destroyed
// there). Start makes a hidden window with a GL context of its own there and hands the
// context to a helper thread, which draws the model shader variants off screen; Poll, once
// per pass of the message loop, gives the window and context back after the helper has
// ended; Stop waits for it (the core's destructor, before the main window goes).
#pragma once

#include <Lumora/ICore.h>

#include <atomic>
#include <thread>
#include <vector>

struct SDL_Window;

namespace Lumora::Internal {

class ShaderPrimer {
public:
    ShaderPrimer() = default;
    ShaderPrimer(const ShaderPrimer&) = delete;
    ShaderPrimer& operator=(const ShaderPrimer&) = delete;
    ~ShaderPrimer() { Stop(); }

    // `mainWindow` and `mainContext` are current on the calling thread and are so again on
    // return. False, with nothing started, when the hidden window or its context cannot be
    // made (the first 3D frame then compiles as it always did).
    bool Start(SDL_Window* mainWindow, void* mainContext, std::vector<ModelShaderDraw> draws);
    void Poll();
    void Stop();
    // True from a successful Start until Poll or Stop has given the window back.
    bool Running() const { return window_ != nullptr; }

private:
    void Release();

    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> stop_{false};
    std::vector<ModelShaderDraw> draws_;
};

} // namespace Lumora::Internal
