// lumora/src/input/InputDevices.h: what the keyboard and the game pads hold right now.
//
// One program-wide record, written by HandleInputEvent and read by every controller's
// Refresh. Besides "held", each key, pad button and stick direction counts how often it
// went down; a controller that sees a count change between two Refresh calls reports a
// press even when the key was let go again before the second one (a tap shorter than an
// update is not lost).
#pragma once

#include <SDL.h>

#include <cstdint>

namespace Lumora::Internal {

// A stick direction: an axis (SDL_GameControllerAxis) and its sign.
enum class AxisDirection { Negative = 0, Positive = 1 };

// An axis counts as pushed at least this far out of 32767 (half way).
constexpr std::int32_t kAxisPushThreshold = 16384;

bool IsKeyHeld(SDL_Scancode key);
std::uint32_t KeyPressCount(SDL_Scancode key);

// Held on any connected pad; counts summed over every pad there has been.
bool IsPadButtonHeld(std::int32_t padButton);
std::uint32_t PadButtonPressCount(std::int32_t padButton);
bool IsAxisPushed(std::int32_t axis, AxisDirection direction);
std::uint32_t AxisPushCount(std::int32_t axis, AxisDirection direction);

bool IsInputHeadless();
std::uint32_t ScriptedButtons();

} // namespace Lumora::Internal
