// Pads through SDL itself: a virtual game controller plugged in and pulled out while held.
#include "InputTestEvents.h"

namespace {

using namespace InputTest;

void PumpIntoInput()
{
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        Lumora::Internal::HandleInputEvent(event);
    }
}

TEST(PadHotPlug, ControllerOpensOnArrivalAndReleasesItsButtonsWhenPulledOut)
{
    if (SDL_Init(SDL_INIT_GAMECONTROLLER) != 0) {
        GTEST_SKIP() << "no game controller subsystem: " << SDL_GetError();
    }
    Lumora::Internal::SetInputHeadless(false);
    Lumora::Internal::ResetInput();
    Lumora::IInputController* input = Lumora::Internal::CreateInputController(0, 60, 15);
    ASSERT_TRUE(input->SetJoystickButton(16, 0));
    ASSERT_TRUE(input->SetAxisY(0, 0, 1));

    SDL_VirtualJoystickDesc description{};
    description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    description.naxes = SDL_CONTROLLER_AXIS_MAX;
    description.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    description.name = "tomarugi test pad";
    const int index = SDL_JoystickAttachVirtualEx(&description);
    ASSERT_GE(index, 0) << SDL_GetError();
    PumpIntoInput(); // the arrival: the input module opens the pad

    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    ASSERT_NE(joystick, nullptr);
    SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_A, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, 30000);
    PumpIntoInput();
    input->Refresh();
    EXPECT_TRUE(input->GetState(2, 16));
    EXPECT_TRUE(input->GetState(1, 1));

    SDL_JoystickClose(joystick);
    SDL_JoystickDetachVirtual(index);
    PumpIntoInput();
    input->Refresh();
    EXPECT_FALSE(input->GetState(1, 16));
    EXPECT_FALSE(input->GetState(1, 1));

    input->Release();
    Lumora::Internal::ResetInput();
    SDL_Quit();
}

} // namespace
