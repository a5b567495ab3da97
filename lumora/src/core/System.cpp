#include "Core.h"
#include "DisplayLoss.h"
#include "Recording.h"
#include "Runtime.h"

#include <Lumora/System.h>
#include <Lumora/Testing.h>

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if LUMORA_HAVE_SOUND
#include "../sound/SoundSystem.h"
#endif
#if LUMORA_HAVE_INPUT
#include "../input/InputSystem.h"
#endif

namespace Lumora::System {
namespace {

bool initialized = false;
bool soundStarted = false;
std::atomic<bool> coreExists{false};
bool reportStartErrors = true;
std::string lastStartError;
std::string screenshotFolder; // "" = beside the program
bool textInputActive = false;
std::string typedText; // UTF-8 typed since the last TakeTypedText

// OpenGL drivers, the software renderer above all, allocate and free megabytes of working
// memory every frame (binned triangles, shaded vertices). With glibc's defaults the freed
// top of the heap goes back to the kernel at each free and is faulted in again, page by
// page, the next frame: hundreds of page faults per frame on a large board, frames twice
// their usual length. The process keeps up to 128 MiB of freed heap instead, and serves
// blocks up to 32 MiB from the heap (the ceiling glibc's own sliding threshold reaches).
// Settings the user gave through glibc's environment variables are left as they are.
void KeepHeapBetweenFrames()
{
#if defined(__GLIBC__)
    if (std::getenv("MALLOC_TRIM_THRESHOLD_") == nullptr) {
        mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
    }
    if (std::getenv("MALLOC_MMAP_THRESHOLD_") == nullptr) {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    }
#endif
}

} // namespace

void SetStartErrorReport(bool toStderr) { reportStartErrors = toStderr; }

void SetScreenshotFolder(const char* folder) { screenshotFolder = folder != nullptr ? folder : ""; }

const char* GetStartError() { return lastStartError.c_str(); }

std::int32_t Initialize(std::int32_t video, std::int32_t audio, std::int32_t input)
{
    if (initialized) {
        return 1;
    }
    Internal::ClearRecording();
    (void)GetMilliseconds(); // start the clock
    KeepHeapBetweenFrames();
    const Internal::RuntimeMode mode = Internal::GetRuntimeMode();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    Uint32 subsystems = SDL_INIT_EVENTS;
    if (mode.headless) {
        if (mode.headlessPixels) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
            subsystems |= SDL_INIT_VIDEO;
        }
    } else {
        if (video != 0) {
            subsystems |= SDL_INIT_VIDEO;
        }
        if (input != 0) {
            subsystems |= SDL_INIT_GAMECONTROLLER;
        }
    }
    if (SDL_Init(subsystems) != 0) {
        Internal::ReportStartError(std::string("cannot start the platform layer: ") + SDL_GetError());
        return 0;
    }
    if ((subsystems & SDL_INIT_VIDEO) != 0) {
        Internal::EndOnDisplayLoss(); // from the first X request on: the window opens later
    }
#if LUMORA_HAVE_INPUT
    Internal::SetInputHeadless(mode.headless);
#endif
#if LUMORA_HAVE_SOUND
    if (audio != 0) {
        bool headlessSound = mode.headless;
        if (!headlessSound && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            // A machine without a sound device still plays, silently.
            std::fprintf(stderr, "Lumora: no sound device (%s); playing silently\n", SDL_GetError());
            headlessSound = true;
        }
        soundStarted = Internal::StartSound(headlessSound);
        if (!soundStarted && !headlessSound) {
            std::fprintf(stderr, "Lumora: the sound device cannot be opened; playing silently\n");
            soundStarted = Internal::StartSound(true);
        }
    }
#else
    (void)audio;
#endif
    initialized = true;
    return 1;
}

ICore* CreateCore()
{
    if (!initialized) {
        std::fprintf(stderr, "Lumora: CreateCore before System::Initialize\n");
        return nullptr;
    }
    if (coreExists.exchange(true)) {
        std::fprintf(stderr, "Lumora: a core already exists\n");
        return nullptr;
    }
    return new Internal::Core(&coreExists);
}

void Finalize()
{
    if (!initialized) {
        return;
    }
#if LUMORA_HAVE_SOUND
    if (soundStarted) {
        Internal::StopSound();
    }
#endif
    soundStarted = false;
#if LUMORA_HAVE_INPUT
    Internal::ResetInput();
#endif
    SDL_Quit();
    initialized = false;
}

void StartTextInput()
{
    typedText.clear();
    textInputActive = true;
    // Headless runs have no window to type into; the harness types through Testing::TypeText.
    if (initialized && !Testing::IsHeadless()) {
        SDL_StartTextInput();
    }
}

void StopTextInput()
{
    if (textInputActive && initialized && !Testing::IsHeadless()) {
        SDL_StopTextInput();
    }
    textInputActive = false;
    typedText.clear();
}

bool IsTextInputActive() { return textInputActive; }

std::string TakeTypedText()
{
    std::string taken;
    taken.swap(typedText);
    return taken;
}

} // namespace Lumora::System

namespace Lumora::Internal {

void AppendTypedText(const std::string& utf8)
{
    if (System::textInputActive) {
        System::typedText += utf8;
    }
}

void ReportStartError(const std::string& reason)
{
    System::lastStartError = reason;
    if (System::reportStartErrors) {
        std::fprintf(stderr, "Lumora: %s\n", reason.c_str());
    }
}

} // namespace Lumora::Internal

namespace Lumora::Testing {

void TypeText(const std::string& utf8) { Internal::AppendTypedText(utf8); }

void SetHeldButtons(std::uint32_t heldMask)
{
#if LUMORA_HAVE_INPUT
    Internal::SetScriptedButtons(heldMask);
#else
    (void)heldMask; // no input module in this build: there are no buttons to hold
#endif
}

std::vector<SoundEvent> TakeSoundEvents()
{
    std::vector<SoundEvent> events;
#if LUMORA_HAVE_SOUND
    for (Internal::SoundEvent& recorded : Internal::TakeSoundEvents()) {
        SoundEvent event;
        switch (recorded.kind) {
        case Internal::SoundEvent::Kind::Play: event.kind = SoundEvent::Kind::Play; break;
        case Internal::SoundEvent::Kind::Stop: event.kind = SoundEvent::Kind::Stop; break;
        case Internal::SoundEvent::Kind::Volume: event.kind = SoundEvent::Kind::Volume; break;
        }
        event.name = std::move(recorded.name);
        event.loop = recorded.loop;
        event.volume = recorded.volume;
        events.push_back(std::move(event));
    }
#endif
    return events;
}

void MixSound(std::int32_t frames)
{
#if LUMORA_HAVE_SOUND
    Internal::MixHeadless(frames);
#else
    (void)frames;
#endif
}

} // namespace Lumora::Testing

namespace Lumora::Internal {

std::string ScreenshotFolder()
{
    std::string folder = System::screenshotFolder;
    if (folder.empty()) {
        if (char* base = SDL_GetBasePath(); base != nullptr) {
            folder = base;
            SDL_free(base);
        }
    } else if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

} // namespace Lumora::Internal
