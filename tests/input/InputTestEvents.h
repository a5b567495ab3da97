// Hand-made SDL events for the input tests (no SDL initialisation or window needed), and a
// controller mapped as the game's start-up maps it: (0, 60, 15); Z X C V on 16..19, the
// arrows on 0..3, pad buttons 0..3 on 16..19, the left stick and the D-pad on 0..3.
#pragma once

#include <gtest/gtest.h>

#include <InputSystem.h>

#include <cstdint>

namespace InputTest {

inline void Feed(SDL_Event event) { Lumora::Internal::HandleInputEvent(event); }

inline void Key(SDL_Scancode key, bool down, bool systemRepeat = false)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.repeat = systemRepeat ? 1 : 0;
    event.key.keysym.scancode = key;
    Feed(event);
}

inline void PadButton(SDL_JoystickID pad, SDL_GameControllerButton button, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_CONTROLLERBUTTONDOWN : SDL_CONTROLLERBUTTONUP;
    event.cbutton.which = pad;
    event.cbutton.button = static_cast<Uint8>(button);
    Feed(event);
}

inline void PadAxis(SDL_JoystickID pad, SDL_GameControllerAxis axis, std::int16_t value)
{
    SDL_Event event{};
    event.type = SDL_CONTROLLERAXISMOTION;
    event.caxis.which = pad;
    event.caxis.axis = static_cast<Uint8>(axis);
    event.caxis.value = value;
    Feed(event);
}

constexpr std::uint32_t Bit(std::int32_t button) { return std::uint32_t{1} << button; }

class GameController : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lumora::Internal::SetInputHeadless(false);
        Lumora::Internal::ResetInput();
        input = Lumora::Internal::CreateInputController(0, 60, 15);
        ASSERT_NE(input, nullptr);
        const std::int32_t keys[][2] = {{16, 0x2C}, {17, 0x2D}, {18, 0x2E}, {19, 0x2F},
                                        {0, 0xC8},  {1, 0xD0},  {2, 0xCB},  {3, 0xCD}};
        for (const auto& [button, key] : keys) {
            ASSERT_TRUE(input->SetKeyboardButton(button, key));
        }
        for (std::int32_t pad = 0; pad < 4; ++pad) {
            ASSERT_TRUE(input->SetJoystickButton(16 + pad, pad));
        }
        ASSERT_TRUE(input->SetAxisX(0, 0, 0));
        ASSERT_TRUE(input->SetAxisY(0, 0, 1));
    }

    void TearDown() override
    {
        Lumora::SafeRelease(input);
        Lumora::Internal::SetInputHeadless(false);
        Lumora::Internal::ResetInput();
    }

    // Refreshes, then gives every button held (kind 1) or gone down (kind 2), bit n for n.
    std::uint32_t Next(std::int32_t kind = 1)
    {
        input->Refresh();
        return Mask(kind);
    }

    std::uint32_t Mask(std::int32_t kind)
    {
        std::uint32_t mask = 0;
        for (std::int32_t button = 0; button < 32; ++button) {
            mask |= input->GetState(kind, button) ? Bit(button) : 0;
        }
        return mask;
    }

    Lumora::IInputController* input = nullptr;
};

} // namespace InputTest
