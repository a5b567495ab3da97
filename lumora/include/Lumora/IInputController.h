// Lumora/IInputController.h: the game's virtual buttons, fed by the keyboard and game pads.
//
// A controller has 32 virtual buttons (0..31). The game decides what each one means; the
// usual set is 0 up, 1 down, 2 left, 3 right, 16 confirm, 17 cancel, 18 and 19 free. Each
// button is fed by a keyboard key, a pad button and, for buttons 0..3, a pad axis; any of
// them held holds the button. Every connected pad drives the buttons, and pads may come and
// go while the game runs (a pad pulled out releases what it held).
//
// The state the game reads is a snapshot taken by Refresh, called once per update: between
// two Refresh calls GetState answers the same, however often it is asked. Nothing is
// mapped until the Set* calls map it.
//
//     IInputController* input = core->CreateInputController(0, 60, 15);
//     input->SetKeyboardButton(16, 0x2C);             // Z confirms
//     input->SetJoystickButton(16, 0);                // so does the pad's bottom face button
//     input->SetAxisX(0, 0, 0);                       // left stick X and the D-pad: 2 and 3
//     input->SetAxisY(0, 0, 1);                       // left stick Y and the D-pad: 0 and 1
//     ...each update: input->Refresh(); if (input->GetState(2, 16)) { ... }
//     input->Release();
//
// ICore::CreateInputController (device, repeatDelay, repeatInterval): device is 0 (the
// keyboard and every pad; other values are refused with a null result). repeatDelay and
// repeatInterval are counted in updates (Refresh calls): a cursor moves once when its
// button goes down, again repeatDelay updates later while the button stays held, and then
// every repeatInterval updates. (0, 60, 15) at 60 updates a second: a step on the press,
// the first repeat after one second, then four steps a second. A value below 1 turns the
// repeating off.
//
// Used from the main thread only, like the event loop that feeds it. The caller owns the
// reference returned by CreateInputController.
#pragma once

#include <Lumora/Base.h>

#include <cstdint>

namespace Lumora {

// GetState kinds.
enum InputStateKind : std::int32_t {
    InputHeld = 1,     // the button is down now
    InputPressed = 2,  // the button went down since the previous Refresh (a tap shorter than
                       // one update still counts, though it may no longer be held)
};

class IInputController : public IInterface {
public:
    // Maps a keyboard key onto `button` (0..31), replacing the key it had. `keyCode` is a
    // DirectInput key code (the PC keyboard's set-1 scan code, extended keys as 0x80 | code:
    // 0xC8 up, 0xD0 down, 0xCB left, 0xCD right, 0x2C Z, 0x1C Enter, 0x01 Escape, 0x39
    // Space, ...); the key is the one in that place on the keyboard, whatever its layout
    // prints on it. 0 removes the button's key. False, and nothing changed, for a button
    // outside 0..31 or a code that names no key.
    virtual bool SetKeyboardButton(std::int32_t button, std::int32_t keyCode) = 0;

    // Maps a pad button onto `button` (0..31), replacing the one it had; -1 removes it. Pad
    // buttons are numbered in the standard pad layout: 0 bottom face button (A, cross),
    // 1 right (B, circle), 2 left (X, square), 3 top (Y, triangle), 4 back, 5 guide, 6 start,
    // 7 left stick press, 8 right stick press, 9 left shoulder, 10 right shoulder, 11..14
    // D-pad up, down, left, right. False for anything outside these ranges.
    virtual bool SetJoystickButton(std::int32_t button, std::int32_t padButton) = 0;

    // Chooses the pad axis that drives left and right (buttons 2 and 3). `pad` is 0: every
    // connected pad. `stick` 0 is the left stick, 1 the right one; `axis` 0 is the stick's
    // X axis, 1 its Y axis. Once set, the D-pad's left and right drive the same buttons.
    // The stick counts as pushed when it is at least half way out (the rest is a dead zone
    // that swallows drift and the wobble of a stick let go). False, nothing changed, for
    // values outside these ranges.
    virtual bool SetAxisX(std::int32_t pad, std::int32_t stick, std::int32_t axis) = 0;

    // The same for up and down (buttons 0 and 1), with the D-pad's up and down. A stick
    // pushed away from the player (negative Y on every pad) is up.
    virtual bool SetAxisY(std::int32_t pad, std::int32_t stick, std::int32_t axis) = 0;

    // Takes the snapshot that GetState and the cursor calls read until the next Refresh.
    virtual void Refresh() = 0;

    // True when `button` (0..31) is in the state `kind` (InputHeld or InputPressed) in the
    // current snapshot. False for other kinds and buttons.
    virtual bool GetState(std::int32_t kind, std::int32_t button) = 0;

    // Moves `index` up (button 0, minus one) and down (button 1, plus one) on a press and on
    // each repeat while held, wrapping from one end of 0..count-1 to the other. Both held
    // together cancel out. An index outside the range is first brought to its nearest end;
    // count 0 or less sets it to 0. `device` is 0; for any other value the index is left
    // as it is. Returns true when the index changed. Several calls in one update see the
    // same presses and repeats.
    virtual bool MoveCursor(std::int32_t device, std::int32_t& index, std::int32_t count) = 0;

    // The same with left (button 2, minus one) and right (button 3, plus one).
    virtual bool MoveCursorHorizontal(std::int32_t device, std::int32_t& index, std::int32_t count) = 0;
};

} // namespace Lumora
