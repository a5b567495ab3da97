// lumora/src/input/InputDevices.cpp: key and pad state kept from SDL's events.
#include "InputDevices.h"
#include "InputSystem.h"

#include <array>
#include <map>

namespace Lumora::Internal {
namespace {

constexpr std::size_t kAxisCount = SDL_CONTROLLER_AXIS_MAX;
constexpr std::size_t kPadButtonCount = SDL_CONTROLLER_BUTTON_MAX;

struct Pad {
    SDL_GameController* handle = nullptr; // null for a pad known only from its events
    std::array<bool, kPadButtonCount> held{};
    std::array<std::int16_t, kAxisCount> axes{};
};

struct Devices {
    std::array<bool, SDL_NUM_SCANCODES> keyHeld{};
    std::array<std::uint32_t, SDL_NUM_SCANCODES> keyPresses{};
    // Keyed by SDL's joystick instance id, which stays unique for the whole run.
    std::map<SDL_JoystickID, Pad> pads;
    std::array<std::uint32_t, kPadButtonCount> padButtonPresses{};
    std::array<std::array<std::uint32_t, 2>, kAxisCount> axisPushes{};
    bool headless = false;
    std::uint32_t scripted = 0;
};

Devices& State()
{
    static Devices devices;
    return devices;
}

bool Pushed(std::int32_t value, AxisDirection direction)
{
    return direction == AxisDirection::Negative ? value <= -kAxisPushThreshold : value >= kAxisPushThreshold;
}

void OpenPad(std::int32_t deviceIndex)
{
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER) == 0) {
        return;
    }
    SDL_GameController* handle = SDL_GameControllerOpen(deviceIndex);
    if (handle == nullptr) {
        return;
    }
    SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(handle));
    Pad& pad = State().pads[id];
    if (pad.handle != nullptr) {
        SDL_GameControllerClose(handle); // reported twice: keep the first
        return;
    }
    pad.handle = handle;
}

void ClosePad(SDL_JoystickID id)
{
    auto found = State().pads.find(id);
    if (found == State().pads.end()) {
        return;
    }
    if (found->second.handle != nullptr) {
        SDL_GameControllerClose(found->second.handle);
    }
    // What it held goes with it: the next Refresh sees those buttons released.
    State().pads.erase(found);
}

void SetPadButton(SDL_JoystickID id, std::uint8_t button, bool down)
{
    if (button >= kPadButtonCount) {
        return;
    }
    Pad& pad = State().pads[id];
    if (down && !pad.held[button]) {
        ++State().padButtonPresses[button];
    }
    pad.held[button] = down;
}

void SetPadAxis(SDL_JoystickID id, std::uint8_t axis, std::int16_t value)
{
    if (axis >= kAxisCount) {
        return;
    }
    Pad& pad = State().pads[id];
    for (AxisDirection direction : {AxisDirection::Negative, AxisDirection::Positive}) {
        if (Pushed(value, direction) && !Pushed(pad.axes[axis], direction)) {
            ++State().axisPushes[axis][static_cast<std::size_t>(direction)];
        }
    }
    pad.axes[axis] = value;
}

void SetKey(SDL_Scancode key, bool down)
{
    if (key <= SDL_SCANCODE_UNKNOWN || key >= SDL_NUM_SCANCODES) {
        return;
    }
    if (down && !State().keyHeld[key]) {
        ++State().keyPresses[key];
    }
    State().keyHeld[key] = down;
}

} // namespace

void HandleInputEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        // The keyboard's own repeats arrive as further downs of a held key and change nothing.
        SetKey(event.key.keysym.scancode, event.type == SDL_KEYDOWN);
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            State().keyHeld.fill(false);
        }
        break;
    case SDL_CONTROLLERDEVICEADDED:
        OpenPad(event.cdevice.which); // a device index here, an instance id everywhere else
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        ClosePad(event.cdevice.which);
        break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        SetPadButton(event.cbutton.which, event.cbutton.button, event.type == SDL_CONTROLLERBUTTONDOWN);
        break;
    case SDL_CONTROLLERAXISMOTION:
        SetPadAxis(event.caxis.which, event.caxis.axis, event.caxis.value);
        break;
    default:
        break;
    }
}

void SetInputHeadless(bool headless) { State().headless = headless; }

void SetScriptedButtons(std::uint32_t heldMask) { State().scripted = heldMask; }

void ResetInput()
{
    const bool headless = State().headless;
    for (auto& [id, pad] : State().pads) {
        if (pad.handle != nullptr) {
            SDL_GameControllerClose(pad.handle);
        }
    }
    State() = Devices{};
    State().headless = headless;
}

bool IsKeyHeld(SDL_Scancode key)
{
    return key > SDL_SCANCODE_UNKNOWN && key < SDL_NUM_SCANCODES && State().keyHeld[key];
}

std::uint32_t KeyPressCount(SDL_Scancode key)
{
    return key > SDL_SCANCODE_UNKNOWN && key < SDL_NUM_SCANCODES ? State().keyPresses[key] : 0;
}

bool IsPadButtonHeld(std::int32_t padButton)
{
    if (padButton < 0 || padButton >= static_cast<std::int32_t>(kPadButtonCount)) {
        return false;
    }
    for (const auto& [id, pad] : State().pads) {
        if (pad.held[static_cast<std::size_t>(padButton)]) {
            return true;
        }
    }
    return false;
}

std::uint32_t PadButtonPressCount(std::int32_t padButton)
{
    if (padButton < 0 || padButton >= static_cast<std::int32_t>(kPadButtonCount)) {
        return 0;
    }
    return State().padButtonPresses[static_cast<std::size_t>(padButton)];
}

bool IsAxisPushed(std::int32_t axis, AxisDirection direction)
{
    if (axis < 0 || axis >= static_cast<std::int32_t>(kAxisCount)) {
        return false;
    }
    for (const auto& [id, pad] : State().pads) {
        if (Pushed(pad.axes[static_cast<std::size_t>(axis)], direction)) {
            return true;
        }
    }
    return false;
}

std::uint32_t AxisPushCount(std::int32_t axis, AxisDirection direction)
{
    if (axis < 0 || axis >= static_cast<std::int32_t>(kAxisCount)) {
        return 0;
    }
    return State().axisPushes[static_cast<std::size_t>(axis)][static_cast<std::size_t>(direction)];
}

bool IsInputHeadless() { return State().headless; }

std::uint32_t ScriptedButtons() { return State().scripted; }

} // namespace Lumora::Internal
