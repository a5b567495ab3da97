// Setting text: UTF-8 decoding, fitting into a width, one baseline for every label.
#include <gtest/gtest.h>

#include "Raster.h"
#include "TextSetter.h"

using picturegen::Mask;
using picturegen::TextAnchor;
using picturegen::TextLayout;
using picturegen::TextSetter;

namespace {

const char* kFont = "/usr/share/fonts/opentype/ipaexfont-gothic/ipaexg.ttf";

// Leftmost and rightmost columns with any ink; -1 when there is none.
std::pair<int, int> InkColumns(const Mask& mask)
{
    int first = -1, last = -1;
    for (int x = 0; x < mask.Width(); ++x) {
        for (int y = 0; y < mask.Height(); ++y) {
            if (mask.At(x, y) > 0.05f) {
                if (first < 0) first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

class TextSetting : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(text.AddFont("jp", kFont, &error)) << error;
    }
    TextSetter text;
};

}  // namespace

TEST(Utf8, DecodesJapaneseAndRefusesBrokenSequences)
{
    std::u32string code;
    ASSERT_TRUE(picturegen::DecodeUtf8("aあ😀", &code));
    EXPECT_EQ(code, (std::u32string{U'a', U'\u3042', U'\U0001F600'}));
    EXPECT_FALSE(picturegen::DecodeUtf8("\xE3\x81", &code)) << "truncated";
    EXPECT_FALSE(picturegen::DecodeUtf8("\xE3\x41\x82", &code)) << "bad continuation";
    EXPECT_FALSE(picturegen::DecodeUtf8("\xFF", &code)) << "invalid lead byte";
}

TEST_F(TextSetting, LongTextShrinksToStayInsideItsWidth)
{
    Mask wide(400, 40), fitted(400, 40);
    std::string error;
    TextLayout free, fit;
    const std::string label = "エクストラステージであそぶ";
    ASSERT_TRUE(text.Set(wide, "jp", 24, label, 10, TextAnchor::Left, 20, 0, &free, &error)) << error;
    ASSERT_TRUE(text.Set(fitted, "jp", 24, label, 10, TextAnchor::Left, 20, 150, &fit, &error)) << error;
    EXPECT_GT(free.width, 150);
    EXPECT_LE(fit.width, 150);
    EXPECT_LT(fit.size, 24);
    const auto [first, last] = InkColumns(fitted);
    EXPECT_GE(first, 10);
    EXPECT_LE(last, 10 + 150);

    // A text that cannot fit at a readable size is an error, not a smudge.
    Mask tiny(400, 40);
    EXPECT_FALSE(text.Set(tiny, "jp", 24, label, 0, TextAnchor::Left, 20, 20, nullptr, &error));
}

TEST_F(TextSetting, AnchorsPlaceTheTextAroundTheGivenX)
{
    std::string error;
    Mask centred(200, 40), right(200, 40);
    ASSERT_TRUE(text.Set(centred, "jp", 20, "はい", 100, TextAnchor::Centre, 20, 0, nullptr, &error)) << error;
    ASSERT_TRUE(text.Set(right, "jp", 20, "はい", 150, TextAnchor::Right, 20, 0, nullptr, &error)) << error;
    const auto [cFirst, cLast] = InkColumns(centred);
    EXPECT_NEAR((cFirst + cLast) / 2.0, 100, 3);
    EXPECT_LE(InkColumns(right).second, 150);
    EXPECT_GT(InkColumns(right).second, 140);
}

TEST_F(TextSetting, LabelsWithAndWithoutDescendersShareOneBaseline)
{
    std::string error;
    Mask a(200, 40), b(200, 40);
    TextLayout kana, latin;
    ASSERT_TRUE(text.Set(a, "jp", 20, "あいう", 0, TextAnchor::Left, 20, 0, &kana, &error)) << error;
    ASSERT_TRUE(text.Set(b, "jp", 20, "Give up", 0, TextAnchor::Left, 20, 0, &latin, &error)) << error;
    EXPECT_EQ(kana.baseline, latin.baseline);
}

TEST_F(TextSetting, UnknownFontsAndMissingGlyphsAreReported)
{
    std::string error;
    Mask mask(100, 40);
    EXPECT_FALSE(text.Set(mask, "nonesuch", 20, "a", 0, TextAnchor::Left, 20, 0, nullptr, &error));
    EXPECT_NE(error.find("nonesuch"), std::string::npos);
    // A private-use code point is in no Debian font: a blank glyph must not ship.
    EXPECT_FALSE(text.Set(mask, "jp", 20, "a\xF4\x8F\xBF\xBD", 0, TextAnchor::Left, 20, 0, nullptr, &error));
    EXPECT_NE(error.find("U+10FFFD"), std::string::npos);
    EXPECT_FALSE(text.AddFont("bad", "/nonexistent/font.ttf", &error));
}
