// The drawing kit: shapes cover the area they should, edges are anti-aliased, masks grow
// and soften as asked, and compositing follows the "over" rule.
#include <gtest/gtest.h>

#include <cmath>

#include "Raster.h"

using picturegen::Canvas;
using picturegen::Colour;
using picturegen::Mask;
using picturegen::Paint;

namespace {

double Area(const Mask& mask)
{
    double total = 0;
    for (int y = 0; y < mask.Height(); ++y)
        for (int x = 0; x < mask.Width(); ++x) total += mask.At(x, y);
    return total;
}

constexpr double kPi = 3.14159265358979;

}  // namespace

TEST(Shapes, RoundedRectangleCoversItsAreaWithSoftEdges)
{
    Mask mask(64, 64);
    mask.AddRoundedRectangle(10, 10, 40, 20, 6);
    EXPECT_NEAR(Area(mask), 40 * 20 - (4 - kPi) * 36, 4.0);
    EXPECT_FLOAT_EQ(mask.At(30, 20), 1.0f);
    EXPECT_FLOAT_EQ(mask.At(5, 20), 0.0f);
    // An edge through the middle of a pixel column covers half of it.
    Mask half(16, 16);
    half.AddRoundedRectangle(2, 2, 6.5f, 10, 0);
    EXPECT_NEAR(half.At(8, 6), 0.5f, 0.01f);
    // A radius larger than the box makes a circle, not a broken shape.
    Mask circle(32, 32);
    circle.AddRoundedRectangle(4, 4, 20, 20, 50);
    EXPECT_NEAR(Area(circle), kPi * 100, 4.0);
}

TEST(Shapes, EllipsePolygonAndLineCoverTheirAreas)
{
    Mask ellipse(64, 64);
    ellipse.AddEllipse(32, 32, 20, 10);
    EXPECT_NEAR(Area(ellipse), kPi * 200, kPi * 200 * 0.02);

    Mask triangle(64, 64);
    triangle.AddPolygon({{0, 0}, {40, 0}, {0, 40}});
    EXPECT_NEAR(Area(triangle), 800, 16);

    // Corners in either winding order fill the same area; a star's middle stays filled.
    Mask clockwise(64, 64), counter(64, 64);
    clockwise.AddPolygon({{10, 10}, {50, 10}, {50, 50}, {10, 50}});
    counter.AddPolygon({{10, 10}, {10, 50}, {50, 50}, {50, 10}});
    EXPECT_NEAR(Area(clockwise), 1600, 1);
    EXPECT_NEAR(Area(counter), 1600, 1);
    Mask star(64, 64);
    star.AddPolygon({{32, 2}, {50, 60}, {2, 22}, {62, 22}, {14, 60}});
    EXPECT_FLOAT_EQ(star.At(32, 34), 1.0f);

    Mask line(64, 64);
    line.AddLine({10, 32}, {50, 32}, 4);
    EXPECT_NEAR(Area(line), 40 * 4 + kPi * 4, 3);

    Mask offCanvas(16, 16);
    offCanvas.AddRoundedRectangle(-100, -100, 50, 50, 5);
    offCanvas.AddPolygon({{-5, -5}, {-1, -5}, {-3, -1}});
    EXPECT_EQ(Area(offCanvas), 0.0);
}

TEST(MaskEffects, DilateGrowsAndBlurSpreadsWithoutLosingCoverage)
{
    Mask dot(64, 64);
    dot.AddRoundedRectangle(22, 22, 20, 20, 10);
    const Mask grown = dot.Dilated(3);
    EXPECT_NEAR(Area(grown), kPi * 13 * 13, kPi * 13 * 13 * 0.04);
    EXPECT_GT(grown.At(32, 20), 0.9f);
    EXPECT_FLOAT_EQ(grown.At(32, 32), 1.0f);

    const Mask soft = dot.Blurred(6);
    EXPECT_NEAR(Area(soft), Area(dot), Area(dot) * 0.01);
    EXPECT_LT(soft.At(32, 32), 1.0001f);
    EXPECT_GT(soft.At(32, 19), 0.0f);
    EXPECT_EQ(Area(dot.Dilated(0)), Area(dot));

    Mask plate(32, 32), upper(32, 32);
    plate.AddRoundedRectangle(0, 0, 32, 32, 0);
    upper.AddRoundedRectangle(0, 0, 32, 10, 0);
    plate.Intersect(upper);
    EXPECT_NEAR(Area(plate), 320, 0.5);
}

TEST(Compositing, OverRuleAndGradients)
{
    Canvas canvas(4, 4);
    Mask all(4, 4);
    all.AddRoundedRectangle(0, 0, 4, 4, 0);
    canvas.Composite(all, Paint::Solid({0, 0, 0, 1}));
    canvas.Composite(all, Paint::Solid({1, 1, 1, 1}), 0.5f);
    const Colour grey = canvas.PixelAt(1, 1);
    EXPECT_NEAR(grey.red, 0.5f, 1e-4);
    EXPECT_NEAR(grey.alpha, 1.0f, 1e-4);

    // A transparent paint leaves what is there.
    canvas.Composite(all, Paint::Solid({1, 0, 0, 0}));
    EXPECT_NEAR(canvas.PixelAt(1, 1).red, 0.5f, 1e-4);

    // Half-transparent over nothing keeps its colour and its alpha.
    Canvas empty(2, 2);
    Mask one(2, 2);
    one.AddRoundedRectangle(0, 0, 2, 2, 0);
    empty.Composite(one, Paint::Solid({0.2f, 0.4f, 0.6f, 0.5f}));
    EXPECT_NEAR(empty.PixelAt(0, 0).green, 0.4f, 1e-4);
    EXPECT_NEAR(empty.PixelAt(0, 0).alpha, 0.5f, 1e-4);

    const Paint vertical = Paint::VerticalGradient({0, 0, 0, 1}, {1, 1, 1, 1}, 10, 20);
    EXPECT_NEAR(vertical.At(0, 5).red, 0.0f, 1e-6);
    EXPECT_NEAR(vertical.At(0, 15).red, 0.5f, 1e-6);
    EXPECT_NEAR(vertical.At(0, 25).red, 1.0f, 1e-6);

    const Paint radial = Paint::Radial(0, 0, {{10, {1, 0, 0, 1}}, {20, {1, 0, 0, 1}}, {30, {0, 0, 1, 1}}});
    EXPECT_NEAR(radial.At(15, 0).red, 1.0f, 1e-6);
    EXPECT_NEAR(radial.At(0, 25).blue, 0.5f, 1e-6);
    EXPECT_NEAR(radial.At(100, 100).blue, 1.0f, 1e-6);
}

TEST(Compositing, FadingToTransparentDoesNotDarken)
{
    // Halfway between opaque white and transparent black is half-transparent white.
    const Colour mid = picturegen::Mix({1, 1, 1, 1}, {0, 0, 0, 0}, 0.5f);
    EXPECT_NEAR(mid.red, 1.0f, 1e-5);
    EXPECT_NEAR(mid.alpha, 0.5f, 1e-5);
}

TEST(Output, EmptyTexelsBesideArtTakeItsColourButStayTransparent)
{
    Canvas canvas(8, 1);
    Mask left(8, 1);
    left.AddRoundedRectangle(0, 0, 2, 1, 0);
    canvas.Composite(left, Paint::Solid({1, 0, 0, 1}));
    const auto bytes = canvas.ToRgba8();
    EXPECT_EQ(bytes[0], 255);
    EXPECT_EQ(bytes[3], 255);
    // Texel 2 is empty: red colour so that filtering fades red, not black; alpha 0.
    EXPECT_EQ(bytes[2 * 4 + 0], 255);
    EXPECT_EQ(bytes[2 * 4 + 3], 0);
    EXPECT_EQ(bytes[7 * 4 + 3], 0);
}

TEST(Colours, HexColoursParseAndMalformedOnesAreRefused)
{
    Colour colour;
    ASSERT_TRUE(picturegen::ParseColour("#FF8000", &colour));
    EXPECT_FLOAT_EQ(colour.red, 1.0f);
    EXPECT_NEAR(colour.green, 128 / 255.0f, 1e-6);
    EXPECT_FLOAT_EQ(colour.alpha, 1.0f);
    ASSERT_TRUE(picturegen::ParseColour("#00000080", &colour));
    EXPECT_NEAR(colour.alpha, 128 / 255.0f, 1e-6);
    for (const char* bad : {"FF8000", "#FF80", "#GG0000", "#FF800000FF", ""}) EXPECT_FALSE(picturegen::ParseColour(bad, &colour)) << bad;
}
