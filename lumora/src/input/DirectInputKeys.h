// lumora/src/input/DirectInputKeys.h: DirectInput key codes to SDL scancodes.
//
// Games name keys by DirectInput key code: the PC keyboard's set-1 scan code, with 0x80
// added for the extended (E0-prefixed) keys. Both that code and an SDL scancode name a
// physical key position, so the mapping is fixed and independent of the keyboard layout.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace Lumora::Internal {

// The SDL scancode of a DirectInput key code; SDL_SCANCODE_UNKNOWN for a code that names
// no key SDL knows.
SDL_Scancode ScancodeFromDirectInput(std::int32_t keyCode);

} // namespace Lumora::Internal
