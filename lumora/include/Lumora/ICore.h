// Lumora/ICore.h: the engine core: the window, its message loop, clocks, and the factory for
// the graphics device, the file manager, sounds and the input controller.
//
// Made by System::CreateCore (one per process); the caller owns the reference and releases
// it before System::Finalize. Steps: Initialize (window), SetOption, CreateGraphicsDevice,
// Start (logical screen), then call Run once per pass of the game loop until it returns 0.
//
// The window shows the logical screen with its aspect kept, fitted to the window's real
// drawable size: below 1.5 times the logical size the logical screen itself, centred (shrunk
// in a smaller window); from 1.5 times up the largest scale that fits, fractions included,
// drawn at the window's own resolution (3D with more pixels, pictures from their "@2x"
// companions once loaded). It may be resized, and answers three keys itself: Alt+Enter and
// F11 toggle fullscreen, F12 saves the picture as drawn, at its resolution, as
// "screenshot-YYYYMMDD-HHMMSS-mmm.png" beside the program, or in the folder given to
// System::SetScreenshotFolder.
//
// Clocks: the performance counter is 64-bit in ticks of GetPerformanceFrequency per second
// (virtual in headless mode; see Lumora/Testing.h). The sync count is the number of frames
// shown (main render EndFrame calls) since the core was made.
#pragma once

#include <Lumora/Base.h>
#include <Lumora/IFileManager.h>
#include <Lumora/IGraphicsDevice.h>
#include <Lumora/ISound.h>
#include <Lumora/ModelShader.h>

#include <cstdint>

namespace Lumora {

class IInputController;

// One way the 3D pass draws with a model shader variant: `options` as a material asks for
// it (`transparent` on: drawn in the transparent pass, blended without writing depth), and
// `instanced` non-zero for a group drawn with one instanced call (the floor's tiles).
struct ModelShaderDraw {
    ModelShaderOptions options{};
    std::uint8_t instanced = 0;
};

class ICore : public IInterface {
public:
    // Option values for SetOption.
    enum : std::int32_t {
        OptionDefault = 0,        // resizable window, the mouse pointer shown
        OptionHideMousePointer = 1, // as 0, with the pointer hidden over the window
    };

    // Opens the window with `title` (Shift-JIS bytes; shown converted to UTF-8). `flags` is
    // 0. Returns non-zero when the window (in headless mode: its stand-in) is made; 0 with
    // one line on stderr otherwise.
    virtual std::int32_t Initialize(const char* title, std::int32_t flags) = 0;
    // Window behaviour, one of the Option values (unknown values act as OptionDefault).
    virtual void SetOption(std::int32_t option) = 0;
    // Sets the logical screen to width x height pixels and sizes the window to show it at a
    // whole-number scale. `vsync` non-zero waits for the display's refresh when showing a
    // frame. Returns non-zero on success.
    virtual std::int32_t Start(std::int32_t width, std::int32_t height, std::int32_t vsync) = 0;
    // Handles the window's pending messages; returns 0 once the window was closed or Exit
    // was called, non-zero while the game should go on. `flags` is 0.
    virtual std::int32_t Run(std::int32_t flags) = 0;
    // Makes the next Run return 0.
    virtual void Exit() = 0;

    virtual std::uint64_t GetPerformanceCounter() = 0;
    virtual std::uint64_t GetPerformanceFrequency() = 0;
    // Frames shown since the core was made.
    virtual std::uint32_t GetSyncCount() = 0;

    // Has the renderer ready for the given model shader draws before a 3D frame needs them.
    // A software OpenGL renderer compiles a shader variant the first time it draws with it,
    // tens of milliseconds each, and keeps the result in the driver's on-disk cache; on a
    // player's very first start that stalls the first 3D frame. So a helper thread with a
    // GL context of its own, on a hidden window, draws each one once off screen into both
    // kinds of target the 3D pass uses, and the driver's cache holds them when the game's
    // own frame asks. Returns at once; the helper gives its window back in a later Run and
    // is waited for when the core goes. No effect in headless mode, when called again, or
    // when LUMORA_NO_SHADER_PRIMING is set in the environment (for measuring).
    virtual void PrimeModelShaders(const ModelShaderDraw* draws, std::int32_t count) = 0;

    // The graphics device for this window (`adapter` is 0). Null when none can be made.
    virtual IGraphicsDevice* CreateGraphicsDevice(std::int32_t adapter) = 0;

    // A file manager over packs beside the program. The caller owns the reference.
    virtual IFileManager* CreateFileManager() = 0;
    // The file manager the engine reads textures, fonts and sounds through (the core keeps
    // its own reference; null detaches it).
    virtual void SetFileManager(IFileManager* fileManager) = 0;
    // The file manager set last, without adding a reference (null when none).
    virtual IFileManager* GetFileManager() = 0;

    // A sound effect from `fileName` (the file manager's current directory), decoded whole
    // (WAVE through "Wave.lmp", Ogg Vorbis through "OggVorbis.lmp", chosen by the data).
    // `layers` is 1: one play at a time, Play restarts it; `flags` is 0. Null, with a line on
    // stderr, when the file is missing or cannot be decoded.
    virtual ISound* CreateSound(const char* fileName, std::int32_t layers,
                                std::int32_t flags) = 0;
    // Music streamed from `fileName` through the decoder plug-in "<decoderName>.lmp".
    // `flags` is 0. Null, with a line on stderr, when the file or decoder is missing.
    virtual IStreamSound* CreateStreamSound(const char* fileName, std::int32_t flags,
                                            const char* decoderName) = 0;
    // The virtual-button controller. `device` is 0 (keyboard and the first game
    // controller); a held direction repeats after `repeatDelay` updates, then every
    // `repeatInterval` updates. The caller owns the reference.
    virtual IInputController* CreateInputController(std::int32_t device,
                                                    std::int32_t repeatDelay,
                                                    std::int32_t repeatInterval) = 0;
};

} // namespace Lumora
