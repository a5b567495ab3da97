// Sounds made through the core: named files opened through its file manager and decoded by
// the sound module's plug-ins, heard (headless: recorded) by name.
#include "RenderTestSupport.h"
#include "SoundSystem.h"

#include <Lumora/ICore.h>
#include <Lumora/System.h>
#include <Lumora/Testing.h>

#include <gtest/gtest.h>

namespace {

// A short 16-bit mono WAVE tone.
std::vector<std::uint8_t> Wave()
{
    const std::uint32_t rate = 48000;
    const std::uint32_t samples = 4800;
    std::vector<std::uint8_t> bytes;
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    };
    auto put16 = [&](std::uint16_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto tag = [&](const char* four) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(four[i]));
        }
    };
    tag("RIFF");
    put32(36 + samples * 2);
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    tag("data");
    put32(samples * 2);
    for (std::uint32_t i = 0; i < samples; ++i) {
        put16(static_cast<std::uint16_t>(static_cast<std::int16_t>((i / 20) % 2 == 0 ? 12000 : -12000)));
    }
    return bytes;
}

class CoreSound : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lumora::Testing::EnableHeadless();
        ASSERT_NE(Lumora::System::Initialize(1, 1, 1), 0);
        Lumora::Internal::SetPluginDirectory(TOMARUGI_TEST_PLUGIN_DIR);
        core = Lumora::System::CreateCore();
        ASSERT_NE(core->Initialize("t", 0), 0);
        files = new RenderTest::MemoryFileManager();
        files->Put("decision.wav", Wave());
        core->SetFileManager(files);
    }
    void TearDown() override
    {
        Lumora::SafeRelease(files);
        Lumora::SafeRelease(core);
        Lumora::Internal::SetPluginDirectory(nullptr);
        Lumora::System::Finalize();
        Lumora::Testing::DisableHeadless();
    }
    Lumora::ICore* core = nullptr;
    RenderTest::MemoryFileManager* files = nullptr;
};

TEST_F(CoreSound, AnEffectNamedInTheCurrentDirectoryPlaysAndIsRecordedByName)
{
    Lumora::ISound* sound = core->CreateSound("decision.wav", 1, 0);
    ASSERT_NE(sound, nullptr);
    Lumora::Testing::TakeSoundEvents();
    sound->SetVolume(0, 80.0f);
    sound->Play(0, 0);
    Lumora::Testing::MixSound(480);
    const auto events = Lumora::Testing::TakeSoundEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, Lumora::Testing::SoundEvent::Kind::Volume);
    EXPECT_FLOAT_EQ(events[0].volume, 80.0f);
    EXPECT_EQ(events[1].kind, Lumora::Testing::SoundEvent::Kind::Play);
    EXPECT_EQ(events[1].name, "decision.wav");
    EXPECT_GT(Lumora::Internal::GetLastMixLevels().peak, 0.0f); // really mixed, not just noted
    sound->Release();
}

TEST_F(CoreSound, MissingFilesAndDecodersGiveNullNamingTheFile)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(core->CreateSound("cancel.wav", 1, 0), nullptr);
    EXPECT_EQ(core->CreateStreamSound("decision.wav", 0, "NoSuchDecoder"), nullptr);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("cancel.wav"), std::string::npos) << said;
    EXPECT_NE(said.find("NoSuchDecoder"), std::string::npos) << said;
}

} // namespace
