// Fonts: loading (and refusing) .lft files and their pages, what a text records, and the
// fill colour drawn over the outline colour.
#include "HeadlessEngine.h"

#include "LftFont.h"

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

std::vector<std::uint8_t> FontBytes()
{
    using namespace Lumora::Internal;
    LftFontData data;
    data.lineHeight = 16;
    data.ascent = 12;
    data.pageCount = 1;
    data.pageWidth = 16;
    data.pageHeight = 16;
    data.outlineWidth = 2;
    data.fallbackCode = '?';
    data.glyphs.push_back(LftGlyph{'?', 0, 8, 8, 8, 8, 0, 12, 8});
    data.glyphs.push_back(LftGlyph{'A', 0, 0, 0, 8, 8, 0, 12, 8}); // top of the cell on the line's top
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
    files->Put("Test_0.tga", {1, 2, 3});
    expectInvalid("damaged page", "Test_0.tga");
    std::vector<std::uint8_t> cut = FontBytes();
    cut.pop_back();
    files->Put("Test.lft", cut);
    expectInvalid("cut-off font file", "\"Test.lft\"");
    files->Put("Test.lft", {});
    expectInvalid("empty font file", "\"Test.lft\"");
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
