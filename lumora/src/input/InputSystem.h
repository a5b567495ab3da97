// lumora/src/input/InputSystem.h: the input module's seam to the engine core.
//
// The core feeds every SDL event of its loop to HandleInputEvent; the module keeps the
// keyboard's keys and every game pad's buttons and axes from them, and the controllers
// made by CreateInputController read that state at each Refresh. Game pads are opened and
// closed here as SDL reports them plugged in and pulled out (SDL's game controller
// subsystem must be initialised by the core for that; without it pad events are still
// understood, which is what the tests use).
//
// Headless mode (tests, the harness): Refresh ignores devices and takes the scripted button
// mask instead, so no SDL is needed at all.
//
// Main thread only.
#pragma once

#include <Lumora/IInputController.h>

#include <SDL.h>

#include <cstdint>

namespace Lumora::Internal {

// A new controller; null (with a message on stderr) when `device` is not 0. The repeat
// numbers are in updates, see IInputController.h. The caller owns the reference.
IInputController* CreateInputController(std::int32_t device, std::int32_t repeatDelay, std::int32_t repeatInterval);

// Keyboard keys, game controller buttons and axes, controller hot-plug, and the window
// losing focus (which lets go of every key, since their releases go elsewhere). Other
// events are ignored.
void HandleInputEvent(const SDL_Event& event);

// Switches every controller between the devices (false, the default) and the scripted mask.
void SetInputHeadless(bool headless);

// Headless: the virtual buttons held from the next Refresh on; bit n is button n.
void SetScriptedButtons(std::uint32_t heldMask);

// Closes every pad this module opened and forgets all key, pad and scripted state (the
// headless switch is kept). For the core's shutdown, and for tests that start afresh.
void ResetInput();

} // namespace Lumora::Internal
