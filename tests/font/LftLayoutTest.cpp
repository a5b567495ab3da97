// Laying out Shift-JIS text: where each glyph lands, line breaks, missing and broken codes.
#include "LftFont.h"
#include "TestFonts.h"

#include <gtest/gtest.h>

namespace {

using namespace Lumora::Internal;

class LftLayout : public ::testing::Test {
protected:
    LftFont font{FontTest::MakeTestFont()};

    std::vector<LftQuad> Layout(std::string_view text, float x = 100, float y = 50) const {
        std::vector<LftQuad> quads;
        font.LayoutText(text, x, y, quads);
        return quads;
    }
};

// Destination of glyph 'A' (bearing (1, 12), 8x12) with its pen at (penX, lineTop):
// x = penX + 1, y = lineTop + ascent 24 - 12.
void ExpectLetterA(const LftQuad& quad, float penX, float lineTop) {
    EXPECT_FLOAT_EQ(quad.destinationX, penX + 1);
    EXPECT_FLOAT_EQ(quad.destinationY, lineTop + 12);
    EXPECT_FLOAT_EQ(quad.destinationWidth, 8);
    EXPECT_FLOAT_EQ(quad.destinationHeight, 12);
    EXPECT_FLOAT_EQ(quad.sourceX, 0);
    EXPECT_FLOAT_EQ(quad.sourceWidth, 8);
    EXPECT_EQ(quad.page, 0);
}

TEST_F(LftLayout, GlyphsAdvanceThePenAndSitOnTheBaseline) {
    const auto quads = Layout("AA");
    ASSERT_EQ(quads.size(), 2u);
    ExpectLetterA(quads[0], 100, 50);
    ExpectLetterA(quads[1], 110, 50);
    EXPECT_EQ(font.MeasureText("AA"), 20);
}

TEST_F(LftLayout, SpacesMoveThePenWithoutAQuad) {
    const auto quads = Layout("A A");
    ASSERT_EQ(quads.size(), 2u);
    ExpectLetterA(quads[1], 115, 50);
    EXPECT_EQ(font.MeasureText("A A"), 25);
}

TEST_F(LftLayout, DoubleByteAndHalfWidthCodes) {
    // あ (0x82A0) on page 1, then half-width ｱ (0xB1, one byte), then A.
    const auto quads = Layout("\x82\xA0\xB1" "A");
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(quads[0].page, 1);
    EXPECT_FLOAT_EQ(quads[0].destinationX, 102);
    EXPECT_FLOAT_EQ(quads[0].destinationY, 52);  // 50 + 24 - 22
    EXPECT_FLOAT_EQ(quads[0].sourceWidth, 18);
    EXPECT_FLOAT_EQ(quads[1].sourceX, 20);
    EXPECT_FLOAT_EQ(quads[1].destinationX, 120);
    ExpectLetterA(quads[2], 129, 50);
    EXPECT_EQ(font.MeasureText("\x82\xA0\xB1" "A"), 39);
}

TEST_F(LftLayout, MissingCodesDrawTheFallbackGlyph) {
    // 'Z', a double-byte code the font lacks, and the bytes that are never a code.
    for (std::string_view text : {"Z", "\x88\x9F", "\x80", "\xA0", "\xFD", "\xFF"}) {
        const auto quads = Layout(text);
        ASSERT_EQ(quads.size(), 1u) << "text byte " << int(static_cast<std::uint8_t>(text[0]));
        EXPECT_FLOAT_EQ(quads[0].sourceX, 10);  // the '?' glyph
        EXPECT_FLOAT_EQ(quads[0].destinationX, 100);
        EXPECT_EQ(font.MeasureText(text), 7);
    }
    const auto mixed = Layout("AZA");
    ASSERT_EQ(mixed.size(), 3u);
    ExpectLetterA(mixed[2], 117, 50);
}

TEST_F(LftLayout, LeadByteCutOffAtTheEndIsDropped) {
    const auto quads = Layout("A\x82");
    ASSERT_EQ(quads.size(), 1u);
    ExpectLetterA(quads[0], 100, 50);
    EXPECT_EQ(font.MeasureText("A\x82"), 10);
    EXPECT_TRUE(Layout("\x82").empty());
}

TEST_F(LftLayout, LeadByteWithoutTrailDoesNotSwallowTheNextCharacter) {
    // 0x82 followed by a newline: the lead byte shows as missing, the newline still breaks.
    const auto quads = Layout("\x82\nA");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_FLOAT_EQ(quads[0].sourceX, 10);
    ExpectLetterA(quads[1], 100, 80);
    // 0x82 followed by 'A' is a valid pair only when 'A' can be a trail: it can (0x41), so
    // the pair is one missing code and no 'A' appears.
    const auto pair = Layout("\x82" "A");
    ASSERT_EQ(pair.size(), 1u);
    EXPECT_FLOAT_EQ(pair[0].sourceX, 10);
    // A control byte cannot be a trail: lead shows as missing, then 0x1F as missing.
    EXPECT_EQ(Layout("\x82\x1F").size(), 2u);
}

TEST_F(LftLayout, NewLinesReturnToTheStartOneLineLower) {
    const auto quads = Layout("A\nAA\n\nA");
    ASSERT_EQ(quads.size(), 4u);
    ExpectLetterA(quads[0], 100, 50);
    ExpectLetterA(quads[1], 100, 80);
    ExpectLetterA(quads[2], 110, 80);
    ExpectLetterA(quads[3], 100, 140);
    EXPECT_EQ(font.MeasureText("A\nAA\n\nA"), 20);
    EXPECT_EQ(font.CountLines("A\nAA\n\nA"), 4);
    // Carriage returns of CRLF text are ignored.
    const auto crlf = Layout("A\r\nA");
    ASSERT_EQ(crlf.size(), 2u);
    ExpectLetterA(crlf[1], 100, 80);
}

TEST_F(LftLayout, EmptyTextAndAppendedQuads) {
    EXPECT_TRUE(Layout("").empty());
    EXPECT_EQ(font.MeasureText(""), 0);
    EXPECT_EQ(font.CountLines(""), 1);
    std::vector<LftQuad> quads(3);
    font.LayoutText("A", 0, 0, quads);
    EXPECT_EQ(quads.size(), 4u);  // appended, earlier quads kept
    ExpectLetterA(quads[3], 0, 0);
}

TEST_F(LftLayout, FractionalOriginsCarryThrough) {
    const auto quads = Layout("A", 16.5f, 32.25f);
    ASSERT_EQ(quads.size(), 1u);
    ExpectLetterA(quads[0], 16.5f, 32.25f);
}

} // namespace
