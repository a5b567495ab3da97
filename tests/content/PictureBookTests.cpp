// Picture definitions: what the language accepts, and that mistakes are reported with
// their file and line instead of silently changing a picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "PictureBook.h"
#include "PicturePainter.h"
#include "TextSetter.h"

using picturegen::Canvas;
using picturegen::PictureBook;
using picturegen::PicturePainter;
using picturegen::TextSetter;

namespace {

bool Parse(const std::string& text, PictureBook* book, std::string* error)
{
    return picturegen::ParsePictureDefinitions(text, "test.pic", "", book, error);
}

// Parses and paints the first picture; the error text when either fails.
std::string PaintError(const std::string& text)
{
    PictureBook book;
    std::string error;
    if (!Parse("font main /usr/share/fonts/opentype/ipaexfont-gothic/ipaexg.ttf\n" + text, &book, &error)) return error;
    TextSetter setter;
    PicturePainter painter(book, setter);
    if (!painter.LoadFonts(&error)) return error;
    Canvas canvas(book.pictures.at(0).width, book.pictures.at(0).height);
    return painter.Paint(book.pictures.at(0), &canvas, &error) ? "" : error;
}

}  // namespace

TEST(Definitions, ReadPaletteStylesPicturesAndTheirCommands)
{
    PictureBook book;
    std::string error;
    ASSERT_TRUE(Parse("# palette\n"
                      "colour ice #A6D8F2\n"
                      "style pill plate=ice..#FFFFFF pad=10\n"
                      "picture graphic/sprite/a.png 256 32\n"
                      "  label 0 0 256 32 pill \"はい = yes\" \"Yes\" size=18\n"
                      "picture graphic/sprite/tile.png 128 128 tiling\n"
                      "  background ice\n",
        &book, &error))
        << error;
    ASSERT_EQ(book.pictures.size(), 2u);
    const auto& label = book.pictures[0].commands.at(0);
    EXPECT_EQ(label.name, "label");
    ASSERT_EQ(label.arguments.size(), 7u);
    EXPECT_EQ(label.arguments[5], "はい = yes") << "a quoted text with '=' is text, not an option";
    EXPECT_EQ(label.options.at("size"), "18");
    EXPECT_EQ(label.line, 5);
    EXPECT_EQ(book.styles.at("pill").at("plate"), "ice..#FFFFFF");
    EXPECT_TRUE(book.pictures[1].tiling);
    picturegen::Colour colour;
    EXPECT_TRUE(book.LookUpColour("ice", &colour));
    EXPECT_TRUE(book.LookUpColour("#102030", &colour));
    EXPECT_FALSE(book.LookUpColour("fire", &colour));
}

TEST(Definitions, MistakesAreRefusedWithTheirLine)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"rect 0 0 1 1\n", "test.pic:1:"},
        {"picture a.png 0 32\n", "size"},
        {"picture a.png 32 32x\n", "size"},
        {"picture ../escape.png 8 8\n", "inside the tree"},
        {"picture /tmp/abs.png 8 8\n", "inside the tree"},
        {"picture a.png 8 8\npicture a.png 8 8\n", "test.pic:2: picture a.png is defined twice"},
        {"colour x #12345\n", "bad colour"},
        {"picture a.png 8 8\n  text 0 0 \"open\n", "unterminated quote"},
        {"picture a.png 8 8 wrapped\n", "unknown picture flag"},
    };
    for (const auto& c : cases) {
        PictureBook book;
        std::string error;
        EXPECT_FALSE(Parse(c.text, &book, &error)) << c.text;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.text << " gave: " << error;
    }
}

TEST(Definitions, IncludesReadOtherFilesButNeverLoop)
{
    const auto folder = std::filesystem::temp_directory_path() / ("picturebook-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "main.pic") << "include palette.pic\npicture p.png 4 4\n  background warm\n";
    std::ofstream(folder / "palette.pic") << "colour warm #FFA447\n";
    std::ofstream(folder / "loop.pic") << "include loop.pic\n";
    PictureBook book;
    std::string error;
    EXPECT_TRUE(picturegen::LoadPictureBook((folder / "main.pic").string(), &book, &error)) << error;
    EXPECT_EQ(book.colours.count("warm"), 1u);
    EXPECT_EQ(book.files.size(), 2u);
    PictureBook looping;
    EXPECT_FALSE(picturegen::LoadPictureBook((folder / "loop.pic").string(), &looping, &error));
    EXPECT_NE(error.find("included twice"), std::string::npos);
    PictureBook missing;
    EXPECT_FALSE(picturegen::LoadPictureBook((folder / "absent.pic").string(), &missing, &error));
    std::filesystem::remove_all(folder);
}

TEST(Painting, TyposInCommandsOptionsColoursAndStylesAreErrors)
{
    EXPECT_EQ(PaintError("picture a.png 16 16\n  rect 0 0 8 8 fill=#FFFFFF radius=2\n"), "");
    EXPECT_NE(PaintError("picture a.png 16 16\n  rectangle 0 0 8 8\n").find("test.pic:3: unknown command"), std::string::npos);
    EXPECT_NE(PaintError("picture a.png 16 16\n  rect 0 0 8 8 radus=2\n").find("unknown option radus"), std::string::npos);
    EXPECT_NE(PaintError("picture a.png 16 16\n  rect 0 0 8 8 fill=blu\n").find("unknown colour blu"), std::string::npos);
    EXPECT_NE(PaintError("picture a.png 16 16\n  rect 0 0 8 x\n").find("not a number"), std::string::npos);
    EXPECT_NE(PaintError("picture a.png 16 16\n  rect 0 0 8\n").find("takes"), std::string::npos);
    EXPECT_NE(PaintError("picture a.png 16 16\n  label 0 0 16 16 nostyle \"a\"\n").find("unknown style"), std::string::npos);
    EXPECT_NE(PaintError("picture a.png 16 16\n  radial 8 8 9:#FFFFFF 2:#000000\n").find("ascending"), std::string::npos);
    EXPECT_NE(PaintError("picture a.png 16 16\n  text 0 8 \"a\" font=main anchor=middle\n").find("anchor"), std::string::npos);
}

TEST(Painting, TilingShapesWrapAroundTheEdges)
{
    PictureBook book;
    std::string error;
    ASSERT_TRUE(Parse("picture t.png 32 32 tiling\n  circle 0 0 6 fill=#FFFFFF\n", &book, &error)) << error;
    TextSetter setter;
    PicturePainter painter(book, setter);
    Canvas canvas(32, 32);
    ASSERT_TRUE(painter.Paint(book.pictures[0], &canvas, &error)) << error;
    // A circle on the corner shows as four quarters, one in each corner.
    EXPECT_GT(canvas.PixelAt(1, 1).alpha, 0.9f);
    EXPECT_GT(canvas.PixelAt(30, 1).alpha, 0.9f);
    EXPECT_GT(canvas.PixelAt(1, 30).alpha, 0.9f);
    EXPECT_GT(canvas.PixelAt(30, 30).alpha, 0.9f);
    EXPECT_EQ(canvas.PixelAt(16, 16).alpha, 0.0f);
}

TEST(Painting, OutlinesRingTheShapeAndNeverShowThroughAGlassFill)
{
    PictureBook book;
    std::string error;
    ASSERT_TRUE(Parse("picture g.png 40 40\n"
                      "  rect 10 10 20 20 fill=#0000FF40 outline=#FF0000 outline-width=3\n"
                      "  rect 0 0 8 8 fill=#00FF00 outline=#FF0000 outline-width=2\n",
        &book, &error))
        << error;
    TextSetter setter;
    PicturePainter painter(book, setter);
    Canvas canvas(40, 40);
    ASSERT_TRUE(painter.Paint(book.pictures[0], &canvas, &error)) << error;
    const picturegen::Colour inside = canvas.PixelAt(20, 20);
    EXPECT_FLOAT_EQ(inside.red, 0.0f) << "outline colour inside the glass";
    EXPECT_NEAR(inside.alpha, 0x40 / 255.0f, 1e-3);
    EXPECT_GT(canvas.PixelAt(8, 20).red, 0.99f) << "the ring itself, 2 px out";
    EXPECT_GT(canvas.PixelAt(4, 4).green, 0.99f);
    EXPECT_GT(canvas.PixelAt(9, 4).red, 0.99f);
}
