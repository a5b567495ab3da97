// Lumora/System.h: bringing the engine up and down, and the process clock.
//
// Call Initialize once on the main thread before anything else of the engine, CreateCore
// for the one core object, and Finalize after the last engine object has been released.
// For tests and tools, Lumora/Testing.h selects the headless flavour before Initialize;
// then nothing here opens a window or an audio device and the clocks are virtual.
#pragma once

#include <cstdint>
#include <string>

namespace Lumora {

class ICore;

namespace System {

// Brings up the platform layer. Each argument non-zero asks for one subsystem: `video`
// the window and graphics, `audio` the sound device, `input` keyboard and game
// controllers. Returns non-zero on success, 0 (with one line on stderr, see
// SetStartErrorReport) when a requested subsystem cannot start. Calling it again while
// initialised succeeds without effect.
std::int32_t Initialize(std::int32_t video, std::int32_t audio, std::int32_t input);

// Creates the engine core; the caller owns the reference. Null before Initialize or when a
// core already exists (there is one per process).
ICore* CreateCore();

// Shuts the platform layer down. Harmless when not initialised.
void Finalize();

// Pins the calling thread to processor `cpu` (0-based) when the machine has it and the
// process may use it; otherwise nothing changes. Never fails visibly.
void SetThreadCPUNo(std::int32_t cpu);

// Gives the calling thread the scheduler's background priority (a nice value 10 above the
// process's), so that on a busy machine the main thread's frames are run before it. For
// long computations on worker threads; never fails visibly.
void SetThreadBackground();

// Start-up refusals: System::Initialize and the core's Initialize and Start each say why
// they failed in one line on stderr. A program that reports a failed start-up in its own
// words turns that off first and reads the reason with GetStartError, so that the player
// sees one line. Main thread only, like the calls it covers.
void SetStartErrorReport(bool toStderr);
// The reason of the last start-up refusal, one line without its newline; "" when there was
// none. Valid until the next refusal.
const char* GetStartError();

// Where F12 screenshots go: a folder as the operating system spells it (UTF-8 on Linux),
// given by a game whose own folder cannot be written; null or "" (the default) is beside the
// program. The folder must exist. Main thread only.
void SetScreenshotFolder(const char* folder);

// Milliseconds since the engine's clock started (the first engine call of the process),
// wrapping after about 49 days. In headless mode, the virtual clock's milliseconds.
std::uint32_t GetMilliseconds();

// Typing text (a stage's name): between StartTextInput and StopTextInput the platform's text
// input runs (SDL text input, so an input method can compose Japanese), and TakeTypedText
// hands over what was typed since its last call, as UTF-8, with three keys as control
// characters: '\b' Backspace, '\r' Enter, '\x1b' Escape. The virtual buttons keep working
// meanwhile (a typed "z" is also the Z key); a screen that takes text reads the text first.
// Nothing is collected while text input is off. Main thread only.
void StartTextInput();
void StopTextInput();
bool IsTextInputActive();
std::string TakeTypedText();

} // namespace System
} // namespace Lumora
