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
