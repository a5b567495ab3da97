// Process-wide engine state shared by the core and the other modules: which flavour runs
// (normal or headless) and the clocks. Internal to the engine.
#pragma once

#include <cstdint>
#include <string>

namespace Lumora::Internal {

struct RuntimeMode {
    bool headless = false;
    bool headlessPixels = false; // headless, but rendering through offscreen OpenGL
};

RuntimeMode GetRuntimeMode();

// The high-resolution counter and its ticks per second: the OS counter normally, the
// virtual microsecond clock in headless mode.
std::uint64_t ReadCounter();
std::uint64_t CounterFrequency();
// Milliseconds since the clock started (virtual in headless mode).
std::uint32_t ReadMilliseconds();

// Text typed while text input is on (see System::StartTextInput); the event loop and the
// testing API append, TakeTypedText empties it. Main thread only.
void AppendTypedText(const std::string& utf8);

} // namespace Lumora::Internal
