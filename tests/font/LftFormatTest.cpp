// The .lft reader: what it accepts, what it refuses, and how glyphs are found.
#include "LftFont.h"
#include "TestFonts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using namespace Lumora::Internal;

std::vector<std::uint8_t> ValidBytes() {
    return EncodeLft(FontTest::MakeTestFont());
}

void PutU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Offset of field `field` (0 code, 1 page, 2 x, 3 y, 4 width, 5 height, 6 bearingX,
// 7 bearingY, 8 advance) of glyph record `glyph`.
std::size_t GlyphField(std::size_t glyph, std::size_t field) {
    return kLftHeaderSize + glyph * kLftGlyphRecordSize + field * 2;
}

TEST(LftFormat, EncodedFontReadsBackUnchanged) {
    const LftFontData original = FontTest::MakeTestFont();
    const LftParseResult parsed = ParseLft(EncodeLft(original));
    ASSERT_TRUE(parsed.font) << DescribeLftError(parsed.error);
    const LftFontData& read = parsed.font->Data();
    EXPECT_EQ(read.lineHeight, 30);
    EXPECT_EQ(read.ascent, 24);
    EXPECT_EQ(read.pageCount, 2);
    EXPECT_EQ(read.outlineWidth, 1);
    EXPECT_EQ(read.fallbackCode, '?');
    ASSERT_EQ(read.glyphs.size(), original.glyphs.size());
    for (std::size_t i = 0; i < read.glyphs.size(); ++i) {
        EXPECT_EQ(std::memcmp(&read.glyphs[i], &original.glyphs[i], sizeof(LftGlyph)), 0) << "glyph " << i;
    }
}

TEST(LftFormat, FindsSingleAndDoubleByteCodesAndNothingElse) {
    const LftFont font(FontTest::MakeTestFont());
    ASSERT_NE(font.FindGlyph('A'), nullptr);
    EXPECT_EQ(font.FindGlyph('A')->advance, 10);
    ASSERT_NE(font.FindGlyph(0xB1), nullptr);  // half-width katakana: one byte
    EXPECT_EQ(font.FindGlyph(0xB1)->advance, 9);
    ASSERT_NE(font.FindGlyph(0x82A0), nullptr);
    EXPECT_EQ(font.FindGlyph(0x82A0)->page, 1);
    EXPECT_EQ(font.FindGlyph('B'), nullptr);
    EXPECT_EQ(font.FindGlyph(0x82A1), nullptr);
    EXPECT_EQ(font.FindGlyph(0x82), nullptr);  // a lead byte on its own is no glyph
    EXPECT_EQ(font.GlyphOrFallback('B').code, '?');
    EXPECT_EQ(font.GlyphOrFallback(0x889F).code, '?');
}

TEST(LftFormat, CopiesOfAFontOwnTheirGlyphs) {
    std::vector<LftFont> fonts;
    {
        const LftFont original(FontTest::MakeTestFont());
        fonts.push_back(original);
    }
    fonts.reserve(16);  // moves the copy as well
    const LftFont& copy = fonts.front();
    const LftGlyph& fallback = copy.GlyphOrFallback('Z');
    EXPECT_EQ(fallback.code, '?');
    EXPECT_GE(&fallback, copy.Data().glyphs.data());
    EXPECT_LT(&fallback, copy.Data().glyphs.data() + copy.Data().glyphs.size());
    EXPECT_EQ(&copy.GlyphOrFallback('A'), copy.FindGlyph('A'));
}

TEST(LftFormat, ShiftJisCodeRanges) {
    EXPECT_TRUE(IsValidSjisCode(0x00));
    EXPECT_TRUE(IsValidSjisCode(0x7F));
    EXPECT_TRUE(IsValidSjisCode(0xA1));
    EXPECT_TRUE(IsValidSjisCode(0xDF));
    EXPECT_FALSE(IsValidSjisCode(0x80));
    EXPECT_FALSE(IsValidSjisCode(0xA0));
    EXPECT_FALSE(IsValidSjisCode(0x81));  // lead byte
    EXPECT_FALSE(IsValidSjisCode(0xFD));
    EXPECT_TRUE(IsValidSjisCode(0x8140));
    EXPECT_TRUE(IsValidSjisCode(0x9FFC));
    EXPECT_TRUE(IsValidSjisCode(0xE040));
    EXPECT_TRUE(IsValidSjisCode(0xFCFC));
    EXPECT_FALSE(IsValidSjisCode(0x817F));  // 0x7F is never a trail byte
    EXPECT_FALSE(IsValidSjisCode(0x813F));
    EXPECT_FALSE(IsValidSjisCode(0x81FD));
    EXPECT_FALSE(IsValidSjisCode(0xA040));  // 0xA0 is no lead byte
    EXPECT_FALSE(IsValidSjisCode(0xFD40));
}

struct Malformation {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    LftError expected;
};

TEST(LftFormat, RefusesEachKindOfMalformedFile) {
    const std::vector<Malformation> cases = {
        {"empty", [](auto& b) { b.clear(); }, LftError::TooShort},
        {"half a header", [](auto& b) { b.resize(kLftHeaderSize - 1); }, LftError::TooShort},
        {"magic", [](auto& b) { b[0] = 'X'; }, LftError::BadMagic},
        {"version 2", [](auto& b) { PutU16(b, 4, 2); }, LftError::UnsupportedVersion},
        {"version 0", [](auto& b) { PutU16(b, 4, 0); }, LftError::UnsupportedVersion},
        {"line height 0", [](auto& b) { PutU16(b, 6, 0); }, LftError::AbsurdHeader},
        {"line height huge", [](auto& b) { PutU16(b, 6, 60000); }, LftError::AbsurdHeader},
        {"outline huge", [](auto& b) { PutU16(b, 10, 65); }, LftError::AbsurdHeader},
        {"no pages", [](auto& b) { PutU16(b, 16, 0); }, LftError::AbsurdHeader},
        {"too many pages", [](auto& b) { PutU16(b, 16, 257); }, LftError::AbsurdHeader},
        {"page width 0", [](auto& b) { PutU16(b, 18, 0); }, LftError::AbsurdHeader},
        {"page height huge", [](auto& b) { PutU16(b, 20, 9000); }, LftError::AbsurdHeader},
        {"glyph count 0", [](auto& b) { b.resize(kLftHeaderSize); std::memset(&b[12], 0, 4); }, LftError::NoGlyphs},
        {"truncated record", [](auto& b) { b.pop_back(); }, LftError::SizeMismatch},
        {"trailing byte", [](auto& b) { b.push_back(0); }, LftError::SizeMismatch},
        {"count beyond the file", [](auto& b) { PutU16(b, 12, 6); }, LftError::SizeMismatch},
        // 0x80000005 records of 18 bytes plus the header wrap to this very file length in 32 bits.
        {"count that wraps", [](auto& b) { PutU16(b, 12, 0x0005); PutU16(b, 14, 0x8000); }, LftError::SizeMismatch},
        {"single byte 0x80", [](auto& b) { PutU16(b, GlyphField(0, 0), 0x80); }, LftError::InvalidCode},
        {"lone lead byte", [](auto& b) { PutU16(b, GlyphField(4, 0), 0x82); }, LftError::InvalidCode},
        {"bad trail byte", [](auto& b) { PutU16(b, GlyphField(4, 0), 0x827F); }, LftError::InvalidCode},
        {"unsorted", [](auto& b) { PutU16(b, GlyphField(2, 0), 0x30); }, LftError::UnsortedCodes},
        {"duplicate", [](auto& b) { PutU16(b, GlyphField(2, 0), '?'); }, LftError::DuplicateCode},
        {"page beyond count", [](auto& b) { PutU16(b, GlyphField(4, 1), 2); }, LftError::PageOutOfRange},
        {"rect past right edge", [](auto& b) { PutU16(b, GlyphField(2, 2), 57); }, LftError::RectOutsidePage},
        {"rect past bottom edge", [](auto& b) { PutU16(b, GlyphField(4, 3), 45); }, LftError::RectOutsidePage},
        // 16-bit x + width would wrap to 63 and pass a careless check.
        {"rect that wraps", [](auto& b) { PutU16(b, GlyphField(2, 2), 0xFFFF); PutU16(b, GlyphField(2, 4), 64); },
         LftError::RectOutsidePage},
        {"advance huge", [](auto& b) { PutU16(b, GlyphField(2, 8), 5000); }, LftError::AbsurdMetrics},
        {"bearing huge negative", [](auto& b) { PutU16(b, GlyphField(2, 6), static_cast<std::uint16_t>(-5000)); },
         LftError::AbsurdMetrics},
        {"fallback not in table", [](auto& b) { PutU16(b, 22, 'Z'); }, LftError::MissingFallback},
    };
    for (const Malformation& malformation : cases) {
        std::vector<std::uint8_t> bytes = ValidBytes();
        malformation.damage(bytes);
        const LftParseResult result = ParseLft(bytes);
        EXPECT_FALSE(result.font) << malformation.name;
        EXPECT_EQ(result.error, malformation.expected)
            << malformation.name << ": got \"" << DescribeLftError(result.error) << "\"";
    }
}

TEST(LftFormat, WriterRefusesWhatTheReaderWouldRefuse) {
    LftFontData unsorted = FontTest::MakeTestFont();
    std::swap(unsorted.glyphs[1], unsorted.glyphs[2]);
    EXPECT_TRUE(EncodeLft(unsorted).empty());
    LftFontData outside = FontTest::MakeTestFont();
    outside.glyphs[4].y = 50;
    EXPECT_TRUE(EncodeLft(outside).empty());
    LftFontData noFallback = FontTest::MakeTestFont();
    noFallback.fallbackCode = 0x889F;
    EXPECT_EQ(ValidateLft(noFallback), LftError::MissingFallback);
}

TEST(LftFormat, PageFileNamesFollowTheFontName) {
    EXPECT_EQ(LftPageFileName("Font_Azuki_32.lft", "tga", 0), "Font_Azuki_32_0.tga");
    EXPECT_EQ(LftPageFileName("Font.lft", "tga", 12), "Font_12.tga");
    EXPECT_EQ(LftPageFileName("font\\Font.lft", "png", 1), "font\\Font_1.png");
    EXPECT_EQ(LftPageFileName("dir.v2/Font", "tga", 0), "dir.v2/Font_0.tga");
}

} // namespace
