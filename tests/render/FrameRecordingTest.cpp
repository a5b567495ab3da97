// What a frame records: every 2D draw in call order with its rectangles, colour and blend
// mode, and how the backend groups the draws into runs.
#include "HeadlessEngine.h"

#include "FrameList.h"
#include "Texture.h"

using Lumora::Math::Rect;
using Lumora::Testing::RecordedDraw;

namespace {

class FrameRecording : public RenderTest::HeadlessEngine {
protected:
    void SetUp() override
    {
        Boot(false);
        circle = LoadPng("circle.png", 4, 4, RenderTest::SolidRgba(4, 4, 0x80C0FFFF));
        labels = LoadPng("labels.png", 8, 8, RenderTest::SolidRgba(8, 8, 0x102030FF));
        ASSERT_NE(circle, nullptr);
        ASSERT_NE(labels, nullptr);
    }
    void TearDown() override
    {
        Lumora::SafeRelease(circle);
        Lumora::SafeRelease(labels);
        HeadlessEngine::TearDown();
    }

    Lumora::ITexture* circle = nullptr;
    Lumora::ITexture* labels = nullptr;
};

TEST_F(FrameRecording, DrawsKeepTheirOrderRectanglesColoursAndBlendModes)
{
    render->SetClearColor(0xFFFCFCFC);
    render->BeginFrame();
    render->SetBlendMode(0);
    render->DrawTexture(Rect(0, 0, 640, 480), 0xFFFFFFFF, Rect(3, 0, 1, 1), circle, 0, {});
    render->SetBlendMode(1);
    render->DrawTexture(Rect(120, 222, 400, 36), 0x80FFFFFF, Rect(0, 0, 4, 4), labels, 0, {});
    Lumora::ISprite2D* sprite = render->CreateSprite2D(12, labels, 0, 0, 0, 0);
    sprite->Begin();
    sprite->DrawSquare(Rect(0, 32, 256, 64), Rect(0, 0, 8, 4), 0xFFFFFFFF);
    sprite->DrawSquare(Rect(0, 160, 256, 64), Rect(0, 4, 8, 4), 0x88FFFFFF);
    sprite->End();
    render->SetBlendMode(0);
    sprite->Render();
    render->EndFrame();
    sprite->Release();

    const std::vector<RecordedDraw> draws = Lumora::Testing::GetLastFrame();
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(Lumora::Testing::GetLastClearColor(), 0xFFFCFCFCu);

    EXPECT_EQ(draws[0].kind, RecordedDraw::Kind::Texture);
    EXPECT_EQ(draws[0].texture, "circle.png");
    EXPECT_EQ(draws[0].destination, Rect(0, 0, 640, 480));
    EXPECT_EQ(draws[0].source, Rect(3, 0, 1, 1));
    EXPECT_EQ(draws[0].blendMode, 0);

    EXPECT_EQ(draws[1].texture, "labels.png");
    EXPECT_EQ(draws[1].argb, 0x80FFFFFFu);
    EXPECT_EQ(draws[1].blendMode, 1);

    // Sprite squares take the blend mode in force at Render, not at DrawSquare.
    EXPECT_EQ(draws[2].kind, RecordedDraw::Kind::Sprite);
    EXPECT_EQ(draws[2].destination, Rect(0, 32, 256, 64));
    EXPECT_EQ(draws[2].blendMode, 0);
    EXPECT_EQ(draws[3].source, Rect(0, 4, 8, 4));
    EXPECT_EQ(draws[3].argb, 0x88FFFFFFu);
}

TEST_F(FrameRecording, EachFrameStartsEmptyAndCountsOneSync)
{
    const std::uint32_t syncsBefore = core->GetSyncCount();
    render->BeginFrame();
    render->DrawTexture(Rect(0, 0, 10, 10), 0xFFFFFFFF, Rect(0, 0, 1, 1), circle, 0, {});
    render->EndFrame();
    render->BeginFrame();
    render->EndFrame();
    EXPECT_TRUE(Lumora::Testing::GetLastFrame().empty());
    EXPECT_EQ(core->GetSyncCount(), syncsBefore + 2);
}

TEST_F(FrameRecording, ATextureReleasedBeforeEndFrameIsStillDrawn)
{
    render->BeginFrame();
    render->DrawTexture(Rect(1, 2, 3, 4), 0xFFFFFFFF, Rect(0, 0, 1, 1), circle, 0, {});
    Lumora::SafeRelease(circle);
    render->EndFrame();
    const auto draws = Lumora::Testing::GetLastFrame();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].texture, "circle.png");
}

TEST_F(FrameRecording, NullTexturesAndUnknownBlendModesAreHarmless)
{
    render->BeginFrame();
    render->DrawTexture(Rect(0, 0, 10, 10), 0xFFFFFFFF, Rect(0, 0, 1, 1), nullptr, 0, {});
    Lumora::ISprite2D* empty = render->CreateSprite2D(6, nullptr, 0, 0, 0, 0);
    empty->Begin();
    empty->DrawSquare(Rect(0, 0, 1, 1), Rect(0, 0, 1, 1), 0xFFFFFFFF);
    empty->End();
    empty->Render();
    empty->Release();
    render->SetBlendMode(7);
    render->DrawTexture(Rect(0, 0, 10, 10), 0xFFFFFFFF, Rect(0, 0, 1, 1), circle, 0, {});
    render->EndFrame();
    const auto draws = Lumora::Testing::GetLastFrame();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].blendMode, 0);
}

TEST_F(FrameRecording, SpriteKeepsToItsCapacityAndRedrawsItsClosedList)
{
    Lumora::ISprite2D* sprite = render->CreateSprite2D(13, labels, 0, 0, 0, 0); // room for 2 squares
    sprite->DrawSquare(Rect(9, 9, 9, 9), Rect(0, 0, 1, 1), 0xFFFFFFFF);       // before Begin: ignored
    sprite->Begin();
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 4; ++i) {
        sprite->DrawSquare(Rect(static_cast<float>(i), 0, 1, 1), Rect(0, 0, 1, 1), 0xFFFFFFFF);
    }
    const std::string message = ::testing::internal::GetCapturedStderr();
    sprite->End();
    render->BeginFrame();
    sprite->Render();
    sprite->Render();
    render->EndFrame();
    const auto draws = Lumora::Testing::GetLastFrame();
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(draws[0].destination.x, 0.0f);
    EXPECT_EQ(draws[1].destination.x, 1.0f);
    EXPECT_EQ(draws[2].destination.x, 0.0f);
    EXPECT_NE(message.find("labels.png"), std::string::npos);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);

    // A new Begin empties the list.
    sprite->Begin();
    sprite->End();
    render->BeginFrame();
    sprite->Render();
    render->EndFrame();
    EXPECT_TRUE(Lumora::Testing::GetLastFrame().empty());
    sprite->Release();
}

// Runs decide the draw calls: a new one starts wherever texture, blend mode or shader
// changes, and never merges quads that are apart in the frame.
TEST(QuadRuns, SplitWhereTextureBlendModeOrShaderChanges)
{
    using namespace Lumora::Internal;
    Texture* first = new Texture("a", DecodedImage{1, 1, {0, 0, 0, 0}}, {});
    Texture* second = new Texture("b", DecodedImage{1, 1, {0, 0, 0, 0}}, {});
    auto quad = [](Texture* texture, std::uint8_t blend, QuadShader shader = QuadShader::Picture) {
        Quad q;
        q.texture = texture;
        q.blendMode = blend;
        q.shader = shader;
        return q;
    };
    FrameList frame;
    frame.Add(quad(first, 0));
    frame.Add(quad(first, 0));
    frame.Add(quad(first, 0)); // run 1: three quads
    frame.Add(quad(first, 1)); // run 2: blend changed
    frame.Add(quad(second, 1));
    frame.Add(quad(second, 1)); // run 3
    frame.Add(quad(first, 1));  // run 4: back to the first texture, not merged with run 2
    frame.Add(quad(first, 1, QuadShader::Text)); // run 5: text shader
    std::vector<QuadRun> runs;
    BuildRuns(frame.Quads(), runs);
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].count, 3u);
    EXPECT_EQ(runs[1].first, 3u);
    EXPECT_EQ(runs[2].first, 4u);
    EXPECT_EQ(runs[2].count, 2u);
    EXPECT_EQ(runs[3].first, 6u);
    EXPECT_EQ(runs[4].first, 7u);
    // The frame holds its own references (one per stretch of the same texture), so the
    // texture outlives our release until Clear.
    EXPECT_EQ(first->Release(), 2);
    frame.Clear();
    second->Release();
}

} // namespace
