// Where the logical screen lands in the window.
#include "Backend.h"

#include <gtest/gtest.h>

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

} // namespace
