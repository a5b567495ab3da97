// Cursors: a step on each press, repeats while held, wrapping, and the scripted headless mode.
#include "InputTestEvents.h"

#include <vector>

namespace {

using namespace InputTest;
using Cursor = GameController;
using Updates = std::vector<std::int32_t>;

// Holds `key` for `updates` updates; the updates (1 = the press) in which a cursor moved.
Updates MovesWhileHeld(Lumora::IInputController* input, SDL_Scancode key, std::int32_t updates)
{
    Updates moves;
    std::int32_t index = 500;
    Key(key, true);
    for (std::int32_t update = 1; update <= updates; ++update) {
        input->Refresh();
        if (input->MoveCursor(0, index, 1000)) {
            moves.push_back(update);
        }
    }
    Key(key, false);
    input->Refresh();
    return moves;
}

TEST_F(Cursor, StepsOnThePressThenRepeatsAfterTheDelayAtTheInterval)
{
    EXPECT_EQ(MovesWhileHeld(input, SDL_SCANCODE_DOWN, 100), (Updates{1, 61, 76, 91}));
    EXPECT_EQ(MovesWhileHeld(input, SDL_SCANCODE_UP, 60), (Updates{1})); // the delay starts over

    Lumora::IInputController* noRepeat = Lumora::Internal::CreateInputController(0, 0, 15);
    ASSERT_TRUE(noRepeat->SetKeyboardButton(1, 0xD0));
    EXPECT_EQ(MovesWhileHeld(noRepeat, SDL_SCANCODE_DOWN, 200), (Updates{1}));
    noRepeat->Release();
}

TEST_F(Cursor, WrapsBothWaysAndEveryCallInAnUpdateSeesTheSameStep)
{
    std::int32_t row = 0;
    std::int32_t column = 10;
    Key(SDL_SCANCODE_UP, true);
    Key(SDL_SCANCODE_RIGHT, true);
    input->Refresh();
    EXPECT_TRUE(input->MoveCursor(0, row, 4));
    EXPECT_TRUE(input->MoveCursorHorizontal(0, column, 11));
    EXPECT_EQ(row, 3);
    EXPECT_EQ(column, 0);
    std::int32_t other = 1;
    input->MoveCursor(0, other, 4);
    EXPECT_EQ(other, 0);

    Key(SDL_SCANCODE_UP, false);
    Key(SDL_SCANCODE_RIGHT, false);
    Key(SDL_SCANCODE_DOWN, true);
    Key(SDL_SCANCODE_LEFT, true);
    input->Refresh();
    input->MoveCursor(0, row, 4);
    input->MoveCursorHorizontal(0, column, 11);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 10);
}

TEST_F(Cursor, StaysInRangeForSmallAndOddCounts)
{
    Key(SDL_SCANCODE_DOWN, true);
    input->Refresh();
    // {index before, count, index after}
    const std::int32_t cases[][3] = {{0, 1, 0}, {7, 0, 0}, {3, -5, 0}, {9, 5, 0}, {-4, 5, 1}};
    for (const auto& [before, count, after] : cases) {
        std::int32_t index = before;
        input->MoveCursor(0, index, count);
        EXPECT_EQ(index, after) << before << " of " << count;
    }
    std::int32_t index = 2;
    EXPECT_FALSE(input->MoveCursor(1, index, 5)); // no such device
    EXPECT_EQ(index, 2);

    Key(SDL_SCANCODE_DOWN, false);
    input->Refresh();
    Key(SDL_SCANCODE_DOWN, true); // up and down together cancel out
    Key(SDL_SCANCODE_UP, true);
    input->Refresh();
    EXPECT_FALSE(input->MoveCursor(0, index, 5));
    index = 8;
    input->MoveCursor(0, index, 5);
    EXPECT_EQ(index, 4);
}

TEST_F(Cursor, HeadlessTakesTheScriptedButtonsAtTheNextRefresh)
{
    Lumora::Internal::SetInputHeadless(true);
    Key(SDL_SCANCODE_Z, true); // devices do not count in headless mode
    Lumora::Internal::SetScriptedButtons(Bit(17) | Bit(1));
    EXPECT_FALSE(input->GetState(1, 17)); // not before the Refresh
    EXPECT_EQ(Next(2), Bit(17) | Bit(1));
    Lumora::Internal::SetScriptedButtons(Bit(1) | Bit(31));
    EXPECT_EQ(Next(1), Bit(1) | Bit(31));
    EXPECT_EQ(Mask(2), Bit(31));

    std::int32_t index = 0; // down has been held for 2 updates; the repeat comes at 61
    for (int update = 3; update <= 61; ++update) {
        input->Refresh();
    }
    EXPECT_TRUE(input->MoveCursor(0, index, 3));
    input->Refresh();
    EXPECT_FALSE(input->MoveCursor(0, index, 3));
    Lumora::Internal::SetScriptedButtons(0);
    EXPECT_EQ(Next(), 0u);
}

} // namespace
