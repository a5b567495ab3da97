// Textures: decoded where they are made, refused with one named line when the file is bad.
#include "HeadlessEngine.h"

#include "Texture.h"

#include <thread>

namespace {

class TextureLoading : public RenderTest::HeadlessEngine {
protected:
    void SetUp() override { Boot(false); }

    // Loads `bytes` as `name`; returns the texture and what was said on stderr.
    Lumora::ITexture* Load(const std::string& name, std::vector<std::uint8_t> bytes, std::string& said)
    {
        files->Put(name, std::move(bytes));
        ::testing::internal::CaptureStderr();
        Lumora::ITexture* texture = render->CreateTextureFromFile(name.c_str());
        said = ::testing::internal::GetCapturedStderr();
        return texture;
    }
};

std::vector<std::uint8_t> Checker()
{
    // 2 x 2: red, green / blue, half-transparent white.
    return {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};
}

TEST_F(TextureLoading, PngAndTgaDecodeToTheSameTexels)
{
    std::string said;
    Lumora::ITexture* png = Load("a.png", RenderTest::Png(2, 2, Checker()), said);
    Lumora::ITexture* tga = Load("a.tga", RenderTest::Tga(2, 2, Checker()), said);
    ASSERT_NE(png, nullptr);
    ASSERT_NE(tga, nullptr);
    EXPECT_EQ(png->GetWidth(), 2);
    EXPECT_EQ(tga->GetHeight(), 2);
    EXPECT_STREQ(tga->GetName(), "a.tga");
    auto& pngTexels = static_cast<Lumora::Internal::Texture*>(png)->Pixels();
    auto& tgaTexels = static_cast<Lumora::Internal::Texture*>(tga)->Pixels();
    EXPECT_EQ(pngTexels, Checker());
    EXPECT_EQ(tgaTexels, Checker());
    png->Release();
    tga->Release();
}

TEST_F(TextureLoading, PremultiplyOptionScalesColoursByAlpha)
{
    render->SetTextureLoadOptions(3, 0, 1, 0);
    std::string said;
    Lumora::ITexture* texture = Load("p.png", RenderTest::Png(2, 2, Checker()), said);
    ASSERT_NE(texture, nullptr);
    const auto& texels = static_cast<Lumora::Internal::Texture*>(texture)->Pixels();
    EXPECT_EQ(texels[0], 255);  // opaque texels keep their colour
    EXPECT_EQ(texels[12], 128); // 255 at alpha 128
    EXPECT_EQ(texels[15], 128);
    texture->Release();

    render->SetTextureLoadOptions(1, 0, 0, 0);
    texture = Load("s.png", RenderTest::Png(2, 2, Checker()), said);
    EXPECT_EQ(static_cast<Lumora::Internal::Texture*>(texture)->Pixels()[12], 255);
    texture->Release();
}

// Mipmaps are made with the texels, off the drawing thread: every level down to 1 x 1, each
// the 2 x 2 average of the one above.
TEST_F(TextureLoading, MipmappedTexturesCarryEveryLevelDownToOneTexel)
{
    // 8 x 2: columns alternate black and white, the bottom row's alpha is 0.
    std::vector<std::uint8_t> stripes;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 8; ++x) {
            const std::uint8_t v = x % 2 == 0 ? 0 : 255;
            stripes.insert(stripes.end(), {v, v, v, static_cast<std::uint8_t>(y == 0 ? 255 : 0)});
        }
    }
    render->SetTextureLoadOptions(3, 0, 0, 0);
    std::string said;
    Lumora::ITexture* texture = Load("stripes.png", RenderTest::Png(8, 2, stripes), said);
    ASSERT_NE(texture, nullptr);
    auto& levels = static_cast<Lumora::Internal::Texture*>(texture)->MipLevels();
    ASSERT_EQ(levels.size(), 3u); // 4 x 1, 2 x 1, 1 x 1
    ASSERT_EQ(levels[0].size(), 4u * 4u);
    ASSERT_EQ(levels[1].size(), 2u * 4u);
    ASSERT_EQ(levels[2].size(), 4u);
    for (const auto& level : levels) {
        for (std::size_t i = 0; i < level.size(); i += 4) {
            EXPECT_EQ(level[i], 128); // (0 + 255) / 2, rounded
            EXPECT_EQ(level[i + 3], 128);
        }
    }
    EXPECT_EQ(static_cast<Lumora::Internal::Texture*>(texture)->Pixels(), stripes); // level 0 untouched
    texture->Release();

    for (std::uint32_t filter : {1u, 2u}) {
        render->SetTextureLoadOptions(filter, 0, 0, 0);
        texture = Load("plain.png", RenderTest::Png(8, 2, stripes), said);
        ASSERT_NE(texture, nullptr);
        EXPECT_TRUE(static_cast<Lumora::Internal::Texture*>(texture)->MipLevels().empty()) << "filter " << filter;
        texture->Release();
    }
}

TEST(HalveImage, OddSizesSampleBetweenTheCoveredTexels)
{
    // 3 x 1 to 1 x 1: the middle texel's centre, exactly.
    const std::vector<std::uint8_t> three = {0, 0, 0, 0, 200, 100, 50, 255, 40, 40, 40, 40};
    EXPECT_EQ(Lumora::Internal::HalveImage(three.data(), 3, 1), (std::vector<std::uint8_t>{200, 100, 50, 255}));
    // 1 x 4 to 1 x 2: pairs of rows.
    const std::vector<std::uint8_t> column = {0, 0, 0, 0, 100, 100, 100, 100, 10, 20, 30, 40, 30, 40, 50, 60};
    EXPECT_EQ(Lumora::Internal::HalveImage(column.data(), 1, 4),
              (std::vector<std::uint8_t>{50, 50, 50, 50, 20, 30, 40, 50}));
    // 5 x 1 to 2 x 1: the centres fall at 0.75 and 3.25 source texels.
    const std::vector<std::uint8_t> ramp = {0, 0, 0, 0, 100, 0, 0, 0, 200, 0, 0, 0, 200, 0, 0, 0, 100, 0, 0, 0};
    EXPECT_EQ(Lumora::Internal::HalveImage(ramp.data(), 5, 1), (std::vector<std::uint8_t>{75, 0, 0, 0, 175, 0, 0, 0}));
    // A single texel stays itself.
    const std::vector<std::uint8_t> one = {1, 2, 3, 4};
    EXPECT_EQ(Lumora::Internal::HalveImage(one.data(), 1, 1), one);
}

TEST_F(TextureLoading, BadFilesGiveNullAndOneLineNamingTheFile)
{
    std::vector<std::uint8_t> png = RenderTest::Png(16, 16, RenderTest::SolidRgba(16, 16, 0x336699FF));
    std::vector<std::uint8_t> cutPng(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
    std::vector<std::uint8_t> damagedPng = png;
    for (std::size_t i = 40; i < damagedPng.size() - 12; ++i) {
        damagedPng[i] ^= 0x5A;
    }
    std::vector<std::uint8_t> tga = RenderTest::Tga(16, 16, RenderTest::SolidRgba(16, 16, 0x336699FF));
    std::vector<std::uint8_t> cutTga(tga.begin(), tga.end() - 100);
    std::vector<std::uint8_t> hugeTga = tga;
    hugeTga[12] = 0xFF; // 65535 x 16 announced
    hugeTga[13] = 0xFF;
    std::vector<std::uint8_t> badTypeTga = tga;
    badTypeTga[2] = 7;
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> cases = {
        {"cut.png", cutPng},         {"damaged.png", damagedPng}, {"cut.tga", cutTga},
        {"huge.tga", hugeTga},       {"type.tga", badTypeTga},    {"empty.png", {}},
        {"text.tga", {'h', 'e', 'l', 'l', 'o'}},
    };
    for (const auto& [name, bytes] : cases) {
        std::string said;
        Lumora::ITexture* texture = Load(name, bytes, said);
        EXPECT_EQ(texture, nullptr) << name;
        EXPECT_NE(said.find("\"" + name + "\""), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        Lumora::SafeRelease(texture);
    }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(render->CreateTextureFromFile("missing.png"), nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("\"missing.png\""), std::string::npos);
}

TEST_F(TextureLoading, RunLengthTgaIsCheckedPacketByPacket)
{
    // 4 x 1 picture: one run packet of 3 pixels, then one raw pixel.
    std::vector<std::uint8_t> tga(18, 0);
    tga[2] = 10;
    tga[12] = 4;
    tga[14] = 1;
    tga[16] = 32;
    tga[17] = 0x28;
    const std::vector<std::uint8_t> body = {0x82, 10, 20, 30, 255, 0x00, 40, 50, 60, 255};
    tga.insert(tga.end(), body.begin(), body.end());
    std::string said;
    Lumora::ITexture* whole = Load("rle.tga", tga, said);
    ASSERT_NE(whole, nullptr);
    const auto& texels = static_cast<Lumora::Internal::Texture*>(whole)->Pixels();
    EXPECT_EQ(texels[8], 30); // third pixel from the run, red from BGR
    EXPECT_EQ(texels[12], 60);
    whole->Release();

    tga.pop_back(); // the raw pixel loses its alpha byte
    EXPECT_EQ(Load("rle-cut.tga", tga, said), nullptr);
}

TEST_F(TextureLoading, ALoaderThreadDecodesWhileTheMainThreadDraws)
{
    files->Put("late.png", RenderTest::Png(2, 2, Checker()));
    Lumora::IRender* loader = device->CreateRender(0, 1);
    Lumora::ITexture* loaded = nullptr;
    std::thread worker([&] { loaded = loader->CreateTextureFromFile("late.png"); });
    worker.join();
    ASSERT_NE(loaded, nullptr);
    render->BeginFrame();
    render->DrawTexture({0, 0, 2, 2}, 0xFFFFFFFF, {0, 0, 2, 2}, loaded, 0, {});
    render->EndFrame();
    EXPECT_EQ(Lumora::Testing::GetLastFrame().at(0).texture, "late.png");
    loaded->Release();
    loader->Release();
}

} // namespace

namespace {

class DeviceLifetime : public RenderTest::HeadlessEngine {
protected:
    void SetUp() override { Boot(false); }
};

TEST_F(DeviceLifetime, ADeviceKeepsReadingFilesAfterTheGameLetsGoOfTheCore)
{
    files->Put("late.png", RenderTest::Png(2, 2, RenderTest::SolidRgba(2, 2, 0xFFFFFFFF)));
    Lumora::SafeRelease(core);
    Lumora::ITexture* texture = render->CreateTextureFromFile("late.png");
    EXPECT_NE(texture, nullptr);
    Lumora::SafeRelease(texture);
}

} // namespace
