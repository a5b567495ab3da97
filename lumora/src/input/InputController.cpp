// lumora/src/input/InputController.cpp: virtual buttons from keys, pad buttons and sticks.
#include "InputController.h"

#include "DirectInputKeys.h"
#include "InputDevices.h"
#include "InputSystem.h"

#include <cstdio>

namespace Lumora::Internal {
namespace {

constexpr std::int32_t kUp = 0;
constexpr std::int32_t kDown = 1;
constexpr std::int32_t kLeft = 2;
constexpr std::int32_t kRight = 3;

bool IsButton(std::int32_t button) { return button >= 0 && button < InputController::kButtonCount; }

std::uint32_t Bit(std::int32_t button) { return std::uint32_t{1} << button; }

} // namespace

InputController::InputController(std::int32_t repeatDelay, std::int32_t repeatInterval)
    : repeatDelay_(repeatDelay),
      repeatInterval_(repeatInterval),
      horizontal_{-1, kLeft, kRight, SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT},
      vertical_{-1, kUp, kDown, SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN}
{
}

std::int32_t InputController::AddRef() { return ++references_; }

std::int32_t InputController::Release()
{
    const std::int32_t left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

bool InputController::SetKeyboardButton(std::int32_t button, std::int32_t keyCode)
{
    if (!IsButton(button)) {
        return false;
    }
    SDL_Scancode key = SDL_SCANCODE_UNKNOWN;
    if (keyCode != 0) {
        key = ScancodeFromDirectInput(keyCode);
        if (key == SDL_SCANCODE_UNKNOWN) {
            return false;
        }
    }
    sources_[static_cast<std::size_t>(button)].key = key;
    SyncPresses(button);
    return true;
}

bool InputController::SetJoystickButton(std::int32_t button, std::int32_t padButton)
{
    if (!IsButton(button) || padButton < -1 || padButton >= SDL_CONTROLLER_BUTTON_MAX) {
        return false;
    }
    sources_[static_cast<std::size_t>(button)].padButton = padButton;
    SyncPresses(button);
    return true;
}

bool InputController::SetAxisX(std::int32_t pad, std::int32_t stick, std::int32_t axis)
{
    return SetAxis(horizontal_, pad, stick, axis);
}

bool InputController::SetAxisY(std::int32_t pad, std::int32_t stick, std::int32_t axis)
{
    return SetAxis(vertical_, pad, stick, axis);
}

bool InputController::SetAxis(AxisBinding& binding, std::int32_t pad, std::int32_t stick, std::int32_t axis)
{
    if (pad != 0 || stick < 0 || stick > 1 || axis < 0 || axis > 1) {
        return false;
    }
    // SDL numbers the stick axes left X, left Y, right X, right Y.
    binding.axis = stick * 2 + axis;
    SyncPresses(binding.minusButton);
    SyncPresses(binding.plusButton);
    return true;
}

bool InputController::IsSourceHeld(std::int32_t button) const
{
    const Sources& source = sources_[static_cast<std::size_t>(button)];
    if (IsKeyHeld(source.key) || IsPadButtonHeld(source.padButton)) {
        return true;
    }
    for (const AxisBinding* binding : {&horizontal_, &vertical_}) {
        if (binding->axis < 0) {
            continue;
        }
        if (button == binding->minusButton) {
            return IsAxisPushed(binding->axis, AxisDirection::Negative) || IsPadButtonHeld(binding->minusPadButton);
        }
        if (button == binding->plusButton) {
            return IsAxisPushed(binding->axis, AxisDirection::Positive) || IsPadButtonHeld(binding->plusPadButton);
        }
    }
    return false;
}

std::uint32_t InputController::SourcePresses(std::int32_t button) const
{
    const Sources& source = sources_[static_cast<std::size_t>(button)];
    std::uint32_t presses = KeyPressCount(source.key) + PadButtonPressCount(source.padButton);
    for (const AxisBinding* binding : {&horizontal_, &vertical_}) {
        if (binding->axis < 0) {
            continue;
        }
        if (button == binding->minusButton) {
            presses += AxisPushCount(binding->axis, AxisDirection::Negative) + PadButtonPressCount(binding->minusPadButton);
        } else if (button == binding->plusButton) {
            presses += AxisPushCount(binding->axis, AxisDirection::Positive) + PadButtonPressCount(binding->plusPadButton);
        }
    }
    return presses;
}

void InputController::SyncPresses(std::int32_t button)
{
    seenPresses_[static_cast<std::size_t>(button)] = SourcePresses(button);
}

void InputController::Refresh()
{
    std::uint32_t held = 0;
    std::uint32_t pressed = 0;
    if (IsInputHeadless()) {
        held = ScriptedButtons();
        pressed = held & ~held_;
    } else {
        for (std::int32_t button = 0; button < kButtonCount; ++button) {
            const std::uint32_t presses = SourcePresses(button);
            const bool wentDown = presses != seenPresses_[static_cast<std::size_t>(button)];
            seenPresses_[static_cast<std::size_t>(button)] = presses;
            const bool heldNow = IsSourceHeld(button);
            if (heldNow) {
                held |= Bit(button);
            }
            // Went down: it was up at the last snapshot and is down now, or a source went
            // down and up again in between (a tap shorter than an update). A second source
            // going down while the button is already held is no new press.
            if ((held_ & Bit(button)) == 0 && (heldNow || wentDown)) {
                pressed |= Bit(button);
            }
        }
    }
    for (std::int32_t button = 0; button < kButtonCount; ++button) {
        std::int64_t& updates = heldUpdates_[static_cast<std::size_t>(button)];
        if ((held & Bit(button)) == 0) {
            updates = 0;
        } else if ((pressed & Bit(button)) != 0) {
            updates = 1;
        } else {
            ++updates;
        }
    }
    held_ = held;
    pressed_ = pressed;
}

bool InputController::GetState(std::int32_t kind, std::int32_t button)
{
    if (!IsButton(button)) {
        return false;
    }
    switch (kind) {
    case InputHeld:
        return (held_ & Bit(button)) != 0;
    case InputPressed:
        return (pressed_ & Bit(button)) != 0;
    default:
        return false;
    }
}

bool InputController::Pulses(std::int32_t button) const
{
    if ((pressed_ & Bit(button)) != 0) {
        return true;
    }
    if ((held_ & Bit(button)) == 0 || repeatDelay_ < 1 || repeatInterval_ < 1) {
        return false;
    }
    const std::int64_t sincePress = heldUpdates_[static_cast<std::size_t>(button)] - 1;
    return sincePress >= repeatDelay_ && (sincePress - repeatDelay_) % repeatInterval_ == 0;
}

bool InputController::Move(std::int32_t device, std::int32_t& index, std::int32_t count, std::int32_t minusButton,
                           std::int32_t plusButton) const
{
    if (device != 0) {
        return false;
    }
    const std::int32_t before = index;
    if (count <= 0) {
        index = 0;
        return index != before;
    }
    std::int32_t position = index < 0 ? 0 : (index >= count ? count - 1 : index);
    const std::int32_t step = (Pulses(plusButton) ? 1 : 0) - (Pulses(minusButton) ? 1 : 0);
    position = (position + step + count) % count;
    index = position;
    return index != before;
}

bool InputController::MoveCursor(std::int32_t device, std::int32_t& index, std::int32_t count)
{
    return Move(device, index, count, kUp, kDown);
}

bool InputController::MoveCursorHorizontal(std::int32_t device, std::int32_t& index, std::int32_t count)
{
    return Move(device, index, count, kLeft, kRight);
}

IInputController* CreateInputController(std::int32_t device, std::int32_t repeatDelay, std::int32_t repeatInterval)
{
    if (device != 0) {
        std::fprintf(stderr, "Lumora: no input device %d; device 0 is the keyboard with every pad\n",
                     static_cast<int>(device));
        return nullptr;
    }
    return new InputController(repeatDelay, repeatInterval);
}

} // namespace Lumora::Internal
