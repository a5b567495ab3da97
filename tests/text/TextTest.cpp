// Shift-JIS ⇄ UTF-8 conversion as the engine's OS boundary and the tools use it.
#include <Lumora/Text.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using Lumora::ShiftJisToUtf8;
using Lumora::Utf8ToShiftJis;

// Shift-JIS bytes written out, so the expectations do not depend on the converter.
const std::string kPracticeOneSjis = "\x97\xFB\x8F\x4B\x96\xE2\x91\xE8\x82\x50.pzd";
const std::string kTrialEasySjis = "\x91\xCC\x8C\xB1\x94\xC5" "Easy.pzd";

TEST(ShiftJisText, StageNamesConvertToTheCodePage932Bytes)
{
    EXPECT_EQ(Utf8ToShiftJis("練習問題１.pzd"), kPracticeOneSjis);
    EXPECT_EQ(Utf8ToShiftJis("体験版Easy.pzd"), kTrialEasySjis);
    EXPECT_EQ(ShiftJisToUtf8(kPracticeOneSjis), "練習問題１.pzd");
    EXPECT_EQ(ShiftJisToUtf8(kTrialEasySjis), "体験版Easy.pzd");
}

TEST(ShiftJisText, AsciiAndEmptyPassUnchanged)
{
    const std::string ascii = "graphic/sprite/common__soft_circle_640x480.tga ~\\";
    EXPECT_EQ(Utf8ToShiftJis(ascii), ascii);
    EXPECT_EQ(ShiftJisToUtf8(ascii), ascii);
    EXPECT_EQ(Utf8ToShiftJis(""), "");
    EXPECT_EQ(ShiftJisToUtf8(""), "");
}

TEST(ShiftJisText, TrailByteThatLooksLikeBackslashAndHalfWidthKana)
{
    // "表" ends in 0x5C; half-width katakana are single bytes above 0xA0.
    EXPECT_EQ(Utf8ToShiftJis("表"), "\x95\x5C");
    EXPECT_EQ(ShiftJisToUtf8("\x95\x5C\\"), "表\\");
    EXPECT_EQ(Utf8ToShiftJis("ｱｲ"), "\xB1\xB2");
    EXPECT_EQ(ShiftJisToUtf8("\xB1\xB2"), "ｱｲ");
}

TEST(ShiftJisText, LongTextRoundTripsWholeAcrossInternalBuffers)
{
    std::string utf8;
    for (int i = 0; i < 3000; ++i) {
        utf8 += (i % 7 == 0) ? "a" : "練";
    }
    const std::string sjis = Utf8ToShiftJis(utf8);
    EXPECT_EQ(sjis.size(), 429u + 2u * 2571u); // 429 "a", 2571 two-byte "練"
    EXPECT_EQ(ShiftJisToUtf8(sjis), utf8);
}

TEST(ShiftJisText, InvalidShiftJisBecomesOneQuestionMarkPerCharacter)
{
    // 0x80 and 0xFD are never valid; a lead byte followed by a control character is broken
    // and only the lead is replaced; a lead byte cut off at the end is replaced too.
    EXPECT_EQ(ShiftJisToUtf8("a\x80" "b"), "a?b");
    EXPECT_EQ(ShiftJisToUtf8("\xFD" "x"), "?x");
    EXPECT_EQ(ShiftJisToUtf8("\x82\x0A" "c"), "?\nc");
    EXPECT_EQ(ShiftJisToUtf8("abc\x82"), "abc?");
    EXPECT_EQ(ShiftJisToUtf8("\x97\xFB\x80\x97\xFB"), "練?練");
}

TEST(ShiftJisText, InvalidOrUnmappableUtf8BecomesOneQuestionMarkPerCharacter)
{
    EXPECT_EQ(Utf8ToShiftJis("a\xC3(b"), "a?(b");      // broken two-byte sequence
    EXPECT_EQ(Utf8ToShiftJis("\x80x"), "?x");          // stray continuation byte
    EXPECT_EQ(Utf8ToShiftJis("x\xE7\xB7"), "x?");      // cut off at the end
    EXPECT_EQ(Utf8ToShiftJis("😀練"), "?\x97\xFB");    // outside code page 932
    EXPECT_EQ(Utf8ToShiftJis("한"), "?");              // Hangul is not in code page 932
}

TEST(ShiftJisText, StrictFormsRefuseWhatThePlainFormsReplace)
{
    std::string out = "stale";
    EXPECT_TRUE(Lumora::TryUtf8ToShiftJis("体験版Easy.pzd", out));
    EXPECT_EQ(out, kTrialEasySjis);
    EXPECT_TRUE(Lumora::TryShiftJisToUtf8(kTrialEasySjis, out));
    EXPECT_EQ(out, "体験版Easy.pzd");

    out = "stale";
    EXPECT_FALSE(Lumora::TryUtf8ToShiftJis("stage😀.pzd", out));
    EXPECT_TRUE(out.empty());
    out = "stale";
    EXPECT_FALSE(Lumora::TryShiftJisToUtf8("abc\x82", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(Lumora::TryShiftJisToUtf8("\x80", out));
}

TEST(ShiftJisText, LeadByteRanges)
{
    EXPECT_FALSE(Lumora::IsShiftJisLeadByte(0x80));
    EXPECT_TRUE(Lumora::IsShiftJisLeadByte(0x81));
    EXPECT_TRUE(Lumora::IsShiftJisLeadByte(0x9F));
    EXPECT_FALSE(Lumora::IsShiftJisLeadByte(0xA0));
    EXPECT_FALSE(Lumora::IsShiftJisLeadByte(0xDF)); // half-width katakana
    EXPECT_TRUE(Lumora::IsShiftJisLeadByte(0xE0));
    EXPECT_TRUE(Lumora::IsShiftJisLeadByte(0xFC));
    EXPECT_FALSE(Lumora::IsShiftJisLeadByte(0xFD));
    EXPECT_FALSE(Lumora::IsShiftJisLeadByte('\\'));
}

} // namespace
