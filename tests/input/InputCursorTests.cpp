// Cursors: a step on each press, repeats while held, wrapping, and the scripted headless mode.
#include "InputTestEvents.h"

#include <vector>

namespace {

using namespace InputTest;
using Cursor = GameController;

// Holds `key` for `updates` updates and lists the updates (1 = the press) in which a
// vertical cursor over `count` items moved.
std::vector<std::int32_t> MovesWhileHeld(Lumora::IInputController* input, SDL_Scancode key, std::int32_t updates,
                                         std::int32_t count = 1000)
{
    std::vector<std::int32_t> moves;
    std::int32_t index = 500;
    Key(key, true);
    for (std::int32_t update = 1; update <= updates; ++update) {
        input->Refresh();
        if (input->MoveCursor(0, index, count)) {
            moves.push_back(update);
        }
    }
    Key(key, false);
    input->Refresh();
    return moves;
}

TEST_F(Cursor, StepsOnThePressThenRepeatsAfterTheDelayAtTheInterval)
{
    EXPECT_EQ(MovesWhileHeld(input, SDL_SCANCODE_DOWN, 100), (std::vector<std::int32_t>{1, 61, 76, 91}));
    // Let go and pressed again: the delay starts over.
    EXPECT_EQ(MovesWhileHeld(input, SDL_SCANCODE_UP, 61), (std::vector<std::int32_t>{1, 61}));
    EXPECT_EQ(MovesWhileHeld(input, SDL_SCANCODE_UP, 60), (std::vector<std::int32_t>{1}));

    Lumora::IInputController* noRepeat = Lumora::Internal::CreateInputController(0, 0, 15);
    ASSERT_TRUE(noRepeat->SetKeyboardButton(1, 0xD0));
    EXPECT_EQ(MovesWhileHeld(noRepeat, SDL_SCANCODE_DOWN, 200), (std::vector<std::int32_t>{1}));
    noRepeat->Release();
}

TEST_F(Cursor, WrapsAtBothEnds)
{
    std::int32_t index = 0;
    Key(SDL_SCANCODE_UP, true);
    input->Refresh();
    EXPECT_TRUE(input->MoveCursor(0, index, 4));
    EXPECT_EQ(index, 3);
    Key(SDL_SCANCODE_UP, false);
    Key(SDL_SCANCODE_DOWN, true);
    input->Refresh();
    EXPECT_TRUE(input->MoveCursor(0, index, 4));
    EXPECT_EQ(index, 0);

    // The horizontal cursor follows left and right only.
    std::int32_t column = 10;
    EXPECT_FALSE(input->MoveCursorHorizontal(0, column, 11));
    EXPECT_EQ(column, 10);
    Key(SDL_SCANCODE_DOWN, false);
    Key(SDL_SCANCODE_RIGHT, true);
    input->Refresh();
    EXPECT_TRUE(input->MoveCursorHorizontal(0, column, 11));
    EXPECT_EQ(column, 0);
    Key(SDL_SCANCODE_RIGHT, false);
    Key(SDL_SCANCODE_LEFT, true);
    input->Refresh();
    EXPECT_TRUE(input->MoveCursorHorizontal(0, column, 11));
    EXPECT_EQ(column, 10);
}

TEST_F(Cursor, EveryCallInOneUpdateSeesTheSameStep)
{
    std::int32_t row = 0;
    std::int32_t value = 5;
    Key(SDL_SCANCODE_DOWN, true);
    Key(SDL_SCANCODE_RIGHT, true);
    input->Refresh();
    input->MoveCursor(0, row, 3);
    input->MoveCursorHorizontal(0, value, 11);
    std::int32_t other = 0;
    input->MoveCursor(0, other, 3);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(value, 6);
    EXPECT_EQ(other, 1);
}

TEST_F(Cursor, StaysInRangeForSmallAndOddCounts)
{
    Key(SDL_SCANCODE_DOWN, true);
    input->Refresh();
    std::int32_t index = 0;
    EXPECT_FALSE(input->MoveCursor(0, index, 1));
    EXPECT_EQ(index, 0);
    index = 7;
    EXPECT_TRUE(input->MoveCursor(0, index, 0));
    EXPECT_EQ(index, 0);
    index = 3;
    input->MoveCursor(0, index, -5);
    EXPECT_EQ(index, 0);
    index = 9; // the list shrank under the cursor: to its last item, then the step wraps
    input->MoveCursor(0, index, 5);
    EXPECT_EQ(index, 0);
    index = -4;
    input->MoveCursor(0, index, 5);
    EXPECT_EQ(index, 1);

    Key(SDL_SCANCODE_DOWN, false);
    input->Refresh();
    Key(SDL_SCANCODE_DOWN, true); // up and down together: no move, but still kept in range
    Key(SDL_SCANCODE_UP, true);
    input->Refresh();
    index = 2;
    EXPECT_FALSE(input->MoveCursor(0, index, 5));
    EXPECT_EQ(index, 2);
    index = 8;
    input->MoveCursor(0, index, 5);
    EXPECT_EQ(index, 4);

    index = 2;
    EXPECT_FALSE(input->MoveCursor(1, index, 5));
    EXPECT_EQ(index, 2);
}

TEST_F(Cursor, HeadlessTakesTheScriptedButtonsAtTheNextRefresh)
{
    Lumora::Internal::SetInputHeadless(true);
    Key(SDL_SCANCODE_Z, true); // devices do not count in headless mode
    Lumora::Internal::SetScriptedButtons(Bit(17) | Bit(1));
    EXPECT_FALSE(input->GetState(1, 17)); // not before the Refresh
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(17) | Bit(1));
    EXPECT_EQ(Mask(2), Bit(17) | Bit(1));

    Lumora::Internal::SetScriptedButtons(Bit(1) | Bit(31));
    input->Refresh();
    EXPECT_EQ(Mask(1), Bit(1) | Bit(31));
    EXPECT_EQ(Mask(2), Bit(31));

    // The cursor repeats on the scripted down button like on a key: 60 updates held so far
    // counting this one makes the next update the first repeat.
    std::int32_t index = 0;
    for (int update = 3; update <= 61; ++update) {
        input->Refresh();
    }
    EXPECT_TRUE(input->MoveCursor(0, index, 3));
    input->Refresh();
    EXPECT_FALSE(input->MoveCursor(0, index, 3));
    EXPECT_EQ(index, 1);

    Lumora::Internal::SetScriptedButtons(0);
    input->Refresh();
    EXPECT_EQ(Mask(1), 0u);
}

} // namespace
