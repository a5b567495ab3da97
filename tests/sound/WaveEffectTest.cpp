// Sound effects from WAVE data, decoded through the game's own Wave.lmp, the way the game's
// "decision.wav" and friends are made.
#include "SoundTestSupport.h"

#include <gmock/gmock.h>

#include <cctype>
#include <filesystem>

using ::testing::HasSubstr;

namespace SoundTest {
namespace {

// A RIFF WAVE file with a 16-byte PCM format chunk; `lowerCase` writes every tag in lower
// case; `declaredSize` >= 0 replaces the data chunk's size.
std::vector<std::uint8_t> RiffWave(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
    const std::vector<std::uint8_t>& samples, bool lowerCase = false, std::int64_t declaredSize = -1,
    std::uint16_t formatTag = 1)
{
    std::vector<std::uint8_t> bytes;
    auto tag = [&](const char* text) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(lowerCase ? std::tolower(text[i]) : text[i]));
        }
    };
    auto u32 = [&](std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    };
    auto u16 = [&](std::uint16_t value) {
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    auto blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    tag("RIFF");
    u32(static_cast<std::uint32_t>(36 + samples.size()));
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(formatTag);
    u16(channels);
    u32(rate);
    u32(rate * blockAlign);
    u16(blockAlign);
    u16(bits);
    tag("data");
    u32(static_cast<std::uint32_t>(declaredSize >= 0 ? declaredSize : static_cast<std::int64_t>(samples.size())));
    bytes.insert(bytes.end(), samples.begin(), samples.end());
    return bytes;
}

class WaveEffect : public HeadlessSound {
protected:
    void SetUp() override
    {
        HeadlessSound::SetUp();
        ASSERT_TRUE(std::filesystem::exists(std::string(SOUND_GAME_DIR) + "/Wave.lmp"))
            << "Wave.lmp is built into the game folder with the tests";
        Lumora::Internal::SetPluginDirectory(SOUND_GAME_DIR);
    }

    // Made through CreateSound, which picks the decoder from the data; owned by the test.
    Lumora::ISound* Make(const std::vector<std::uint8_t>& bytes, std::string* message = nullptr)
    {
        MemoryFile* file = MemoryFile::Create("decision.wav", bytes);
        ::testing::internal::CaptureStderr();
        Lumora::ISound* sound = Lumora::Internal::CreateSound(file);
        std::string text = ::testing::internal::GetCapturedStderr();
        if (message != nullptr) {
            *message = text;
        }
        file->Release();
        return sound;
    }
};

TEST_F(WaveEffect, SixteenBitStereoPlaysAsWritten)
{
    Lumora::ISound* sound = Make(RiffWave(2, 48000, 16, Constant16(4800, {8192, -16384})));
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 0);
    std::vector<float> mix = Mix(480);
    for (std::size_t i = 0; i < mix.size(); i += 2) {
        ASSERT_NEAR(mix[i], 0.25f, 1e-6f);
        ASSERT_NEAR(mix[i + 1], -0.5f, 1e-6f);
    }
    sound->Release();
}

TEST_F(WaveEffect, LowerCaseTagsAndEightBitMonoAreAccepted)
{
    Lumora::ISound* sound = Make(RiffWave(1, 22050, 8, std::vector<std::uint8_t>(2205, 64), true));
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 0);
    Mix(480);
    EXPECT_NEAR(Lumora::Internal::GetLastMixLevels().peak, 0.5f, 1e-5f);
    Mix(4800);
    Mix(480);
    EXPECT_EQ(Lumora::Internal::GetLastMixLevels().peak, 0.0f) << "a tenth of a second, then silence";
    sound->Release();
}

TEST_F(WaveEffect, ADataChunkClaimingMoreThanTheFileNeverPlaysPastItsSamples)
{
    // Either the claim is refused, or the sound holds the 100 frames that are there; the
    // decoder's looping must never pad it out with repeats.
    std::string message;
    Lumora::ISound* sound = Make(RiffWave(1, 48000, 16, Constant16(100, {16384}), false, 1 << 20), &message);
    if (sound == nullptr) {
        EXPECT_THAT(message, HasSubstr("\"decision.wav\""));
        return;
    }
    sound->Play(0, 0);
    std::vector<float> mix = Mix(480);
    EXPECT_NEAR(mix[2 * 99], 0.5f, 1e-6f);
    for (std::size_t frame = 101; frame < 480; ++frame) {
        ASSERT_EQ(mix[2 * frame], 0.0f) << "frame " << frame;
    }
    sound->Release();
}

TEST_F(WaveEffect, FloatingPointWaveIsRefused)
{
    std::string message;
    Lumora::ISound* sound = Make(RiffWave(1, 48000, 32, std::vector<std::uint8_t>(400, 0), false, -1, 3), &message);
    EXPECT_EQ(sound, nullptr);
    EXPECT_THAT(message, HasSubstr("\"decision.wav\""));
    Lumora::SafeRelease(sound);
}

} // namespace
} // namespace SoundTest
