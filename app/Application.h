// app/Application.h: the program: engine start-up, the fixed-step main loop, shutdown.
//
// The constructor brings the engine up step by step (window, pack, graphics device, the
// loader's and the main thread's renders, input, the system font, the resource loader and
// the common resources) and waits until the loader is idle. A step that fails ends the
// start-up; GetStartupFailure then names it and Run must not be called. The destructor takes
// down what was made, in reverse.
//
// Run drives the scene tree: every pass of the loop draws once, then runs 0 to 10 updates at
// 60 per second of the engine's performance counter; a backlog beyond 10 updates is dropped.
// Tools that drive the loop themselves (the harness, tests) call BeginMainLoop once and then
// RunPass per pass instead of Run.
//
// The Application owns every engine object and the resource manager for the whole run;
// scenes reach them through the six accessors, which add no reference.
#pragma once

#include <Lumora/ICore.h>
#include <Lumora/IFileManager.h>
#include <Lumora/IFont.h>
#include <Lumora/IGraphicsDevice.h>
#include <Lumora/IInputController.h>
#include <Lumora/IRender.h>

#include <cstdint>
#include <string>

class ResourceManager;
class SceneRoot;

class Application {
public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    virtual ResourceManager* GetResourceManager();
    virtual Lumora::ICore* GetCore();
    virtual Lumora::IGraphicsDevice* GetGraphicsDevice();
    virtual Lumora::IRender* GetRender();
    virtual Lumora::IInputController* GetInputController();
    virtual Lumora::IFont* GetFont();

    // Null after a complete start-up; otherwise what failed, for one line on stderr.
    const char* GetStartupFailure() const { return startupFailure_; }

    // The main loop: returns when the engine's Run reports the end (the title's quit item or
    // the window being closed). Does nothing after a failed start-up.
    void Run();

    // Creates the scene tree and starts the update clock (the first pass updates once).
    void BeginMainLoop();
    // One pass: draw once, then the updates that are due (0 to 10). Returns how many ran.
    std::int32_t RunPass();
    // The tree's root (null before BeginMainLoop).
    SceneRoot* GetSceneRoot() { return sceneRoot_; }
    // The loading overlay's level, 0..255 (above 0 while the overlay shows).
    std::int32_t GetOverlayLevel() const { return overlayLevel_; }

private:
    void Start();
    // Notes a failed start-up step: `what` failed, for the engine's `reason` (may be empty).
    void FailStartup(const char* what, const char* reason);
    void DrawLoadingOverlay();
    void WaitWhileLoading();

    Lumora::ICore* core_ = nullptr;
    Lumora::IFileManager* fileManager_ = nullptr;
    Lumora::IGraphicsDevice* graphicsDevice_ = nullptr;
    Lumora::IRender* render_ = nullptr;
    Lumora::IInputController* inputController_ = nullptr;
    Lumora::IFont* systemFont_ = nullptr;
    ResourceManager* resourceManager_ = nullptr;
    std::int32_t overlayLevel_ = 0;
    SceneRoot* sceneRoot_ = nullptr;

    // The render the loader thread draws textures with; handed to the resource manager,
    // which keeps its own reference.
    Lumora::IRender* loaderRender_ = nullptr;
    const char* startupFailure_ = nullptr;
    std::string startupFailureText_; // holds a failure text made at run time (the pack's reason)
    bool systemInitialized_ = false;
    std::uint64_t updatePeriod_ = 0;   // performance-counter ticks per update
    std::uint64_t nextUpdateTime_ = 0; // counter value at which the next update is due
};
