// Virtual buttons: held against went-down, the keyboard's codes, pads and their hot-plug.
#include "InputTestEvents.h"

#include <DirectInputKeys.h>

#include <string_view>

namespace {

using namespace InputTest;
using Lumora::Internal::ScancodeFromDirectInput;

using Buttons = GameController;

TEST_F(Buttons, HeldLastsWhileWentDownIsOnlyTheFirstUpdate)
{
    Key(SDL_SCANCODE_Z, true);
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(16));
    EXPECT_EQ(Mask(2), Bit(16));
    EXPECT_TRUE(input->GetState(2, 16)); // asking again in the same update answers the same

    Key(SDL_SCANCODE_Z, true, true); // the system's own key repeat
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(16));
    EXPECT_EQ(Mask(2), 0u);

    Key(SDL_SCANCODE_Z, false);
    input->Refresh();
    EXPECT_EQ(Mask(1), 0u);
    EXPECT_EQ(Mask(2), 0u);

    EXPECT_FALSE(input->GetState(3, 16));
    EXPECT_FALSE(input->GetState(1, 32));
    EXPECT_FALSE(input->GetState(1, -1));
}

TEST_F(Buttons, TapBetweenTwoUpdatesIsStillAPress)
{
    Key(SDL_SCANCODE_X, true);
    Key(SDL_SCANCODE_X, false);
    input->Refresh();
    EXPECT_EQ(Mask(2), Bit(17));
    EXPECT_EQ(Mask(1), 0u);
    input->Refresh();
    EXPECT_EQ(Mask(2), 0u);
}

TEST_F(Buttons, SecondSourceOfAHeldButtonIsNoNewPress)
{
    Key(SDL_SCANCODE_Z, true);
    input->Refresh();
    PadButton(7, SDL_CONTROLLER_BUTTON_A, true);
    input->Refresh();
    EXPECT_EQ(Mask(2), 0u);
    Key(SDL_SCANCODE_Z, false);
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(16)); // the pad still holds it
}

TEST_F(Buttons, GameKeysDriveTheirButtonsAlone)
{
    const struct {
        SDL_Scancode key;
        std::int32_t button;
    } keys[] = {{SDL_SCANCODE_UP, 0},    {SDL_SCANCODE_DOWN, 1}, {SDL_SCANCODE_LEFT, 2}, {SDL_SCANCODE_RIGHT, 3},
                {SDL_SCANCODE_Z, 16},    {SDL_SCANCODE_X, 17},   {SDL_SCANCODE_C, 18},   {SDL_SCANCODE_V, 19}};
    for (const auto& [key, button] : keys) {
        Key(key, true);
        input->Refresh();
        EXPECT_EQ(Mask(1), Bit(button)) << SDL_GetScancodeName(key);
        Key(key, false);
    }
    Key(SDL_SCANCODE_RETURN, true); // mapped to nothing
    input->Refresh();
    EXPECT_EQ(Mask(1), 0u);
}

TEST_F(Buttons, RemappingReplacesTheKeyAndBadCodesChangeNothing)
{
    EXPECT_TRUE(input->SetKeyboardButton(16, 0x1C)); // Enter
    Key(SDL_SCANCODE_Z, true);
    input->Refresh();
    EXPECT_EQ(Mask(1), 0u);
    Key(SDL_SCANCODE_RETURN, true);
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(16));

    EXPECT_FALSE(input->SetKeyboardButton(16, 0x54)); // no key has this code
    EXPECT_FALSE(input->SetKeyboardButton(16, 0x100));
    EXPECT_FALSE(input->SetKeyboardButton(32, 0x2C));
    EXPECT_FALSE(input->SetKeyboardButton(-1, 0x2C));
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(16));

    EXPECT_TRUE(input->SetKeyboardButton(16, 0));
    input->Refresh();
    EXPECT_EQ(Mask(1), 0u);
}

TEST(DirectInputKeys, CodesNameKeysByTheirPlace)
{
    // The letter rows of the PC keyboard: their codes run along each row.
    const struct {
        std::int32_t first;
        std::string_view letters;
    } rows[] = {{0x10, "QWERTYUIOP"}, {0x1E, "ASDFGHJKL"}, {0x2C, "ZXCVBNM"}};
    for (const auto& [first, letters] : rows) {
        for (std::size_t i = 0; i < letters.size(); ++i) {
            EXPECT_EQ(ScancodeFromDirectInput(first + static_cast<std::int32_t>(i)),
                      SDL_SCANCODE_A + (letters[i] - 'A'))
                << letters[i];
        }
    }
    for (std::int32_t digit = 1; digit <= 10; ++digit) { // 1..9, then 0
        EXPECT_EQ(ScancodeFromDirectInput(digit + 1), SDL_SCANCODE_1 + (digit - 1));
    }
    for (std::int32_t f = 0; f < 10; ++f) {
        EXPECT_EQ(ScancodeFromDirectInput(0x3B + f), SDL_SCANCODE_F1 + f);
    }
    EXPECT_EQ(ScancodeFromDirectInput(0x01), SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(ScancodeFromDirectInput(0x1C), SDL_SCANCODE_RETURN);
    EXPECT_EQ(ScancodeFromDirectInput(0x9C), SDL_SCANCODE_KP_ENTER);
    EXPECT_EQ(ScancodeFromDirectInput(0x39), SDL_SCANCODE_SPACE);
    EXPECT_EQ(ScancodeFromDirectInput(0x48), SDL_SCANCODE_KP_8); // keypad 8, not the up arrow
    EXPECT_EQ(ScancodeFromDirectInput(0xC8), SDL_SCANCODE_UP);
    EXPECT_EQ(ScancodeFromDirectInput(0x1D), SDL_SCANCODE_LCTRL);
    EXPECT_EQ(ScancodeFromDirectInput(0x9D), SDL_SCANCODE_RCTRL);
    for (std::int32_t unknown : {-1, 0x00, 0x54, 0xFF, 0x1C + 0x100}) {
        EXPECT_EQ(ScancodeFromDirectInput(unknown), SDL_SCANCODE_UNKNOWN) << unknown;
    }
}

TEST_F(Buttons, LosingFocusLetsGoOfEveryKey)
{
    Key(SDL_SCANCODE_Z, true);
    Key(SDL_SCANCODE_LEFT, true);
    input->Refresh();
    FocusLost();
    input->Refresh();
    EXPECT_EQ(Mask(1), 0u);
    Key(SDL_SCANCODE_Z, true); // back in focus, pressed anew
    input->Refresh();
    EXPECT_EQ(Mask(2), Bit(16));
}

TEST_F(Buttons, AnyPadHoldsAButtonUntilAllLetGo)
{
    PadButton(1, SDL_CONTROLLER_BUTTON_A, true);
    PadButton(2, SDL_CONTROLLER_BUTTON_A, true);
    PadButton(2, SDL_CONTROLLER_BUTTON_Y, true);
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(16) | Bit(19));
    EXPECT_EQ(Mask(2), Bit(16) | Bit(19));
    PadButton(1, SDL_CONTROLLER_BUTTON_A, false);
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(16) | Bit(19));
    PadButton(2, SDL_CONTROLLER_BUTTON_A, false);
    PadButton(2, SDL_CONTROLLER_BUTTON_START, true); // mapped to nothing
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(19));

    EXPECT_FALSE(input->SetJoystickButton(16, SDL_CONTROLLER_BUTTON_MAX));
    EXPECT_FALSE(input->SetJoystickButton(16, -2));
    EXPECT_TRUE(input->SetJoystickButton(19, -1));
    input->Refresh();
    EXPECT_EQ(Mask(1), 0u);
}

TEST_F(Buttons, StickPastItsDeadZoneAndDpadGiveDirections)
{
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTX, 16000); // inside the dead zone
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTY, -9000);
    input->Refresh();
    EXPECT_EQ(Mask(1), 0u);

    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTX, 16384);
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTY, -32768); // pushed away: up
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(3) | Bit(0));
    EXPECT_EQ(Mask(2), Bit(3) | Bit(0));

    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTX, -20000); // straight across to the left
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTY, 0);
    PadAxis(3, SDL_CONTROLLER_AXIS_RIGHTX, 32767); // the right stick is not mapped
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(2));
    EXPECT_EQ(Mask(2), Bit(2));

    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTX, 0);
    PadButton(3, SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    PadButton(3, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(1) | Bit(3));

    // Choosing the right stick for left and right: its X axis drives them now.
    EXPECT_TRUE(input->SetAxisX(0, 1, 0));
    EXPECT_FALSE(input->SetAxisX(1, 0, 0));
    EXPECT_FALSE(input->SetAxisY(0, 2, 0));
    EXPECT_FALSE(input->SetAxisY(0, 0, 2));
    PadButton(3, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    PadAxis(3, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(1) | Bit(3));
}

TEST(InputDirections, PadGivesNoDirectionsBeforeAnAxisIsChosen)
{
    Lumora::Internal::ResetInput();
    Lumora::IInputController* input = Lumora::Internal::CreateInputController(0, 60, 15);
    PadAxis(1, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    PadButton(1, SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    input->Refresh();
    EXPECT_FALSE(input->GetState(1, 0));
    EXPECT_FALSE(input->GetState(1, 2));
    input->Release();
    Lumora::Internal::ResetInput();
    EXPECT_EQ(Lumora::Internal::CreateInputController(1, 60, 15), nullptr);
}

TEST_F(Buttons, PullingOutAPadReleasesWhatItHeld)
{
    PadButton(5, SDL_CONTROLLER_BUTTON_B, true);
    PadAxis(5, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    PadButton(6, SDL_CONTROLLER_BUTTON_X, true);
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(17) | Bit(2) | Bit(18));

    PadRemoved(5);
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(18));
    EXPECT_EQ(Mask(2), 0u);

    PadRemoved(6);
    PadRemoved(6); // reported twice, or a pad never seen: nothing happens
    PadRemoved(99);
    input->Refresh();
    EXPECT_EQ(Mask(1), 0u);

    // Plugged in again, the same pad presses afresh.
    PadButton(5, SDL_CONTROLLER_BUTTON_B, true);
    input->Refresh();
    EXPECT_EQ(Mask(2), Bit(17));
}

} // namespace
