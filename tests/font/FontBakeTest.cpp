// The baker end to end: character sets, a small bake read back through the engine's
// reader and stb_image, the page encoding, and the two fonts the game ships.
#include "FontBaker.h"
#include "LftFont.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

using namespace Lumora::Internal;
using namespace Tomarugi::FontBake;
namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Decodes a page file with stb_image as the engine does; empty on failure.
std::vector<std::uint8_t> DecodePage(const std::vector<std::uint8_t>& file, int channels, int& width, int& height) {
    int fileChannels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width, &height, &fileChannels, channels);
    if (pixels == nullptr) {
        return {};
    }
    std::vector<std::uint8_t> result(pixels, pixels + static_cast<std::size_t>(width * height * channels));
    stbi_image_free(pixels);
    return result;
}

bool Contains(const std::vector<CharsetEntry>& entries, SjisCode code, char32_t unicode) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const CharsetEntry& e) { return e.code == code && e.unicode == unicode; });
}

TEST(FontCharset, CodePage932CoversAsciiKanaAndBothKanjiLevels) {
    const std::vector<CharsetEntry> all = EnumerateCp932();
    ASSERT_FALSE(all.empty()) << "glibc has no CP932 converter";
    EXPECT_TRUE(Contains(all, ' ', U' '));
    EXPECT_TRUE(Contains(all, '~', U'~'));
    EXPECT_TRUE(Contains(all, 0xB1, U'ｱ'));
    EXPECT_TRUE(Contains(all, 0xDF, U'ﾟ'));
    EXPECT_TRUE(Contains(all, 0x8140, U'　'));
    EXPECT_TRUE(Contains(all, 0x82A0, U'あ'));
    EXPECT_TRUE(Contains(all, 0x8341, U'ア'));
    EXPECT_TRUE(Contains(all, 0x8250, U'１'));
    EXPECT_TRUE(Contains(all, 0x97FB, U'練'));  // level 1
    EXPECT_TRUE(Contains(all, 0x989F, U'弌'));  // first of level 2
    EXPECT_TRUE(Contains(all, 0xEAA4, U'熙'));  // last of level 2
    // Control codes and the user-defined (private use) rows are not characters to bake.
    EXPECT_FALSE(std::any_of(all.begin(), all.end(), [](const CharsetEntry& e) {
        return e.code < 0x20 || e.code == 0x7F || (e.code >= 0xF040 && e.code <= 0xF9FC);
    }));
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(),
                               [](const CharsetEntry& a, const CharsetEntry& b) { return a.code < b.code; }));
    EXPECT_GT(all.size(), 7000u);
}

TEST(FontCharset, Utf8ListsBecomeSortedUniqueCodes) {
    std::vector<CharsetEntry> entries;
    std::string error;
    ASSERT_TRUE(CharsetFromUtf8("練A練\nｱ", entries, error)) << error;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].code, 'A');
    EXPECT_EQ(entries[1].code, 0xB1);
    EXPECT_EQ(entries[2].code, 0x97FB);
    EXPECT_FALSE(CharsetFromUtf8("AÄ", entries, error));
    EXPECT_NE(error.find("U+00C4"), std::string::npos) << error;
    std::string sjis;
    ASSERT_TRUE(Utf8ToSjis("練習A", sjis));
    EXPECT_EQ(sjis, "\x97\xFB\x8F\x4B" "A");
}

class SmallBake : public ::testing::Test {
protected:
    static constexpr int kPageSide = 64;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(CharsetFromUtf8(" ?ABgjｱあア練習問題１", charset, error)) << error;
        BakeSettings settings;
        settings.fontPath = TOMARUGI_TEST_FONT_FACE;
        settings.pixelSize = 16;
        settings.outlineWidth = 2;
        settings.pageSize = kPageSide;  // small pages, so the set spills onto a second
        ASSERT_TRUE(BakeFont(settings, charset, baked, error)) << error;
        directory = fs::path(testing::TempDir()) / ("fontbake_" + std::to_string(::getpid()));
        fs::create_directories(directory);
    }
    void TearDown() override { fs::remove_all(directory); }

    std::vector<CharsetEntry> charset;
    BakedFont baked;
    fs::path directory;
};

TEST_F(SmallBake, EveryCharacterGetsAGlyphAcrossSeveralPages) {
    EXPECT_TRUE(baked.missing.empty());
    ASSERT_EQ(baked.data.glyphs.size(), charset.size());
    EXPECT_GE(baked.data.pageCount, 2);
    EXPECT_EQ(baked.pages.size(), baked.data.pageCount);
    EXPECT_EQ(baked.data.outlineWidth, 2);
    EXPECT_EQ(baked.data.lineHeight, 16);  // this face's ascent and descent make one em
    EXPECT_EQ(baked.data.fallbackCode, '?');  // the white square is not in this set
    const LftFont font(baked.data);
    EXPECT_EQ(font.FindGlyph(' ')->width, 0);
    EXPECT_GT(font.FindGlyph(' ')->advance, 0);
    EXPECT_EQ(font.FindGlyph(0x97FB)->advance, 16);  // kanji are one em wide
    EXPECT_LT(font.FindGlyph('A')->advance, 16);     // Latin is proportional
}

TEST_F(SmallBake, OutlineSurroundsTheGlyphAndNothingLeaksOutsideTheRects) {
    const int side = kPageSide;
    std::vector<std::vector<bool>> inRect(baked.pages.size(), std::vector<bool>(side * side, false));
    for (const LftGlyph& glyph : baked.data.glyphs) {
        for (int y = glyph.y; y < glyph.y + glyph.height; ++y) {
            for (int x = glyph.x; x < glyph.x + glyph.width; ++x) {
                inRect[glyph.page][static_cast<std::size_t>(y * side + x)] = true;
            }
        }
    }
    for (std::size_t page = 0; page < baked.pages.size(); ++page) {
        for (int i = 0; i < side * side; ++i) {
            const std::uint8_t fill = baked.pages[page][static_cast<std::size_t>(i) * 2];
            const std::uint8_t outline = baked.pages[page][static_cast<std::size_t>(i) * 2 + 1];
            ASSERT_GE(outline, fill) << "page " << page << " pixel " << i;
            if (!inRect[page][static_cast<std::size_t>(i)]) {
                ASSERT_EQ(outline, 0) << "coverage outside every glyph rect, page " << page << " pixel " << i;
            }
        }
    }
    // With a 2-pixel outline, every pixel beside any inked pixel is solid outline, even
    // around thin antialiased strokes whose own coverage never reaches full.
    const LftFont font(baked.data); // owns the glyph table the reference below points into
    const LftGlyph& a = *font.FindGlyph('A');
    const std::vector<std::uint8_t>& aPage = baked.pages[a.page];
    auto at = [&](int x, int y, int channel) { return aPage[static_cast<std::size_t>(y * side + x) * 2 + channel]; };
    int inked = 0;
    for (int y = a.y + 1; y + 1 < a.y + a.height; ++y) {
        for (int x = a.x + 1; x + 1 < a.x + a.width; ++x) {
            if (at(x, y, 0) == 0) {
                continue;
            }
            ++inked;
            EXPECT_EQ(at(x - 1, y, 1), 255);
            EXPECT_EQ(at(x + 1, y, 1), 255);
            EXPECT_EQ(at(x, y - 1, 1), 255);
            EXPECT_EQ(at(x, y + 1, 1), 255);
        }
    }
    EXPECT_GT(inked, 10);
    // The glyph box keeps the outline's margin: the first and last rows hold no fill.
    for (int x = a.x; x < a.x + a.width; ++x) {
        EXPECT_EQ(at(x, a.y, 0), 0);
        EXPECT_EQ(at(x, a.y + a.height - 1, 0), 0);
    }
}

// The 2x pages hold each glyph in its 1x cell's doubled rectangle, at twice the detail: the
// 2x fill averaged over 2 x 2 blocks is the 1x fill again (up to hinting), nothing lies
// outside the doubled rectangles, and within them there are edges finer than a 1x texel.
TEST_F(SmallBake, HighResolutionPagesHoldEveryGlyphInItsDoubledCell) {
    BakeSettings settings;
    settings.fontPath = TOMARUGI_TEST_FONT_FACE;
    settings.pixelSize = 16;
    settings.outlineWidth = 2;
    settings.pageSize = kPageSide;
    settings.highResolution = true;
    BakedFont both;
    std::string error;
    ASSERT_TRUE(BakeFont(settings, charset, both, error)) << error;
    EXPECT_EQ(both.pages, baked.pages) << "the 1x pages change when the 2x ones are baked too";
    ASSERT_EQ(both.highResolutionPages.size(), both.pages.size());
    const int side = kPageSide * 2;
    std::vector<std::vector<bool>> inRect(both.pages.size(), std::vector<bool>(side * side, false));
    const LftFont font(both.data);
    for (const LftGlyph& glyph : both.data.glyphs) {
        if (glyph.width == 0) {
            continue;
        }
        const auto& small = both.pages[glyph.page];
        const auto& large = both.highResolutionPages[glyph.page];
        double difference = 0;
        int fineEdges = 0;
        for (int y = 0; y < glyph.height; ++y) {
            for (int x = 0; x < glyph.width; ++x) {
                double block = 0;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        const int lx = (glyph.x + x) * 2 + dx, ly = (glyph.y + y) * 2 + dy;
                        inRect[glyph.page][static_cast<std::size_t>(ly * side + lx)] = true;
                        block += large[static_cast<std::size_t>(ly * side + lx) * 2];
                    }
                }
                const int lx = (glyph.x + x) * 2, ly = (glyph.y + y) * 2;
                fineEdges += std::abs(large[static_cast<std::size_t>(ly * side + lx) * 2] -
                                      large[static_cast<std::size_t>(ly * side + lx + 1) * 2]) > 96;
                difference += std::abs(block / 4 - small[static_cast<std::size_t>((glyph.y + y) * kPageSide + glyph.x + x) * 2]);
            }
        }
        const double mean = difference / (glyph.width * glyph.height);
        // Hinting snaps strokes at 16 and 32 px apart: measured 0.3 to 15 for Latin, kana and
        // most kanji, 24.9 for the stroke-dense 問; a glyph from the wrong cell or scale
        // differs by far more.
        EXPECT_LT(mean, 32.0) << "glyph " << std::hex << glyph.code << ": the 2x glyph is not the 1x one";
        EXPECT_GT(fineEdges, 0) << "glyph " << std::hex << glyph.code << " is no sharper at 2x";
    }
    for (std::size_t page = 0; page < both.highResolutionPages.size(); ++page) {
        for (int i = 0; i < side * side; ++i) {
            if (!inRect[page][static_cast<std::size_t>(i)]) {
                ASSERT_EQ(both.highResolutionPages[page][static_cast<std::size_t>(i) * 2 + 1], 0)
                    << "coverage outside every doubled glyph rect, page " << page << " pixel " << i;
            }
        }
    }
}

TEST_F(SmallBake, WrittenFilesReadBackThroughTheEngineReaderAndStbImage) {
    // Pages left from an earlier, bigger bake of the same name must go.
    const fs::path stale = directory / ("Small_" + std::to_string(baked.data.pageCount) + ".tga");
    const fs::path stale2 = directory / ("Small_" + std::to_string(baked.data.pageCount + 1) + ".tga");
    std::ofstream(stale) << "old";
    std::ofstream(stale2) << "old";
    std::string error;
    ASSERT_TRUE(WriteBakedFont(baked, (directory / "Small").string(), error)) << error;
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(stale2));

    const LftParseResult parsed = ParseLft(ReadFile(directory / "Small.lft"));
    ASSERT_TRUE(parsed.font) << DescribeLftError(parsed.error);
    EXPECT_EQ(parsed.font->Data().glyphs.size(), baked.data.glyphs.size());
    for (int page = 0; page < baked.data.pageCount; ++page) {
        const std::string name = LftPageFileName((directory / "Small.lft").string(), "tga", page);
        const std::vector<std::uint8_t> file = ReadFile(name);
        int width = 0;
        int height = 0;
        EXPECT_EQ(DecodePage(file, 2, width, height), baked.pages[static_cast<std::size_t>(page)]) << name;
        EXPECT_EQ(width, kPageSide);
        EXPECT_EQ(height, kPageSide);
        // Asked for RGBA, the engine sees (fill, fill, fill, outline).
        const std::vector<std::uint8_t> rgba = DecodePage(file, 4, width, height);
        ASSERT_EQ(rgba.size(), baked.pages[static_cast<std::size_t>(page)].size() * 2);
        for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
            ASSERT_EQ(rgba[i * 4 + 1], baked.pages[static_cast<std::size_t>(page)][i * 2]);
            ASSERT_EQ(rgba[i * 4 + 3], baked.pages[static_cast<std::size_t>(page)][i * 2 + 1]);
        }
    }
}

TEST(FontPageEncoding, RunLengthPagesDecodeExactly) {
    // Rows that exercise every packet shape: long runs past 128 pixels, alternating
    // pixels, equal pairs at a row's end, and runs that must not continue into the next row.
    const int width = 300;
    const int height = 5;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height) * 2, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[static_cast<std::size_t>(y * width + x) * 2];
            switch (y) {
            case 0: p[0] = 7; p[1] = 9; break;                                   // one long run
            case 1: p[0] = static_cast<std::uint8_t>(x); p[1] = static_cast<std::uint8_t>(x * 3); break;
            case 2: p[0] = static_cast<std::uint8_t>((x / 2) % 2 * 200); p[1] = 255; break;  // pairs
            case 3: p[0] = x >= width - 2 ? 1 : static_cast<std::uint8_t>(x % 5); p[1] = 0; break;
            default: p[0] = 7; p[1] = 9; break;                                  // same as row 0
            }
        }
    }
    const std::vector<std::uint8_t> file = EncodePageTga(pixels, width, height);
    EXPECT_LT(file.size(), pixels.size());
    int decodedWidth = 0;
    int decodedHeight = 0;
    EXPECT_EQ(DecodePage(file, 2, decodedWidth, decodedHeight), pixels);
    EXPECT_EQ(decodedWidth, width);
    EXPECT_EQ(decodedHeight, height);
}

TEST(FontBakeSettings, RefusesImpossibleSettings) {
    std::vector<CharsetEntry> charset;
    std::string error;
    ASSERT_TRUE(CharsetFromUtf8("A練", charset, error));
    BakedFont baked;
    BakeSettings settings;
    settings.fontPath = TOMARUGI_TEST_FONT_FACE;
    settings.pixelSize = 32;
    settings.outlineWidth = 2;
    settings.pageSize = 24;  // smaller than one glyph
    EXPECT_FALSE(BakeFont(settings, charset, baked, error));
    EXPECT_NE(error.find("larger than a page"), std::string::npos) << error;
    settings.pageSize = 1024;
    settings.outlineWidth = 65;
    EXPECT_FALSE(BakeFont(settings, charset, baked, error));
    settings.outlineWidth = 2;
    settings.fontPath = "/nonexistent/font.ttf";
    EXPECT_FALSE(BakeFont(settings, charset, baked, error));
    EXPECT_NE(error.find("/nonexistent/font.ttf"), std::string::npos) << error;
}

// The fonts the content build bakes for the game.
class ShippedFont : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedFont, CoversEveryCharacterAStageNameNeeds) {
    const fs::path path = fs::path(TOMARUGI_FONT_DIR) / GetParam();
    const LftParseResult parsed = ParseLft(ReadFile(path));
    ASSERT_TRUE(parsed.font) << path << ": " << DescribeLftError(parsed.error);
    const LftFont& font = *parsed.font;
    for (int code = 0x20; code <= 0x7E; ++code) {
        EXPECT_NE(font.FindGlyph(static_cast<SjisCode>(code)), nullptr) << "ASCII " << code;
    }
    for (int code = 0xA1; code <= 0xDF; ++code) {
        EXPECT_NE(font.FindGlyph(static_cast<SjisCode>(code)), nullptr) << "half-width kana " << code;
    }
    for (int code = 0x829F; code <= 0x82F1; ++code) {
        EXPECT_NE(font.FindGlyph(static_cast<SjisCode>(code)), nullptr) << "hiragana " << std::hex << code;
    }
    for (int code = 0x8340; code <= 0x8396; ++code) {
        if (code != 0x837F) {
            EXPECT_NE(font.FindGlyph(static_cast<SjisCode>(code)), nullptr) << "katakana " << std::hex << code;
        }
    }
    // 練習問題 体験版 １, level 2 kanji 弌 熙, the white square used for missing codes.
    std::string sample;
    ASSERT_TRUE(Utf8ToSjis("練習問題体験版１弌熙□", sample));
    std::vector<LftQuad> quads;
    font.LayoutText(sample, 0, 0, quads);
    ASSERT_EQ(quads.size(), 11u);
    for (std::size_t i = 0; i + 1 < sample.size(); i += 2) {
        const auto code = static_cast<SjisCode>((static_cast<std::uint8_t>(sample[i]) << 8) |
                                                static_cast<std::uint8_t>(sample[i + 1]));
        EXPECT_NE(font.FindGlyph(code), nullptr) << std::hex << code;
    }
    EXPECT_EQ(font.Data().fallbackCode, 0x81A0);

    // 練's pixels are really in its page.
    const LftGlyph& glyph = *font.FindGlyph(0x97FB);
    int width = 0;
    int height = 0;
    const std::vector<std::uint8_t> page =
        DecodePage(ReadFile(LftPageFileName(path.string(), "tga", glyph.page)), 2, width, height);
    ASSERT_EQ(width, font.Data().pageWidth);
    ASSERT_EQ(height, font.Data().pageHeight);
    int covered = 0;
    for (int y = glyph.y; y < glyph.y + glyph.height; ++y) {
        for (int x = glyph.x; x < glyph.x + glyph.width; ++x) {
            covered += page[static_cast<std::size_t>(y * width + x) * 2] > 128;
        }
    }
    EXPECT_GT(covered, glyph.width * glyph.height / 8);
    EXPECT_FALSE(fs::exists(LftPageFileName(path.string(), "tga", font.PageCount())));
}

INSTANTIATE_TEST_SUITE_P(Game, ShippedFont, ::testing::Values("Font.lft", "Font_Azuki_32.lft"));

TEST(ShippedFontMetrics, StageListFontFillsItsRowsExactly) {
    // The stage list draws one name per 32-pixel row; the names' line must be 32 high.
    const LftParseResult parsed = ParseLft(ReadFile(fs::path(TOMARUGI_FONT_DIR) / "Font_Azuki_32.lft"));
    ASSERT_TRUE(parsed.font);
    EXPECT_EQ(parsed.font->LineHeight(), 32);
    EXPECT_GE(parsed.font->Data().outlineWidth, 1);
}

} // namespace
