// Virtual buttons: held against went-down, the keyboard's codes, pads and their hot-plug.
#include "InputTestEvents.h"

#include <DirectInputKeys.h>

#include <string_view>
#include <tuple>
#include <utility>

namespace {

using namespace InputTest;
using Lumora::Internal::ScancodeFromDirectInput;
using Buttons = GameController;

TEST_F(Buttons, HeldLastsWhileWentDownIsOnlyItsFirstUpdate)
{
    Key(SDL_SCANCODE_Z, true);
    EXPECT_EQ(Next(2), Bit(16));
    EXPECT_EQ(Mask(1), Bit(16));
    Key(SDL_SCANCODE_Z, true, true); // the system's own key repeat
    EXPECT_EQ(Next(2), 0u);
    EXPECT_EQ(Mask(1), Bit(16));
    PadButton(7, SDL_CONTROLLER_BUTTON_A, true); // a second source: no new press
    EXPECT_EQ(Next(2), 0u);
    Key(SDL_SCANCODE_Z, false);
    PadButton(7, SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_EQ(Next(1), 0u);

    Key(SDL_SCANCODE_X, true); // a tap shorter than an update still counts, once
    Key(SDL_SCANCODE_X, false);
    EXPECT_EQ(Next(2), Bit(17));
    EXPECT_EQ(Mask(1), 0u);
    EXPECT_EQ(Next(2), 0u);
    EXPECT_FALSE(input->GetState(3, 17));
    EXPECT_FALSE(input->GetState(1, 32));
}

// The game's ninth button, the hint: H (DirectInput 0x23) and the pad's left shoulder
// (game controller button 9), as the game's start-up maps them.
TEST_F(Buttons, TheHintButtonIsHAndTheLeftShoulder)
{
    ASSERT_TRUE(input->SetKeyboardButton(20, 0x23));
    ASSERT_TRUE(input->SetJoystickButton(20, 9));
    Key(SDL_SCANCODE_H, true);
    EXPECT_EQ(Next(2), Bit(20));
    Key(SDL_SCANCODE_H, false);
    EXPECT_EQ(Next(1), 0u);
    PadButton(3, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, true);
    EXPECT_EQ(Next(2), Bit(20));
    PadButton(3, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, false);
    PadButton(3, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, true); // not the hint
    EXPECT_EQ(Next(1), 0u);
    PadButton(3, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, false);
}

TEST_F(Buttons, GameKeysDriveTheirButtonsAloneAndRemapsReplace)
{
    const std::pair<SDL_Scancode, std::int32_t> keys[] = {
        {SDL_SCANCODE_UP, 0}, {SDL_SCANCODE_DOWN, 1}, {SDL_SCANCODE_LEFT, 2}, {SDL_SCANCODE_RIGHT, 3},
        {SDL_SCANCODE_Z, 16}, {SDL_SCANCODE_X, 17},   {SDL_SCANCODE_C, 18},   {SDL_SCANCODE_V, 19}};
    for (const auto& [key, button] : keys) {
        Key(key, true);
        EXPECT_EQ(Next(), Bit(button)) << SDL_GetScancodeName(key);
        Key(key, false);
    }
    EXPECT_TRUE(input->SetKeyboardButton(16, 0x1C)); // Enter instead of Z
    Key(SDL_SCANCODE_Z, true);
    EXPECT_EQ(Next(), 0u);
    Key(SDL_SCANCODE_RETURN, true);
    EXPECT_EQ(Next(), Bit(16));
    for (auto [button, code] : {std::pair{16, 0x54}, {16, 0x11C}, {32, 0x2C}, {-1, 0x2C}}) {
        EXPECT_FALSE(input->SetKeyboardButton(button, code));
    }
    EXPECT_EQ(Next(), Bit(16));
    EXPECT_TRUE(input->SetKeyboardButton(16, 0)); // unmapped
    EXPECT_EQ(Next(), 0u);
}

TEST(DirectInputKeys, CodesNameKeysByTheirPlace)
{
    // The codes run along the PC keyboard's letter rows.
    const std::pair<std::int32_t, std::string_view> rows[] = {{0x10, "QWERTYUIOP"}, {0x1E, "ASDFGHJKL"},
                                                              {0x2C, "ZXCVBNM"}};
    for (const auto& [first, letters] : rows) {
        for (std::size_t i = 0; i < letters.size(); ++i) {
            EXPECT_EQ(ScancodeFromDirectInput(first + static_cast<std::int32_t>(i)), SDL_SCANCODE_A + (letters[i] - 'A'));
        }
    }
    for (std::int32_t n = 0; n < 10; ++n) {
        EXPECT_EQ(ScancodeFromDirectInput(0x02 + n), SDL_SCANCODE_1 + n); // 1..9, then 0
        EXPECT_EQ(ScancodeFromDirectInput(0x3B + n), SDL_SCANCODE_F1 + n);
    }
    // Extended keys are 0x80 above the key they share a scan code with.
    EXPECT_EQ(ScancodeFromDirectInput(0x48), SDL_SCANCODE_KP_8);
    EXPECT_EQ(ScancodeFromDirectInput(0xC8), SDL_SCANCODE_UP);
    EXPECT_EQ(ScancodeFromDirectInput(0x1C), SDL_SCANCODE_RETURN);
    EXPECT_EQ(ScancodeFromDirectInput(0x9C), SDL_SCANCODE_KP_ENTER);
    for (std::int32_t unknown : {-1, 0x00, 0x54, 0xFF, 0x11C}) {
        EXPECT_EQ(ScancodeFromDirectInput(unknown), SDL_SCANCODE_UNKNOWN) << unknown;
    }
}

TEST_F(Buttons, LosingFocusLetsGoOfEveryKey)
{
    Key(SDL_SCANCODE_Z, true);
    Key(SDL_SCANCODE_LEFT, true);
    EXPECT_EQ(Next(), Bit(16) | Bit(2));
    SDL_Event focus{};
    focus.type = SDL_WINDOWEVENT;
    focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    Feed(focus);
    EXPECT_EQ(Next(), 0u);
    Key(SDL_SCANCODE_Z, true);
    EXPECT_EQ(Next(2), Bit(16));
}

TEST_F(Buttons, AnyPadHoldsAButtonAndPullingOutAPadReleasesWhatItHeld)
{
    PadButton(1, SDL_CONTROLLER_BUTTON_A, true);
    PadButton(2, SDL_CONTROLLER_BUTTON_A, true);
    PadButton(2, SDL_CONTROLLER_BUTTON_Y, true);
    PadAxis(2, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    PadButton(2, SDL_CONTROLLER_BUTTON_START, true); // mapped to nothing
    EXPECT_EQ(Next(2), Bit(16) | Bit(19) | Bit(2));
    PadButton(1, SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_EQ(Next(), Bit(16) | Bit(19) | Bit(2));

    SDL_Event removed{};
    removed.type = SDL_CONTROLLERDEVICEREMOVED;
    removed.cdevice.which = 2;
    Feed(removed);
    EXPECT_EQ(Next(), 0u);
    Feed(removed); // reported twice: nothing happens
    PadButton(2, SDL_CONTROLLER_BUTTON_A, true); // back again: presses afresh
    EXPECT_EQ(Next(2), Bit(16));

    EXPECT_FALSE(input->SetJoystickButton(16, SDL_CONTROLLER_BUTTON_MAX));
    EXPECT_FALSE(input->SetJoystickButton(16, -2));
    EXPECT_TRUE(input->SetJoystickButton(16, -1));
    EXPECT_EQ(Next(), 0u);
}

TEST_F(Buttons, StickPastItsDeadZoneAndDpadGiveDirections)
{
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTX, 16000); // inside the dead zone
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTY, -9000);
    EXPECT_EQ(Next(), 0u);
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTX, 16384);
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTY, -32768); // pushed away: up
    EXPECT_EQ(Next(2), Bit(3) | Bit(0));
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTX, -20000); // straight across to the left
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTY, 0);
    PadAxis(3, SDL_CONTROLLER_AXIS_RIGHTX, 32767); // the right stick is not chosen
    EXPECT_EQ(Next(2), Bit(2));
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTX, 0);
    PadButton(3, SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    EXPECT_EQ(Next(), Bit(1));

    EXPECT_TRUE(input->SetAxisX(0, 1, 0)); // now the right stick's X
    EXPECT_EQ(Next(), Bit(1) | Bit(3));
    for (auto [pad, stick, axis] : {std::tuple{1, 0, 0}, {0, 2, 0}, {0, 0, 2}, {0, -1, 0}}) {
        EXPECT_FALSE(input->SetAxisY(pad, stick, axis));
    }

    Lumora::IInputController* plain = Lumora::Internal::CreateInputController(0, 60, 15);
    plain->Refresh(); // no axis chosen: neither stick nor D-pad gives a direction
    EXPECT_FALSE(plain->GetState(1, 1) || plain->GetState(1, 3));
    plain->Release();
    EXPECT_EQ(Lumora::Internal::CreateInputController(1, 60, 15), nullptr);
}

} // namespace
