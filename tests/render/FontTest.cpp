// Fonts: loading (and refusing) .lft files and their pages, what a text records, the fill
// colour drawn over the outline colour, and pages decoded on their first use.
#include "Font.h"
#include "HeadlessEngine.h"

#include "LftFont.h"

#include <algorithm>

using Lumora::Testing::RecordedDraw;

namespace {

// A 16 x 16 page: 'A' fills the top-left 8 x 8 cell with outline coverage (channel 1) and
// its inner 4 x 4 with glyph coverage (channel 0); '?' (the fallback) has an empty cell.
std::vector<std::uint8_t> PageRgba()
{
    std::vector<std::uint8_t> rgba(16 * 16 * 4, 0);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            std::uint8_t* p = &rgba[static_cast<std::size_t>(y * 16 + x) * 4];
            const bool inner = x >= 2 && x < 6 && y >= 2 && y < 6;
            p[0] = p[1] = p[2] = inner ? 255 : 0; // channel 0 as stb hands a grey+alpha page
            p[3] = 255;                           // channel 1
        }
    }
    return rgba;
}

// A second page like the first, whose 'B' cell is glyph coverage all over (no outline ring).
std::vector<std::uint8_t> SecondPageRgba()
{
    std::vector<std::uint8_t> rgba(16 * 16 * 4, 0);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            std::uint8_t* p = &rgba[static_cast<std::size_t>(y * 16 + x) * 4];
            p[0] = p[1] = p[2] = p[3] = 255;
        }
    }
    return rgba;
}

// 'A' and '?' on page 0; with two pages, 'B' at the top left of page 1.
std::vector<std::uint8_t> FontBytes(std::uint16_t pageCount = 1)
{
    using namespace Lumora::Internal;
    LftFontData data;
    data.lineHeight = 16;
    data.ascent = 12;
    data.pageCount = pageCount;
    data.pageWidth = 16;
    data.pageHeight = 16;
    data.outlineWidth = 2;
    data.fallbackCode = '?';
    data.glyphs.push_back(LftGlyph{'?', 0, 8, 8, 8, 8, 0, 12, 8});
    data.glyphs.push_back(LftGlyph{'A', 0, 0, 0, 8, 8, 0, 12, 8}); // top of the cell on the line's top
    if (pageCount > 1) {
        data.glyphs.push_back(LftGlyph{'B', 1, 0, 0, 8, 8, 0, 12, 8});
    }
    return EncodeLft(data);
}

class Fonts : public RenderTest::HeadlessEngine {
protected:
    void Boot(bool pixels)
    {
        HeadlessEngine::Boot(pixels);
        files->Put("Test.lft", FontBytes());
        files->Put("Test_0.tga", RenderTest::Tga(16, 16, PageRgba()));
    }

    Lumora::IFont* Create(std::string& said)
    {
        ::testing::internal::CaptureStderr();
        Lumora::IFont* font = render->CreateFont("Test.lft", "tga", 64, 1, 64);
        said = ::testing::internal::GetCapturedStderr();
        return font;
    }
};

class FontRecording : public Fonts {
protected:
    void SetUp() override { Boot(false); }
};

class FontPixels : public Fonts {
protected:
    void SetUp() override { Boot(true); }
};

TEST_F(FontRecording, ATextIsRecordedOnceWithItsBytesColoursAndPlace)
{
    std::string said;
    Lumora::IFont* font = Create(said);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->IsInvalid(), 0);
    EXPECT_TRUE(said.empty()) << said;
    render->BeginFrame();
    render->SetBlendMode(0);
    font->Begin(0);
    font->DrawText("AA", 16, 32, 0xFF000000, 0xFFFFFFFF);
    font->DrawText("A", 16, 64, 0x88000000, 0xFFFFFFFF);
    font->End();
    font->Render();
    render->EndFrame();
    const auto draws = Lumora::Testing::GetLastFrame();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].kind, RecordedDraw::Kind::Text);
    EXPECT_EQ(draws[0].text, "AA");
    EXPECT_EQ(draws[0].texture, "Test.lft");
    EXPECT_EQ(draws[0].destination.x, 16.0f);
    EXPECT_EQ(draws[0].destination.y, 32.0f);
    EXPECT_EQ(draws[0].argb, 0xFF000000u);
    EXPECT_EQ(draws[0].outlineArgb, 0xFFFFFFFFu);
    EXPECT_EQ(draws[1].argb, 0x88000000u);
    EXPECT_EQ(draws[1].destination.y, 64.0f);

    // Begin starts a new list; texts drawn outside Begin/End are ignored.
    font->Begin(0);
    font->End();
    font->DrawText("A", 0, 0, 0xFFFFFFFF, 0);
    render->BeginFrame();
    font->Render();
    render->EndFrame();
    EXPECT_TRUE(Lumora::Testing::GetLastFrame().empty());
    font->Release();
}

TEST_F(FontRecording, FontsThatCannotLoadAreInvalidAndSayWhy)
{
    auto expectInvalid = [&](const char* why, const std::string& mention) {
        std::string said;
        Lumora::IFont* font = Create(said);
        ASSERT_NE(font, nullptr) << why;
        EXPECT_NE(font->IsInvalid(), 0) << why;
        EXPECT_NE(said.find(mention), std::string::npos) << why << ": " << said;
        font->Begin(0);
        font->DrawText("A", 0, 0, 0xFFFFFFFF, 0); // harmless, draws nothing
        font->End();
        render->BeginFrame();
        font->Render();
        render->EndFrame();
        EXPECT_TRUE(Lumora::Testing::GetLastFrame().empty()) << why;
        font->Release();
    };
    files->Put("Test.lft", FontBytes(2)); // its second page file is missing
    expectInvalid("missing page", "Test_1.tga");
    std::vector<std::uint8_t> cut = FontBytes();
    cut.pop_back();
    files->Put("Test.lft", cut);
    expectInvalid("cut-off font file", "\"Test.lft\"");
    files->Put("Test.lft", {});
    expectInvalid("empty font file", "\"Test.lft\"");
}

// The RGB of a screen pixel of the last frame, 0xRRGGBB.
std::uint32_t PixelAt(const std::vector<std::uint8_t>& pixels, int x, int y)
{
    const std::size_t i = (static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x)) * 4;
    return (static_cast<std::uint32_t>(pixels[i]) << 16) | (pixels[i + 1] << 8) | pixels[i + 2];
}

// Draws one frame of `text` at (100, 50), red on a white outline over blue; returns what
// the font said on stderr meanwhile and the frame's pixels.
std::string DrawFrame(Lumora::IRender* render, Lumora::IFont* font, const char* text,
                      std::vector<std::uint8_t>& pixels)
{
    ::testing::internal::CaptureStderr();
    render->SetClearColor(0xFF0000FF);
    render->BeginFrame();
    font->Begin(0);
    font->DrawText(text, 100, 50, 0xFFFF0000, 0xFFFFFFFF);
    font->End();
    font->Render();
    render->EndFrame();
    std::string said = ::testing::internal::GetCapturedStderr();
    std::int32_t width = 0;
    pixels = Lumora::Testing::ReadPixels(&width);
    EXPECT_EQ(width, 640);
    return said;
}

TEST_F(FontPixels, AGlyphOfAPageNotYetUsedDrawsRightOnItsFirstDraw)
{
    files->Put("Test.lft", FontBytes(2));
    files->Put("Test_1.tga", RenderTest::Tga(16, 16, SecondPageRgba()));
    std::string said;
    Lumora::IFont* font = Create(said);
    ASSERT_EQ(font->IsInvalid(), 0);
    EXPECT_TRUE(said.empty()) << said;
    std::vector<std::uint8_t> pixels;
    EXPECT_TRUE(DrawFrame(render, font, "A", pixels).empty());
    EXPECT_EQ(PixelAt(pixels, 104, 54), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 100, 50), 0xFFFFFFu);

    // 'B' comes from page 1, decoded by this draw: its whole cell is fill, next to 'A'.
    EXPECT_TRUE(DrawFrame(render, font, "AB", pixels).empty());
    EXPECT_EQ(PixelAt(pixels, 104, 54), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 108, 50), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 115, 57), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 117, 54), 0x0000FFu);
    // And the frames after draw it the same.
    EXPECT_TRUE(DrawFrame(render, font, "BA", pixels).empty());
    EXPECT_EQ(PixelAt(pixels, 100, 50), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 107, 57), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 112, 54), 0xFF0000u);
    font->Release();
}

TEST_F(FontPixels, ADamagedLaterPageLeavesTheFontDrawingItsOtherPages)
{
    files->Put("Test.lft", FontBytes(2));
    std::vector<std::uint8_t> damaged = RenderTest::Tga(16, 16, SecondPageRgba());
    damaged.resize(damaged.size() / 2); // cut off inside its pixel data
    files->Put("Test_1.tga", damaged);
    std::string said;
    Lumora::IFont* font = Create(said);
    ASSERT_EQ(font->IsInvalid(), 0);
    EXPECT_TRUE(said.empty()) << said; // nothing is decoded yet

    std::vector<std::uint8_t> pixels;
    said = DrawFrame(render, font, "AB", pixels);
    EXPECT_NE(said.find("\"Test_1.tga\""), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(PixelAt(pixels, 104, 54), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 110, 54), 0x0000FFu); // 'B' draws nothing, and its advance stays
    // Said once: later draws of the page's glyphs are quiet and still draw nothing.
    said = DrawFrame(render, font, "BA", pixels);
    EXPECT_TRUE(said.empty()) << said;
    EXPECT_EQ(PixelAt(pixels, 104, 54), 0x0000FFu);
    EXPECT_EQ(PixelAt(pixels, 112, 54), 0xFF0000u);

    // A page of the wrong size is refused at its first use the same way, and so is the
    // only page of a font.
    files->Put("Test_1.tga", RenderTest::Tga(8, 8, std::vector<std::uint8_t>(8 * 8 * 4, 255)));
    files->Put("Test_0.tga", {1, 2, 3});
    Lumora::IFont* other = Create(said);
    ASSERT_EQ(other->IsInvalid(), 0);
    said = DrawFrame(render, other, "AB", pixels);
    EXPECT_NE(said.find("\"Test_0.tga\""), std::string::npos) << said;
    EXPECT_NE(said.find("\"Test_1.tga\""), std::string::npos) << said;
    EXPECT_EQ(PixelAt(pixels, 104, 54), 0x0000FFu);
    EXPECT_EQ(PixelAt(pixels, 112, 54), 0x0000FFu);
    other->Release();
    font->Release();
}

TEST_F(FontPixels, AFontFromThePackRootReadsItsPagesOnFirstUse)
{
    // Named from the root, the font reads no page file until a glyph needs it: a page added
    // after the font was made is the one drawn, and a missing page only silences its glyphs.
    files->Put("/Test.lft", FontBytes(2));
    ::testing::internal::CaptureStderr();
    Lumora::IFont* font = render->CreateFont("/Test.lft", "tga", 64, 1, 64);
    std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(font->IsInvalid(), 0);
    EXPECT_TRUE(said.empty()) << said;
    files->Put("/Test_0.tga", RenderTest::Tga(16, 16, PageRgba()));

    std::vector<std::uint8_t> pixels;
    said = DrawFrame(render, font, "AB", pixels);
    EXPECT_NE(said.find("\"/Test_1.tga\""), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(PixelAt(pixels, 104, 54), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 100, 50), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(pixels, 110, 54), 0x0000FFu);
    EXPECT_TRUE(DrawFrame(render, font, "B", pixels).empty());
    font->Release();
}

TEST_F(FontPixels, FillIsDrawnOverTheOutlineAndDimmedTextBlends)
{
    std::string said;
    Lumora::IFont* font = Create(said);
    ASSERT_EQ(font->IsInvalid(), 0);
    render->SetClearColor(0xFF0000FF);
    render->BeginFrame();
    font->Begin(0);
    font->DrawText("A", 100, 50, 0xFFFF0000, 0xFFFFFFFF); // red on a white outline
    font->DrawText("A", 200, 50, 0xFFFF0000, 0x00000000); // no outline
    font->DrawText("A", 300, 50, 0x88000000, 0x00000000); // dimmed black
    font->End();
    font->Render();
    render->EndFrame();
    std::int32_t width = 0;
    const auto pixels = Lumora::Testing::ReadPixels(&width);
    ASSERT_EQ(width, 640);
    auto at = [&](int x, int y) {
        const std::size_t i = (static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x)) * 4;
        return (static_cast<std::uint32_t>(pixels[i]) << 16) | (pixels[i + 1] << 8) | pixels[i + 2];
    };
    // The glyph's cell lies at (x, y) 8 x 8 (its top on the line's top); the glyph inside.
    EXPECT_EQ(at(104, 54), 0xFF0000u);
    EXPECT_EQ(at(100, 50), 0xFFFFFFu);
    EXPECT_EQ(at(107, 57), 0xFFFFFFu);
    EXPECT_EQ(at(110, 54), 0x0000FFu);
    EXPECT_EQ(at(204, 54), 0xFF0000u);
    EXPECT_EQ(at(200, 50), 0x0000FFu); // outline alpha 0: nothing around the glyph
    const std::uint32_t dimmed = at(304, 54);
    EXPECT_EQ(dimmed >> 16, 0u);
    EXPECT_NEAR(static_cast<int>(dimmed & 0xFF), 255 - 0x88, 2); // blue dimmed by the black
    font->Release();
}

} // namespace

namespace {

// In the normal mode pages decode on helper threads: the text shows within a few frames
// of its first draw and stays; a damaged page leaves only its own glyphs out.
TEST_F(FontPixels, PagesDecodedInTheBackgroundShowTheirGlyphsSoonAfterTheFirstDraw)
{
    Lumora::Internal::Font::SetBackgroundDecoding(true);
    files->Put("Test.lft", FontBytes(2));
    std::vector<std::uint8_t> damaged = RenderTest::Tga(16, 16, SecondPageRgba());
    damaged.resize(damaged.size() / 2);
    files->Put("Test_1.tga", damaged);
    std::string said;
    Lumora::IFont* font = Create(said);
    Lumora::Internal::Font::SetBackgroundDecoding(std::nullopt);
    ASSERT_EQ(font->IsInvalid(), 0);

    std::vector<std::uint8_t> pixels;
    int frames = 0;
    do {
        DrawFrame(render, font, "AB", pixels);
        ++frames;
    } while (PixelAt(pixels, 104, 54) != 0xFF0000u && frames < 500);
    EXPECT_EQ(PixelAt(pixels, 104, 54), 0xFF0000u) << "'A' never showed in " << frames << " frames";
    for (int more = 0; more < 5; ++more) {
        DrawFrame(render, font, "AB", pixels);
    }
    EXPECT_EQ(PixelAt(pixels, 110, 54), 0x0000FFu) << "'B' draws nothing";
    EXPECT_EQ(PixelAt(pixels, 104, 54), 0xFF0000u);
    font->Release();
}

} // namespace
