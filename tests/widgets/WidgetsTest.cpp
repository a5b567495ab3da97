// The number renderer and the message boxes, read back from the draws they record: digit
// placement, the fade timing of one box and the order in which a queue shows several.
#include "Dialogue.h"
#include "DrawLog.h"
#include "NumberRenderer.h"

#include "CommonGraphics.h"

#include <Lumora/Testing.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Stand-ins for the common textures: only their identity is compared, never dereferenced.
Lumora::ITexture* const kNumbersTexture = reinterpret_cast<Lumora::ITexture*>(0x1000);
Lumora::ITexture* const kDialogueTexture = reinterpret_cast<Lumora::ITexture*>(0x2000);

constexpr std::uint64_t kFrameMicroseconds = 16'667; // one drawn frame at 60 per second

class WidgetTest : public ::testing::Test {
protected:
    WidgetTest()
    {
        Lumora::Testing::EnableHeadless();
        commonGraphics.numbers = kNumbersTexture;
        commonGraphics.dialogue = kDialogueTexture;
    }
    ~WidgetTest() override
    {
        commonGraphics = CommonGraphics{};
        Lumora::Testing::DisableHeadless();
    }

    static void AdvanceMilliseconds(std::uint64_t milliseconds)
    {
        Lumora::Testing::AdvanceClock(milliseconds * 1000);
    }

    // The digits a draw list shows, read from the source rectangles, left to right on screen.
    static std::vector<int> DigitsLeftToRight(std::vector<LoggedDraw> draws)
    {
        std::sort(draws.begin(), draws.end(),
                  [](const LoggedDraw& a, const LoggedDraw& b) { return a.destination.x < b.destination.x; });
        std::vector<int> digits;
        for (const LoggedDraw& draw : draws) {
            digits.push_back(static_cast<int>(draw.source.x / 20.0f));
        }
        return digits;
    }

    DrawLog render;
};

using NumberRendererTest = WidgetTest;

TEST_F(NumberRendererTest, LeftAlignedStartsAtXAndRightAlignedEndsAtX)
{
    NumberRenderer numbers(&render);
    numbers.Draw(1234, 100, 50, 255, false);
    ASSERT_EQ(render.draws.size(), 4u);
    EXPECT_EQ(DigitsLeftToRight(render.draws), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FLOAT_EQ(render.draws[0].destination.x, 160.0f) << "units are drawn first";
    EXPECT_FLOAT_EQ(render.draws[3].destination.x, 100.0f) << "the leading digit starts at x";
    for (const LoggedDraw& draw : render.draws) {
        EXPECT_FLOAT_EQ(draw.destination.y, 50.0f);
        EXPECT_FLOAT_EQ(draw.destination.width, 20.0f);
        EXPECT_FLOAT_EQ(draw.destination.height, 32.0f);
        EXPECT_FLOAT_EQ(draw.source.y, 0.0f);
        EXPECT_FLOAT_EQ(draw.source.height, 32.0f);
        EXPECT_EQ(draw.texture, kNumbersTexture);
        EXPECT_EQ(draw.blendMode, Lumora::IRender::BlendSmooth);
        EXPECT_EQ(draw.argb, 0xFFFFFFFFu);
    }

    render.draws.clear();
    numbers.Draw(1234, 300, 10, 255, true);
    ASSERT_EQ(render.draws.size(), 4u);
    EXPECT_EQ(DigitsLeftToRight(render.draws), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FLOAT_EQ(render.draws[0].destination.x, 300.0f) << "the units digit starts at x";
    EXPECT_FLOAT_EQ(render.draws[3].destination.x, 240.0f);
}

TEST_F(NumberRendererTest, ZeroAndPowersOfTenHaveTheRightNumberOfDigits)
{
    NumberRenderer numbers(&render);
    numbers.Draw(0, 320, 96, 255, false);
    ASSERT_EQ(render.draws.size(), 1u) << "zero is one digit, never an empty field";
    EXPECT_FLOAT_EQ(render.draws[0].source.x, 0.0f);
    EXPECT_FLOAT_EQ(render.draws[0].destination.x, 320.0f);

    render.draws.clear();
    numbers.Draw(9, 0, 0, 255, false);
    EXPECT_EQ(render.draws.size(), 1u);
    render.draws.clear();
    numbers.Draw(10, 0, 0, 255, false);
    EXPECT_EQ(DigitsLeftToRight(render.draws), (std::vector<int>{1, 0}));
    render.draws.clear();
    numbers.Draw(2147483647, 0, 0, 255, false);
    EXPECT_EQ(DigitsLeftToRight(render.draws), (std::vector<int>{2, 1, 4, 7, 4, 8, 3, 6, 4, 7}));
}

TEST_F(NumberRendererTest, OpacityGoesIntoTheColourAlphaOnlyAndNegativesShowTheirMagnitude)
{
    NumberRenderer numbers(&render);
    numbers.Draw(5, 0, 0, 0x80, false);
    numbers.Draw(5, 0, 0, 0, false);
    numbers.Draw(5, 0, 0, 300, false);
    ASSERT_EQ(render.draws.size(), 3u);
    EXPECT_EQ(render.draws[0].argb, 0x80FFFFFFu);
    EXPECT_EQ(render.draws[1].argb, 0x00FFFFFFu);
    EXPECT_EQ(render.draws[2].argb, 0xFFFFFFFFu) << "an opacity above 255 is clamped, not wrapped";

    render.draws.clear();
    numbers.Draw(-42, 0, 0, 255, false);
    EXPECT_EQ(DigitsLeftToRight(render.draws), (std::vector<int>{4, 2}));
    render.draws.clear();
    numbers.Draw(INT32_MIN, 0, 0, 255, false);
    EXPECT_EQ(DigitsLeftToRight(render.draws), (std::vector<int>{2, 1, 4, 7, 4, 8, 3, 6, 4, 8}));
}

using DialogueTest = WidgetTest;

TEST_F(DialogueTest, FadesInFor26FramesHoldsThenFadesOutAndFinishes)
{
    Dialogue box(DialogueKindStageStart, &render, 0);
    box.Draw();
    EXPECT_TRUE(render.draws.empty()) << "an inactive box draws nothing";

    box.Activate();
    for (int frame = 1; frame <= 26; ++frame) {
        box.Draw();
        Lumora::Testing::AdvanceClock(kFrameMicroseconds);
        ASSERT_EQ(render.draws.size(), static_cast<std::size_t>(frame));
        const LoggedDraw& draw = render.draws.back();
        EXPECT_EQ(draw.argb >> 24, static_cast<std::uint32_t>(std::min(frame * 10, 255))) << frame;
        EXPECT_FLOAT_EQ(draw.destination.y, 148.0f + frame) << "slides down one pixel a frame";
    }
    EXPECT_EQ(box.GetAlpha(), 255) << "opaque after 26 frames";
    EXPECT_EQ(box.GetY(), 174);
    const LoggedDraw& first = render.draws.front();
    EXPECT_FLOAT_EQ(first.destination.x, 192.0f);
    EXPECT_FLOAT_EQ(first.destination.width, 256.0f);
    EXPECT_FLOAT_EQ(first.destination.height, 64.0f);
    EXPECT_FLOAT_EQ(first.source.y, 0.0f);
    EXPECT_EQ(first.texture, kDialogueTexture);

    // Held: between one and two seconds after activation nothing moves.
    AdvanceMilliseconds(1500 - 26 * 17);
    box.Draw();
    EXPECT_EQ(box.GetAlpha(), 255);
    EXPECT_EQ(box.GetY(), 174);

    AdvanceMilliseconds(600); // past two seconds
    int fadeOutFrames = 0;
    while (!box.IsFinished() && fadeOutFrames < 100) {
        box.Draw();
        ++fadeOutFrames;
        EXPECT_LE(box.GetAlpha(), 255 - 10 * fadeOutFrames + 10);
    }
    EXPECT_EQ(fadeOutFrames, 26) << "255 down to below zero in steps of 10";
    EXPECT_EQ(box.GetAlpha(), 0);
    EXPECT_EQ(box.GetY(), 174 + 26);
    EXPECT_EQ(render.draws.back().argb, 0x00FFFFFFu) << "the last frame is drawn transparent";
}

TEST_F(DialogueTest, EachKindShowsItsOwnRowAndOnlyTheTurnCountBoxShowsItsValue)
{
    const float rowOfKind[] = {0.0f, 192.0f, 256.0f, 320.0f, 64.0f, 128.0f};
    for (std::int32_t kind = 0; kind < DialogueKindCount; ++kind) {
        render.draws.clear();
        Dialogue box(kind, &render, 37);
        box.Activate();
        box.Draw();
        ASSERT_FALSE(render.draws.empty());
        EXPECT_FLOAT_EQ(render.draws[0].source.y, rowOfKind[kind]) << "kind " << kind;
        EXPECT_EQ(render.draws.size(), kind == DialogueKindTurnCount ? 3u : 1u) << "kind " << kind;
    }

    // The turn count: 143 right of and 16 below the box's corner, fading with it.
    render.draws.clear();
    Dialogue box(DialogueKindTurnCount, &render, 37);
    box.Activate();
    box.Draw();
    box.Draw();
    ASSERT_EQ(render.draws.size(), 6u);
    const LoggedDraw& frame = render.draws[3];
    EXPECT_EQ(DigitsLeftToRight({render.draws[4], render.draws[5]}), (std::vector<int>{3, 7}));
    EXPECT_FLOAT_EQ(render.draws[5].destination.x, frame.destination.x + 143.0f);
    EXPECT_FLOAT_EQ(render.draws[5].destination.y, frame.destination.y + 16.0f);
    EXPECT_EQ(render.draws[5].argb, frame.argb);
    EXPECT_EQ(frame.argb >> 24, 20u);
}

using DialogueQueueTest = WidgetTest;

TEST_F(DialogueQueueTest, ABoxPushedAfterStartingAnEmptyQueueIsShownAndTheQueueEmptiesAgain)
{
    DialogueQueue queue;
    queue.Start();
    queue.Draw();
    auto gaveUp = std::make_shared<Dialogue>(DialogueKindGaveUp, &render, 0);
    queue.Push(gaveUp);
    queue.Draw();
    EXPECT_TRUE(render.draws.empty()) << "activated in this frame, first drawn in the next";
    EXPECT_TRUE(gaveUp->IsActive());
    for (int frame = 0; frame < 400 && !queue.IsEmpty(); ++frame) {
        queue.Draw();
        Lumora::Testing::AdvanceClock(kFrameMicroseconds);
    }
    EXPECT_TRUE(queue.IsEmpty()) << "a stuck box would keep the puzzle from ever being left";
    ASSERT_FALSE(render.draws.empty());
    EXPECT_FLOAT_EQ(render.draws.front().source.y, 320.0f);
}

TEST_F(DialogueQueueTest, AQueueThatIsNeverStartedDrawsNothing)
{
    DialogueQueue queue;
    queue.Push(std::make_shared<Dialogue>(DialogueKindCleared, &render, 0));
    for (int frame = 0; frame < 300; ++frame) {
        queue.Draw();
        Lumora::Testing::AdvanceClock(kFrameMicroseconds);
    }
    EXPECT_TRUE(render.draws.empty());
    EXPECT_FALSE(queue.IsRunning());
    EXPECT_EQ(queue.GetSize(), 1u);

    DialogueQueue empty;
    empty.Start();
    empty.Draw();
    EXPECT_TRUE(empty.IsRunning());
    EXPECT_TRUE(empty.IsEmpty()) << "running and empty: the puzzle may leave at once";
}

TEST_F(DialogueQueueTest, ShowsItsBoxesStrictlyOneAfterAnotherInPushOrder)
{
    DialogueQueue queue;
    auto cleared = std::make_shared<Dialogue>(DialogueKindCleared, &render, 0);
    auto turns = std::make_shared<Dialogue>(DialogueKindTurnCount, &render, 12);
    auto record = std::make_shared<Dialogue>(DialogueKindNewRecord, &render, 0);
    queue.Push(cleared);
    queue.Push(turns);
    queue.Push(record);
    EXPECT_FALSE(turns->IsActive());

    // Long after pushing, starting still gives the first box its full two seconds.
    AdvanceMilliseconds(5000);
    queue.Start();

    // Per frame, the message row drawn (-1 for none); digits are counted apart.
    std::vector<float> rows;
    int framesWithDigits = 0;
    for (int frame = 0; frame < 600 && !queue.IsEmpty(); ++frame) {
        render.draws.clear();
        queue.Draw();
        Lumora::Testing::AdvanceClock(kFrameMicroseconds);
        int boxes = 0;
        for (const LoggedDraw& draw : render.draws) {
            if (draw.texture == kDialogueTexture) {
                rows.push_back(draw.source.y);
                ++boxes;
            } else if (draw.texture == kNumbersTexture) {
                ++framesWithDigits;
            }
        }
        ASSERT_LE(boxes, 1) << "never two boxes in one frame";
    }
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_TRUE(queue.IsRunning());

    // Compress the per-frame rows into runs: each kind once, in push order.
    std::vector<float> runs;
    for (float row : rows) {
        if (runs.empty() || runs.back() != row) {
            runs.push_back(row);
        }
    }
    EXPECT_EQ(runs, (std::vector<float>{192.0f, 256.0f, 64.0f}));
    // Each box lives a little over two seconds: 2 s of clock plus the 26-frame fade-out.
    const auto framesOf = [&](float row) { return std::count(rows.begin(), rows.end(), row); };
    EXPECT_GE(framesOf(192.0f), 120 + 26);
    EXPECT_LE(framesOf(192.0f), 120 + 28);
    EXPECT_EQ(framesWithDigits, 2 * framesOf(256.0f)) << "two digits on every turn-count frame";
    EXPECT_EQ(cleared.use_count(), 1) << "the queue released the boxes it showed";
}

} // namespace
