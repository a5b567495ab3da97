// lumora/src/input/InputController.h: one IInputController: its button map and snapshot.
#pragma once

#include <Lumora/IInputController.h>

#include <SDL.h>

#include <array>
#include <atomic>
#include <cstdint>

namespace Lumora::Internal {

class InputController final : public IInputController {
public:
    static constexpr std::int32_t kButtonCount = 32;

    InputController(std::int32_t repeatDelay, std::int32_t repeatInterval);

    std::int32_t AddRef() override;
    std::int32_t Release() override;

    bool SetKeyboardButton(std::int32_t button, std::int32_t keyCode) override;
    bool SetJoystickButton(std::int32_t button, std::int32_t padButton) override;
    bool SetAxisX(std::int32_t pad, std::int32_t stick, std::int32_t axis) override;
    bool SetAxisY(std::int32_t pad, std::int32_t stick, std::int32_t axis) override;
    void Refresh() override;
    bool GetState(std::int32_t kind, std::int32_t button) override;
    bool MoveCursor(std::int32_t device, std::int32_t& index, std::int32_t count) override;
    bool MoveCursorHorizontal(std::int32_t device, std::int32_t& index, std::int32_t count) override;

private:
    // The two directions a stick axis and the D-pad feed: the minus button (up or left)
    // and the plus button (down or right).
    struct AxisBinding {
        std::int32_t axis = -1; // SDL_GameControllerAxis; -1 while not set
        std::int32_t minusButton;
        std::int32_t plusButton;
        std::int32_t minusPadButton; // the D-pad button of the same direction
        std::int32_t plusPadButton;
    };

    struct Sources {
        SDL_Scancode key = SDL_SCANCODE_UNKNOWN;
        std::int32_t padButton = -1;
    };

    // Is any source of `button` down now, and how often did its sources go down in all?
    bool IsSourceHeld(std::int32_t button) const;
    std::uint32_t SourcePresses(std::int32_t button) const;
    bool SetAxis(AxisBinding& binding, std::int32_t pad, std::int32_t stick, std::int32_t axis);
    // Forget presses made before a mapping change, so that a change is no press.
    void SyncPresses(std::int32_t button);
    // A press, or a repeat of a held button, in the current snapshot.
    bool Pulses(std::int32_t button) const;
    bool Move(std::int32_t device, std::int32_t& index, std::int32_t count, std::int32_t minusButton,
              std::int32_t plusButton) const;

    ~InputController() override = default;

    std::atomic<std::int32_t> references_{1};
    std::int32_t repeatDelay_;
    std::int32_t repeatInterval_;
    std::array<Sources, kButtonCount> sources_{};
    AxisBinding horizontal_;
    AxisBinding vertical_;

    // The snapshot: bit n is button n.
    std::uint32_t held_ = 0;
    std::uint32_t pressed_ = 0;
    // Updates in a row that each button has been held, 1 in the update it went down.
    std::array<std::int64_t, kButtonCount> heldUpdates_{};
    // The sources' press counts as the last Refresh saw them.
    std::array<std::uint32_t, kButtonCount> seenPresses_{};
};

} // namespace Lumora::Internal
