// Where the logical screen lands in the window.
#include "Backend.h"

#include <gtest/gtest.h>

#include <string>

using Lumora::Internal::ComputeLetterbox;

namespace {

void ExpectView(int windowWidth, int windowHeight, int x, int y, int width, int height)
{
    const auto view = ComputeLetterbox(windowWidth, windowHeight, 640, 480);
    EXPECT_EQ(view.x, x) << windowWidth << "x" << windowHeight;
    EXPECT_EQ(view.y, y) << windowWidth << "x" << windowHeight;
    EXPECT_EQ(view.width, width) << windowWidth << "x" << windowHeight;
    EXPECT_EQ(view.height, height) << windowWidth << "x" << windowHeight;
}

TEST(Letterbox, WholeScalesWhereTheyFitCentredWithBars)
{
    ExpectView(640, 480, 0, 0, 640, 480);
    ExpectView(1280, 960, 0, 0, 1280, 960);
    ExpectView(1920, 1080, 320, 60, 1280, 960);  // 2x; 3x would need 1440 rows
    ExpectView(1279, 959, 319, 239, 640, 480);   // just short of 2x stays at 1x
    ExpectView(3840, 2160, 640, 120, 2560, 1920);  // 4x
}

TEST(Letterbox, SmallerWindowsShrinkWithTheAspectKept)
{
    ExpectView(320, 480, 0, 120, 320, 240);
    ExpectView(640, 240, 160, 0, 320, 240);
    ExpectView(1, 1, 0, 0, 1, 1);
}

TEST(Letterbox, EmptyWindowOrScreenGivesNothing)
{
    ExpectView(0, 480, 0, 0, 0, 0);
    const auto view = ComputeLetterbox(640, 480, 0, 0);
    EXPECT_EQ(view.width, 0);
}

// A shown window draws its frame at its own resolution from 1.5x up, whole or not; below
// that the 640 x 480 screen is drawn and letterboxed as above.
TEST(RenderScale, FromOneAndAHalfTheFrameIsDrawnAtTheWindowsResolution)
{
    struct Case {
        int windowWidth, windowHeight;
        float scale;
        int width, height;
    };
    const Case cases[] = {
        {640, 480, 1.0f, 640, 480},     {959, 719, 1.0f, 640, 480},   // just short of 1.5x
        {960, 720, 1.5f, 960, 720},     {1280, 960, 2.0f, 1280, 960},
        {1920, 1080, 2.25f, 1440, 1080}, // fullscreen: the height fills, bars left and right
        {1280, 1200, 2.0f, 1280, 960},  // the width limits
        {320, 240, 1.0f, 640, 480},     // smaller windows shrink the 1x frame when shown
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.windowWidth) + " x " + std::to_string(c.windowHeight));
        const auto scale = Lumora::Internal::ComputeRenderScale(c.windowWidth, c.windowHeight, 640, 480);
        EXPECT_FLOAT_EQ(scale.scale, c.scale);
        EXPECT_EQ(scale.width, c.width);
        EXPECT_EQ(scale.height, c.height);
    }
}

} // namespace
