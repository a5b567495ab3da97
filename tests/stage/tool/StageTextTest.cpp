// The stage text format: what it reads, what it refuses, and that printing reads back.
#include "StageText.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    bool ok;
    StageDataReader stage;
    std::string title;
    StageTextError error;
};

Parsed Parse(const std::string& text)
{
    Parsed parsed{};
    parsed.ok = ParseStageText(text, parsed.stage, parsed.title, parsed.error);
    return parsed;
}

TEST(StageText, SymbolsCommentsTitleAndPadding)
{
    const Parsed parsed = Parse("; a stage\n"
                                "\n"
                                "title: 練習問題１ ; not part of the title\n"
                                "@.F_I  \r\n"
                                "+fi\n"
                                "\n"
                                "..   ; trailing comment\n"
                                "\n\n");
    ASSERT_TRUE(parsed.ok) << parsed.error.message;
    EXPECT_EQ(parsed.title, "練習問題１");
    EXPECT_EQ(parsed.stage.width, 5);
    EXPECT_EQ(parsed.stage.height, 4); // the blank line inside the grid is a row of holes
    const std::vector<StageCell> expected = {
        {1, 1}, {1, 0}, {1, 2}, {0, 0}, {1, 3}, // @.F_I
        {0, 1}, {0, 2}, {0, 3}, {0, 0}, {0, 0}, // +fi padded
        {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, // blank row
        {1, 0}, {1, 0}, {0, 0}, {0, 0}, {0, 0}, // .. padded
    };
    EXPECT_EQ(parsed.stage.GetCells(), expected);
}

TEST(StageText, RefusesWithTheLine)
{
    struct Case {
        std::string text;
        int line;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"title: a\n..\n.x\n", 3, "unknown cell symbol 'x' in column 2"},
        {"..\n.\t.\n", 2, "unknown cell symbol byte 0x9 in column 2"},
        {"title: a\ntitle: b\n..\n", 2, "a second title line"},
        {"..\ntitle: late\n", 2, "the title line must come before the grid"},
        {"; nothing\n\n", 0, "no grid: a stage needs at least one row of cells"},
        {std::string(256, '.') + "\n", 1, "row of 256 cells; at most 255"},
        {"..\n.é\n", 2, "unknown cell symbol byte 0xc3 in column 2"},
    };
    for (const Case& c : cases) {
        StageDataReader untouched;
        untouched.width = 9;
        std::string title = "kept";
        StageTextError error;
        EXPECT_FALSE(ParseStageText(c.text, untouched, title, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_EQ(error.message, c.message) << c.text;
        EXPECT_EQ(untouched.width, 9);
        EXPECT_EQ(title, "kept");
    }
    std::string tall;
    for (int i = 0; i < 256; ++i) {
        tall += ".\n";
    }
    const Parsed tooTall = Parse(tall);
    EXPECT_FALSE(tooTall.ok);
    EXPECT_EQ(tooTall.error.line, 256);
    EXPECT_TRUE(Parse(std::string(255, '.') + "\n").ok);
}

TEST(StageText, FormatReadsBack)
{
    const Parsed parsed = Parse("title: t\n@.F_I\n+fi..\n");
    ASSERT_TRUE(parsed.ok);
    bool representable = false;
    const std::string text = FormatStageText(parsed.stage, "t", representable);
    EXPECT_TRUE(representable);
    EXPECT_EQ(text, "title: t\n@.F_I\n+fi..\n");
    const Parsed again = Parse(text);
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.stage.GetCells(), parsed.stage.GetCells());
}

TEST(StageText, FormatMarksCellsWithoutSymbols)
{
    StageDataReader stage;
    stage.width = 2;
    stage.height = 1;
    stage.reserved = 4;
    stage.cells = {{2, 0}, {1, 9}};
    bool representable = true;
    const std::string text = FormatStageText(stage, "odd", representable);
    EXPECT_FALSE(representable);
    EXPECT_NE(text.find("; cell (0, 0): floor 2, object 0 has no symbol"), std::string::npos) << text;
    EXPECT_NE(text.find("; cell (1, 0): floor 1, object 9 has no symbol"), std::string::npos) << text;
    EXPECT_NE(text.find("reserved word 4"), std::string::npos) << text;
    EXPECT_NE(text.find("\n??\n"), std::string::npos) << text;
}

} // namespace
