// The generated pictures, decoded as the engine decodes them, against what the screens
// draw from them: sizes, atlas cells, fill texels and transparent surroundings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "PictureBook.h"
#include "PictureImage.h"

namespace {

struct Expected {
    const char* path;
    int width, height;
};

// Every picture a screen loads, with the size its drawing rectangles need.
const Expected kScreenPictures[] = {
    {"graphic/sprite/common__soft_circle_640x480.tga", 640, 480},
    {"graphic/sprite/dialogue.png", 256, 384},
    {"graphic/sprite/numbers_32_azuki.png", 200, 32},
    {"graphic/sprite/background_panel_rimeko.png", 128, 128},
    {"graphic/sprite/nowloading_back.png", 640, 480},
    {"graphic/sprite/publisherlogo.png", 400, 36},
    {"graphic/sprite/circle_logo_kobokan.png", 512, 64},
    {"graphic/sprite/title_menu_stick_tr.png", 256, 320},
    {"graphic/sprite/title_menu_tip_text_tr.png", 660, 768},
    {"graphic/sprite/title_menu_make_tr.png", 330, 320},
    {"graphic/sprite/puzzle_system_panel.png", 640, 100},
    {"graphic/sprite/puzzle_solver.png", 256, 384},
    {"graphic/sprite/puzzle_replay.png", 256, 288},
    {"graphic/sprite/puzzle_logo_menu_solution.png", 256, 32},
    {"graphic/sprite/puzzle_logo_frog.png", 256, 32},
    {"graphic/sprite/puzzle_logo_turn.png", 256, 32},
    {"graphic/sprite/puzzle_logo_menu_title.png", 256, 32},
    {"graphic/sprite/puzzle_logo_menu_close.png", 256, 32},
    {"graphic/sprite/puzzle_logo_menu_retry.png", 256, 32},
    {"graphic/sprite/puzzle_logo_menu_giveup.png", 256, 32},
    {"graphic/sprite/puzzle_logo_menu_stageview.png", 256, 32},
    {"graphic/sprite/puzzle_logo_menu_camera.png", 256, 32},
    {"graphic/sprite/puzzle_logo_menu_keep.png", 256, 32},
    {"graphic/sprite/puzzle_logo_menu_camera_auto.png", 256, 32},
    {"graphic/sprite/puzzle_logo_menu_camera_topview.png", 256, 32},
    {"graphic/sprite/logo_confirmation.png", 256, 32},
    {"graphic/sprite/logo_yes.png", 256, 32},
    {"graphic/sprite/logo_no.png", 256, 32},
    {"graphic/sprite/mapchip/mapchips.png", 32, 32},
    {"graphic/sprite/stage_select_title.png", 256, 64},
    {"graphic/sprite/stageselect_logo_bestrecord.png", 128, 32},
    {"graphic/sprite/stageselect_logo_frog.png", 128, 32},
    {"graphic/sprite/stageselect_logo_width.png", 128, 32},
    {"graphic/sprite/stageselect_logo_height.png", 128, 32},
    {"graphic/sprite/stageselect_logo_fewest.png", 128, 32},
    {"graphic/sprite/stageselect_marks.png", 96, 32},
    {"graphic/sprite/config_menu.png", 256, 256},
};

PictureImage Load(const std::string& relative)
{
    PictureImage image;
    EXPECT_TRUE(image.Load(ContentPath(relative))) << relative << " does not decode";
    return image;
}

// A label drawn over other art: something in it, nothing on its outer edge, so that
// neither a neighbouring atlas cell nor a hard rectangle shows around it.
void ExpectFloatingLabel(const PictureImage& image, int x, int y, int w, int h, const std::string& what)
{
    EXPECT_GT(image.CoveredShare(x, y, w, h), 0.3) << what << " is nearly empty";
    EXPECT_EQ(image.BorderAlpha(x, y, w, h), 0) << what << " touches the edge of its cell";
}

}  // namespace

TEST(PictureFiles, EveryPictureTheScreensDrawDecodesAtItsSize)
{
    for (const Expected& expected : kScreenPictures) {
        PictureImage image;
        ASSERT_TRUE(image.Load(ContentPath(expected.path))) << expected.path;
        EXPECT_EQ(image.width, expected.width) << expected.path;
        EXPECT_EQ(image.height, expected.height) << expected.path;
    }
}

TEST(PictureFiles, TheDefinitionsMakeExactlyThePicturesTheScreensLoad)
{
    picturegen::PictureBook book;
    std::string error;
    ASSERT_TRUE(picturegen::LoadPictureBook(TOMARUGI_PICTURE_DEFINITIONS, &book, &error)) << error;
    std::set<std::string> defined, wanted;
    for (const auto& picture : book.pictures) defined.insert(picture.path);
    for (const Expected& expected : kScreenPictures) wanted.insert(expected.path);
    EXPECT_EQ(defined, wanted);
}

// Every picture, the ones added after this test included, also comes at twice its size from
// the same definition: the 2x picture averaged over 2 x 2 blocks is the 1x picture again,
// up to edge antialiasing and text hinting (premultiplied, so colour under full transparency
// does not count). A hand-made, shifted or merely enlarged-and-blurred 2x picture fails:
// the block average of an enlarged copy matches, so sharpness is checked too: the 2x picture
// has steps between neighbours that the 1x one, enlarged, cannot have.
TEST(PictureFiles, EachPictureComesAtTwiceItsSizeFromTheSameDefinition)
{
    picturegen::PictureBook book;
    std::string error;
    ASSERT_TRUE(picturegen::LoadPictureBook(TOMARUGI_PICTURE_DEFINITIONS, &book, &error)) << error;
    ASSERT_FALSE(book.pictures.empty());
    for (const auto& picture : book.pictures) {
        SCOPED_TRACE(picture.path);
        PictureImage small, large;
        ASSERT_TRUE(small.Load(ContentPath(picture.path)));
        ASSERT_TRUE(large.Load(ContentPath(picturegen::HighResolutionPath(picture.path))));
        ASSERT_EQ(large.width, small.width * 2);
        ASSERT_EQ(large.height, small.height * 2);
        const auto premultiplied = [](const PictureImage& image, int x, int y, int channel) {
            const std::uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
            return channel == 3 ? p[3] : p[channel] * p[3] / 255.0;
        };
        double difference = 0;
        long long samples = 0;
        long long sharpSteps = 0; // 2x neighbours inside one enlarged 1x texel that differ
        for (int y = 0; y < small.height; ++y)
            for (int x = 0; x < small.width; ++x)
                for (int channel = 0; channel < 4; ++channel) {
                    double block = 0;
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2; ++dx) block += premultiplied(large, 2 * x + dx, 2 * y + dy, channel);
                    difference += std::abs(block / 4 - premultiplied(small, x, y, channel));
                    ++samples;
                    if (channel == 3 && std::abs(premultiplied(large, 2 * x, 2 * y, 3) - premultiplied(large, 2 * x + 1, 2 * y, 3)) > 64)
                        ++sharpSteps;
                }
        // Small hinted text differs most (up to about 10 in the stage select captions); a
        // painter that leaves option lengths unscaled gives 17 to 30 in most pictures.
        EXPECT_LT(difference / static_cast<double>(samples), 12.0) << "mean difference per channel, of 255";
        // Pictures with any edge at all show some of it inside a 1x texel at 2x.
        if (small.CoveredShare(0, 0, small.width, small.height, 255) < 1.0) {
            EXPECT_GT(sharpSteps, 0) << "the 2x picture is no sharper than the 1x one enlarged";
        }
    }
}

TEST(SoftCircle, FillTexelsAreOpaqueDistinctAndStableUnderFiltering)
{
    const PictureImage image = Load("graphic/sprite/common__soft_circle_640x480.tga");
    ASSERT_EQ(image.width, 640);
    for (int x : {320, 120}) {
        EXPECT_EQ(image.Alpha(x, 0), 255) << "texel (" << x << ", 0)";
        // A one-texel source sampled with bilinear filtering also reads its neighbours.
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = 0; dy <= 1; ++dy) EXPECT_EQ(image.Rgba(x + dx, dy), image.Rgba(x, 0)) << "around (" << x << ", 0)";
    }
    EXPECT_NE(image.Rgba(320, 0), image.Rgba(120, 0)) << "panels would vanish into the plain background";
    // Stage names are drawn in black on the panel colour (the highlight bar).
    EXPECT_GT(image.Luminance(120, 0), 0.75);
    EXPECT_GT(image.Luminance(320, 0), 0.75);
    EXPECT_EQ(image.CoveredShare(0, 0, 640, 480, 255), 1.0) << "the circle picture itself is opaque";
}

TEST(LabelRows, TitleItemsFillTheirOwnRowsInMenuOrder)
{
    const PictureImage image = Load("graphic/sprite/title_menu_stick_tr.png");
    ASSERT_EQ(image.height, 320);
    for (int row = 0; row < 5; ++row) ExpectFloatingLabel(image, 0, row * 64, 256, 64, "title item " + std::to_string(row));
}

TEST(LabelRows, DialogueRowsAreSeparateBoxesAtTheirSourceY)
{
    const PictureImage image = Load("graphic/sprite/dialogue.png");
    ASSERT_EQ(image.height, 384);
    for (int row = 0; row < 6; ++row) ExpectFloatingLabel(image, 0, row * 64, 256, 64, "dialogue row at y " + std::to_string(row * 64));
}

TEST(LabelRows, TheTurnCountBoxKeepsItsNumberAreaPlain)
{
    // The count is drawn from (143, 16) in the row at y 256, up to five digits of 20 x 32.
    // Behind it the box is one light colour, so the digits read.
    const PictureImage image = Load("graphic/sprite/dialogue.png");
    ASSERT_EQ(image.height, 384);
    for (int y = 256 + 16; y < 256 + 48; ++y) {
        for (int x = 143; x < 143 + 5 * 20 - 4; ++x) {
            EXPECT_EQ(image.Alpha(x, y), 255);
            EXPECT_GT(image.Luminance(x, y), 0.85) << "at (" << x << ", " << y << ")";
        }
    }
}

TEST(LabelRows, MenuCaptionAndTitlePicturesFloatOnTransparency)
{
    for (const Expected& expected : kScreenPictures) {
        const std::string path = expected.path;
        const bool logo = path.find("logo_kobokan") != std::string::npos || path.find("publisherlogo") != std::string::npos;
        const bool label = !logo && (path.find("logo") != std::string::npos || path.find("title.png") != std::string::npos);
        if (!label && !logo) continue;
        const PictureImage image = Load(path);
        EXPECT_EQ(image.BorderAlpha(0, 0, image.width, image.height), 0) << path;
        EXPECT_GT(image.CoveredShare(0, 0, image.width, image.height), logo ? 0.1 : 0.3) << path;
    }
}

TEST(Digits, EachCellHoldsItsOwnDigitClearOfItsNeighbours)
{
    const PictureImage image = Load("graphic/sprite/numbers_32_azuki.png");
    ASSERT_GE(image.width, 200);
    std::set<std::vector<std::uint8_t>> seen;
    for (int digit = 0; digit < 10; ++digit) {
        const int x = digit * 20;
        EXPECT_GT(image.CoveredShare(x, 0, 20, 32), 0.1) << "digit " << digit;
        for (int y = 0; y < 32; ++y) {
            EXPECT_EQ(image.Alpha(x, y), 0) << "digit " << digit << " bleeds left";
            EXPECT_EQ(image.Alpha(x + 19, y), 0) << "digit " << digit << " bleeds right";
        }
        std::vector<std::uint8_t> alpha;
        for (int y = 0; y < 32; ++y)
            for (int column = 0; column < 20; ++column) alpha.push_back(image.Alpha(x + column, y));
        seen.insert(alpha);
    }
    EXPECT_EQ(seen.size(), 10u) << "two digit cells look the same";
}

// The number renderer sets digits 20 pixels apart, cell after cell: "25" must read as one
// number, so the ink of two neighbouring digits (outline included) is at most 5 pixels
// apart, the most a narrow "3" beside a "5" leaves when every digit fills its cell (it was
// 7 to 10 when the digits sat small in their cells), in the 1x picture and about twice as
// far in the 2x one (its finer edges lose the half pixel of fringe that 1x ink gains).
// "1" is narrow by nature and only has to stay inside its cell.
TEST(Digits, NeighbouringDigitsSitCloseEnoughToReadAsOneNumber)
{
    for (const int scale : {1, 2}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const PictureImage image = Load(scale == 1 ? "graphic/sprite/numbers_32_azuki.png"
                                                   : "graphic/sprite/numbers_32_azuki@2x.png");
        const int cell = 20 * scale;
        ASSERT_EQ(image.width, 10 * cell);
        ASSERT_EQ(image.height, 32 * scale);
        int left[10], right[10];
        for (int digit = 0; digit < 10; ++digit) {
            left[digit] = cell;
            right[digit] = -1;
            for (int column = 0; column < cell; ++column)
                for (int y = 0; y < image.height; ++y)
                    if (image.Alpha(digit * cell + column, y) >= 16) {
                        left[digit] = std::min(left[digit], column);
                        right[digit] = std::max(right[digit], column);
                    }
            ASSERT_GE(right[digit], left[digit]) << "digit " << digit << " is empty";
        }
        for (int a = 0; a < 10; ++a)
            for (int b = 0; b < 10; ++b) {
                if (a == 1 || b == 1) continue;
                const int gap = cell - 1 - right[a] + left[b];
                EXPECT_LE(gap, scale == 1 ? 5 : 11) << "\"" << a << b << "\" reads as \"" << a << " " << b << "\" (" << gap << " px apart)";
                EXPECT_GE(gap, 1) << "\"" << a << b << "\" run into each other";
            }
    }
}

TEST(TipCells, EachTipShowsWithinTheScreenAtItsItem)
{
    // A tip is drawn from x 335, so only its left 305 px are on the screen; the quit tip
    // is drawn from y 402, so only its top 78 px are.
    const PictureImage image = Load("graphic/sprite/title_menu_tip_text_tr.png");
    ASSERT_EQ(image.width, 660);
    ASSERT_EQ(image.height, 768);
    const int cells[5][2] = {{0, 0}, {330, 0}, {0, 256}, {330, 256}, {0, 512}};
    for (int item = 0; item < 5; ++item) {
        const int cx = cells[item][0], cy = cells[item][1];
        EXPECT_GT(image.CoveredShare(cx, cy, 305, 78), 0.5) << "tip " << item;
        EXPECT_EQ(image.CoveredShare(cx + 305, cy, 25, 256, 1), 0.0) << "tip " << item << " runs off the screen";
        if (item == 3) {
            EXPECT_EQ(image.CoveredShare(cx, cy + 78, 330, 256 - 78, 1), 0.0) << "the quit tip runs below the screen";
        }
    }
}

TEST(MapChips, FloorIsSolidAndObjectsLetTheFloorShowAroundThem)
{
    const PictureImage image = Load("graphic/sprite/mapchip/mapchips.png");
    ASSERT_EQ(image.width, 32);
    EXPECT_EQ(image.CoveredShare(0, 0, 16, 16, 255), 1.0) << "floor";
    const struct {
        int x, y;
        const char* name;
    } objects[] = {{16, 0, "frog"}, {0, 16, "player"}, {16, 16, "icicle"}};
    for (const auto& chip : objects) {
        const double share = image.CoveredShare(chip.x, chip.y, 16, 16);
        EXPECT_GT(share, 0.25) << chip.name;
        EXPECT_LT(share, 0.95) << chip.name;
    }
}

TEST(ConfigAtlas, EveryElementSitsInItsRectangle)
{
    const PictureImage image = Load("graphic/sprite/config_menu.png");
    ASSERT_GE(image.width, 256);
    ASSERT_GE(image.height, 224);
    ExpectFloatingLabel(image, 0, 0, 256, 64, "title");
    ExpectFloatingLabel(image, 0, 64, 256, 32, "music label");
    ExpectFloatingLabel(image, 0, 96, 256, 32, "sound-effect label");
    ExpectFloatingLabel(image, 0, 128, 256, 32, "stage map label");
    EXPECT_EQ(image.CoveredShare(0, 160, 10, 3, 255), 1.0) << "slider bar";
    EXPECT_EQ(image.CoveredShare(10, 160, 246, 3, 1), 0.0) << "beside the slider bar";
    EXPECT_EQ(image.CoveredShare(0, 163, 256, 1, 1), 0.0) << "between bar and knob";
    EXPECT_GT(image.CoveredShare(0, 164, 32, 28), 0.3) << "knob";
    EXPECT_EQ(image.BorderAlpha(0, 164, 32, 28), 0) << "knob edge";
    // The marker stands at x 0 (off) or 96 (on) over the choices; each points at a mark.
    EXPECT_GT(image.CoveredShare(8, 200, 16, 16), 0.5) << "off mark";
    EXPECT_GT(image.CoveredShare(104, 200, 16, 16), 0.5) << "on mark";
}

TEST(FullScreenPictures, LoadingPictureIsOpaqueAndDarkUnderTheDots)
{
    const PictureImage image = Load("graphic/sprite/nowloading_back.png");
    ASSERT_EQ(image.width, 640);
    EXPECT_EQ(image.CoveredShare(0, 0, 640, 480, 255), 1.0);
    // The engine draws white dots in its 32 px font from (222, 56).
    double brightest = 0;
    for (int y = 56; y < 88; ++y)
        for (int x = 222; x < 300; ++x) brightest = std::max(brightest, image.Luminance(x, y));
    EXPECT_LT(brightest, 0.45);
}

TEST(FullScreenPictures, BackgroundTileIsOpaqueAndSeamless)
{
    const PictureImage image = Load("graphic/sprite/background_panel_rimeko.png");
    ASSERT_EQ(image.width, 128);
    EXPECT_EQ(image.CoveredShare(0, 0, 128, 128, 255), 1.0);
    // Across the wrap-around seam the picture changes no more than across its middle.
    auto seam = [&](int x0, int y0, int x1, int y1, bool vertical) {
        double total = 0;
        for (int i = 0; i < 128; ++i) {
            const int ax = vertical ? x0 : i, ay = vertical ? i : y0, bx = vertical ? x1 : i, by = vertical ? i : y1;
            total += std::fabs(image.Luminance(ax, ay) - image.Luminance(bx, by));
        }
        return total / 128;
    };
    EXPECT_LT(seam(127, 0, 0, 0, true), seam(63, 0, 64, 0, true) + 0.02);
    EXPECT_LT(seam(0, 127, 0, 0, false), seam(0, 63, 0, 64, false) + 0.02);
}
