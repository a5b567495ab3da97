// Real pixels through offscreen OpenGL: fills, blending, order and the read-back.
#include "HeadlessEngine.h"

#include "GraphicsDevice.h"
#include "ImageCodec.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

using Lumora::Math::Rect;

namespace {

class Pixels : public RenderTest::HeadlessEngine {
protected:
    void SetUp() override { Boot(true); }

    std::vector<std::uint8_t> Frame()
    {
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::vector<std::uint8_t> pixels = Lumora::Testing::ReadPixels(&width, &height);
        EXPECT_EQ(width, 640);
        EXPECT_EQ(height, 480);
        return pixels;
    }

    // RGB of the pixel at (x, y) from the top left, as 0xRRGGBB.
    static std::uint32_t At(const std::vector<std::uint8_t>& pixels, int x, int y)
    {
        const std::size_t i = (static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x)) * 4;
        return (static_cast<std::uint32_t>(pixels[i]) << 16) | (pixels[i + 1] << 8) | pixels[i + 2];
    }

    static bool Near(std::uint32_t rgb, std::uint32_t expected, int tolerance = 2)
    {
        for (int shift = 0; shift <= 16; shift += 8) {
            const int a = static_cast<int>((rgb >> shift) & 0xFF);
            const int b = static_cast<int>((expected >> shift) & 0xFF);
            if (std::abs(a - b) > tolerance) {
                return false;
            }
        }
        return true;
    }
};

// 3 x 1: red, green, blue.
std::vector<std::uint8_t> Strip()
{
    return {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255};
}

TEST_F(Pixels, AStretchedTexelFillsExactlyItsRectangleInOneFlatColour)
{
    for (std::uint32_t filter : {1u, 3u}) {
        render->SetTextureLoadOptions(filter, 0, filter == 3 ? 1 : 0, 0);
        Lumora::ITexture* strip = LoadPng("strip.png", 3, 1, Strip());
        ASSERT_NE(strip, nullptr);
        render->SetClearColor(0xFF000000);
        for (int mode : {0, 1}) {
            render->BeginFrame();
            render->SetBlendMode(mode);
            // The green texel, whose neighbours are red and blue, over (100, 50, 200, 100).
            render->DrawTexture(Rect(100, 50, 200, 100), 0xFFFFFFFF, Rect(1, 0, 1, 1), strip, 0, {});
            render->EndFrame();
            const auto pixels = Frame();
            for (int y : {50, 99, 149}) {
                for (int x : {100, 101, 200, 298, 299}) {
                    EXPECT_EQ(At(pixels, x, y), 0x00FF00u) << "mode " << mode << " filter " << filter << " at " << x << "," << y;
                }
            }
            EXPECT_EQ(At(pixels, 99, 60), 0x000000u);
            EXPECT_EQ(At(pixels, 300, 60), 0x000000u);
            EXPECT_EQ(At(pixels, 150, 49), 0x000000u);
            EXPECT_EQ(At(pixels, 150, 150), 0x000000u);
        }
        strip->Release();
    }
}

TEST_F(Pixels, TranslucentPicturesBlendOverWhatIsBelowWhateverTheirAlphaStorage)
{
    const std::vector<std::uint8_t> halfRed = RenderTest::SolidRgba(2, 2, 0xFF000080);
    for (std::uint32_t premultiply : {0u, 1u}) {
        render->SetTextureLoadOptions(1, 0, premultiply, 0);
        Lumora::ITexture* red = LoadPng("red.png", 2, 2, halfRed);
        Lumora::ITexture* white = LoadPng("white.png", 1, 1, RenderTest::SolidRgba(1, 1, 0xFFFFFFFF));
        ASSERT_NE(red, nullptr);
        render->SetClearColor(0xFF0000FF); // blue
        render->BeginFrame();
        render->SetBlendMode(1);
        render->DrawTexture(Rect(0, 0, 100, 100), 0xFFFFFFFF, Rect(0, 0, 2, 2), red, 0, {});
        // A tinted draw with colour alpha 0x88 over the red-on-blue area: dims the white.
        render->SetBlendMode(0);
        render->DrawTexture(Rect(50, 0, 50, 100), 0x88FFFFFF, Rect(0, 0, 1, 1), white, 0, {});
        // Alpha 0 draws nothing.
        render->DrawTexture(Rect(0, 200, 50, 50), 0x00FFFFFF, Rect(0, 0, 1, 1), white, 0, {});
        render->EndFrame();
        const auto pixels = Frame();
        EXPECT_TRUE(Near(At(pixels, 10, 10), 0x80007F)) << std::hex << At(pixels, 10, 10);
        // 0x88 of white over (0x80, 0, 0x7F): 0x88 + (1 - 0x88 / 255) * channel.
        EXPECT_TRUE(Near(At(pixels, 75, 10), 0xC488C3)) << std::hex << At(pixels, 75, 10);
        EXPECT_EQ(At(pixels, 10, 210), 0x0000FFu);
        red->Release();
        white->Release();
    }
}

TEST_F(Pixels, LaterDrawsCoverEarlierOnesAcrossRunsAndTints)
{
    Lumora::ITexture* white = LoadPng("white.png", 1, 1, RenderTest::SolidRgba(1, 1, 0xFFFFFFFF));
    Lumora::ITexture* strip = LoadPng("strip.png", 3, 1, Strip());
    render->SetClearColor(0xFF000000);
    render->BeginFrame();
    render->DrawTexture(Rect(0, 0, 640, 480), 0xFF204060, Rect(0, 0, 1, 1), white, 0, {});
    Lumora::ISprite2D* sprite = render->CreateSprite2D(6 * 3, strip, 0, 0, 0, 0);
    sprite->Begin();
    sprite->DrawSquare(Rect(10, 10, 20, 20), Rect(0, 0, 1, 1), 0xFFFFFFFF);
    sprite->DrawSquare(Rect(20, 20, 20, 20), Rect(2, 0, 1, 1), 0xFFFFFFFF);
    sprite->End();
    sprite->Render();
    render->DrawTexture(Rect(35, 35, 10, 10), 0xFFFFFFFF, Rect(0, 0, 1, 1), white, 0, {});
    render->EndFrame();
    sprite->Release();
    const auto pixels = Frame();
    EXPECT_EQ(At(pixels, 5, 5), 0x204060u);
    EXPECT_EQ(At(pixels, 15, 15), 0xFF0000u);
    EXPECT_EQ(At(pixels, 25, 25), 0x0000FFu); // the second square covers the first
    EXPECT_EQ(At(pixels, 37, 37), 0xFFFFFFu); // the last draw covers the sprite
    white->Release();
    strip->Release();
}

// A mipmapped picture drawn much smaller than it is samples its smaller levels: a one-texel
// black and white checker shrunk 6.4 times is an even grey. Sampling level 0 alone would give
// uneven mixes of the two, and a texture missing its levels would draw black.
TEST_F(Pixels, AShrunkMipmappedPictureSamplesItsSmallerLevels)
{
    std::vector<std::uint8_t> checker;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const std::uint8_t v = (x + y) % 2 == 0 ? 0 : 255;
            checker.insert(checker.end(), {v, v, v, 255});
        }
    }
    render->SetTextureLoadOptions(3, 0, 1, 0);
    Lumora::ITexture* texture = LoadPng("checker.png", 64, 64, checker);
    ASSERT_NE(texture, nullptr);
    render->SetClearColor(0xFFFF0000);
    render->BeginFrame();
    render->SetBlendMode(1); // the texture's own filter
    render->DrawTexture(Rect(100, 100, 10, 10), 0xFFFFFFFF, Rect(0, 0, 64, 64), texture, 0, {});
    render->EndFrame();
    const auto pixels = Frame();
    for (int y = 100; y < 110; ++y) {
        for (int x = 100; x < 110; ++x) {
            EXPECT_TRUE(Near(At(pixels, x, y), 0x808080, 4)) << std::hex << At(pixels, x, y) << " at " << std::dec << x << "," << y;
        }
    }
    EXPECT_EQ(At(pixels, 99, 99), 0xFF0000u);
    texture->Release();
}

TEST_F(Pixels, TextureDecodedOnAnotherThreadReachesTheScreen)
{
    files->Put("strip.png", RenderTest::Png(3, 1, Strip()));
    Lumora::IRender* loader = device->CreateRender(0, 1);
    Lumora::ITexture* strip = nullptr;
    std::thread worker([&] {
        loader->SetTextureLoadOptions(3, 0, 1, 0);
        strip = loader->CreateTextureFromFile("strip.png");
    });
    worker.join();
    ASSERT_NE(strip, nullptr);
    render->BeginFrame();
    render->DrawTexture(Rect(0, 0, 640, 480), 0xFFFFFFFF, Rect(2, 0, 1, 1), strip, 0, {});
    render->EndFrame();
    EXPECT_EQ(At(Frame(), 320, 240), 0x0000FFu);
    strip->Release();
    loader->Release();
}

TEST_F(Pixels, SavedPngHoldsTheFrameTopRowFirst)
{
    Lumora::ITexture* white = LoadPng("white.png", 1, 1, RenderTest::SolidRgba(1, 1, 0xFFFFFFFF));
    render->SetClearColor(0xFF000000);
    render->BeginFrame();
    render->DrawTexture(Rect(0, 0, 640, 1), 0xFFFF0000, Rect(0, 0, 1, 1), white, 0, {});
    render->EndFrame();
    const std::string path = ::testing::TempDir() + "lumora-pixels.png";
    ASSERT_TRUE(Lumora::Testing::SavePixelsPng(path.c_str()));
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    auto image = Lumora::Internal::DecodeImage(bytes.data(), bytes.size(), error);
    ASSERT_TRUE(image.has_value()) << error;
    EXPECT_EQ(image->width, 640);
    EXPECT_EQ(image->rgba[0], 255); // top row red
    EXPECT_EQ(image->rgba[640 * 4], 0); // second row black
    std::remove(path.c_str());
    white->Release();
}

} // namespace

namespace {

// The screenshot key's path: the device writes the next frame where the core asked, off the
// frame's thread; a device released right after still delivers the file.
TEST_F(Pixels, AScreenshotRequestWritesTheNextFrameOnceAsPng)
{
    auto screen = std::make_shared<Lumora::Internal::ScreenState>();
    const std::string path = ::testing::TempDir() + "lumora-screenshot.png";
    screen->screenshotPath = path;
    Lumora::Internal::GraphicsDevice* own = Lumora::Internal::CreateGraphicsDevice(
        Lumora::Internal::CreateGlBackend(nullptr), [this](const char* name) { return files->OpenFile(name); }, screen);
    ASSERT_NE(own, nullptr);
    Lumora::IRender* shooter = own->CreateRender(0, 1);
    shooter->SetClearColor(0xFF336699);
    shooter->BeginFrame();
    shooter->EndFrame();
    EXPECT_TRUE(screen->screenshotPath.empty());
    shooter->Release();
    own->Release();
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    auto image = Lumora::Internal::DecodeImage(bytes.data(), bytes.size(), error);
    ASSERT_TRUE(image.has_value()) << error;
    EXPECT_EQ(image->width, 640);
    EXPECT_EQ(image->height, 480);
    EXPECT_EQ(image->rgba[0], 0x33);
    EXPECT_EQ(image->rgba[2], 0x99);
    EXPECT_EQ(image->rgba[3], 0xFF);
    std::remove(path.c_str());
}

} // namespace

namespace {

TEST_F(Pixels, RotationTurnsThePictureAboutItsCentre)
{
    Lumora::ITexture* strip = LoadPng("strip.png", 3, 1, Strip());
    render->SetClearColor(0xFF000000);
    render->BeginFrame();
    // 90 degrees: the red-green-blue strip, 300 wide and 100 high, stands upright about
    // (320, 240); with screen y downwards, the red left end turns to the top.
    render->DrawTexture(Rect(170, 190, 300, 100), 0xFFFFFFFF, Rect(0, 0, 3, 1), strip, 16384, {});
    render->EndFrame();
    const auto pixels = Frame();
    EXPECT_EQ(At(pixels, 320, 100), 0xFF0000u);
    EXPECT_EQ(At(pixels, 320, 240), 0x00FF00u);
    EXPECT_EQ(At(pixels, 320, 380), 0x0000FFu);
    EXPECT_EQ(At(pixels, 200, 240), 0x000000u); // where the unturned strip would have been
    strip->Release();
}

} // namespace
