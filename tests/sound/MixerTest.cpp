// Sound effects through the real mixer, headless: what a caller's Play, Stop and SetVolume do
// to the recorded events and to the samples that come out.
#include "SoundTestSupport.h"

#include <algorithm>
#include <cmath>

using Lumora::Internal::GetLastMixLevels;
using Lumora::Internal::SoundEvent;
using Lumora::Internal::TakeSoundEvents;

namespace SoundTest {
namespace {

using EffectEvents = HeadlessSound;
using EffectVolume = HeadlessSound;
using EffectFormats = HeadlessSound;
using EffectPlayback = HeadlessSound;

TEST_F(EffectEvents, PlayStopAndVolumeAreRecordedWithTheFileName)
{
    Lumora::ISound* sound = MakeEffect("decision.wav", PcmFormat(1, 48000, 16), Constant16(100, {1000}));
    ASSERT_NE(sound, nullptr);
    sound->SetVolume(0, 70.0f);
    sound->Play(0, 0);
    sound->Play(0, 1);
    sound->Stop(0);
    std::vector<SoundEvent> events = TakeSoundEvents();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, SoundEvent::Kind::Volume);
    EXPECT_FLOAT_EQ(events[0].volume, 70.0f);
    EXPECT_EQ(events[1].kind, SoundEvent::Kind::Play);
    EXPECT_EQ(events[1].loop, 0);
    EXPECT_EQ(events[2].kind, SoundEvent::Kind::Play);
    EXPECT_EQ(events[2].loop, 1);
    EXPECT_EQ(events[3].kind, SoundEvent::Kind::Stop);
    for (const SoundEvent& event : events) {
        EXPECT_EQ(event.name, "decision.wav");
    }
    EXPECT_TRUE(TakeSoundEvents().empty()) << "taking the events empties the record";
}

TEST_F(EffectVolume, ZeroSeventyAndHundredPercentReachTheMix)
{
    // A constant of half full scale: the mix carries exactly gain * 0.5.
    Lumora::ISound* sound = MakeEffect("se.wav", PcmFormat(1, 48000, 16), Constant16(4800, {16384}));
    ASSERT_NE(sound, nullptr);
    float peaks[3];
    const float percents[3] = {0.0f, 70.0f, 100.0f};
    for (int i = 0; i < 3; ++i) {
        sound->SetVolume(0, percents[i]);
        sound->Play(0, 1);
        Mix(480);
        peaks[i] = GetLastMixLevels().peak;
    }
    EXPECT_EQ(peaks[0], 0.0f) << "0 percent is silence";
    EXPECT_NEAR(peaks[2], 0.5f, 1e-4f) << "100 percent is the sound as recorded";
    EXPECT_NEAR(peaks[1], 0.5f * 0.49f, 1e-4f) << "70 percent on the square curve";
    EXPECT_LT(peaks[1], peaks[2]);
}

TEST_F(EffectVolume, OutOfRangeVolumesAreClampedAndAVolumeSetBeforePlayHolds)
{
    EXPECT_EQ(Lumora::Internal::GainFromPercent(-5.0f), 0.0f);
    EXPECT_EQ(Lumora::Internal::GainFromPercent(250.0f), 1.0f);
    EXPECT_EQ(Lumora::Internal::GainFromPercent(std::nanf("")), 0.0f);

    Lumora::ISound* sound = MakeEffect("se.wav", PcmFormat(1, 48000, 16), Constant16(4800, {16384}));
    ASSERT_NE(sound, nullptr);
    sound->SetVolume(0, 50.0f);
    sound->Stop(0);
    sound->Play(0, 0);
    Mix(240);
    EXPECT_NEAR(GetLastMixLevels().peak, 0.5f * 0.25f, 1e-4f);
}

TEST_F(EffectFormats, EightBitIsUnsignedAroundTheMidpointAndMonoFeedsBothSides)
{
    std::vector<std::uint8_t> samples(2000, 192); // 192 - 128 = +0.5 of full scale
    Lumora::ISound* sound = MakeEffect("u8.wav", PcmFormat(1, 48000, 8), samples);
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 1);
    std::vector<float> mix = Mix(100);
    for (std::size_t i = 0; i < mix.size(); ++i) {
        ASSERT_NEAR(mix[i], 0.5f, 1e-6f) << "sample " << i;
    }
    Lumora::ISound* silence = MakeEffect("u8.wav", PcmFormat(2, 48000, 8), std::vector<std::uint8_t>(2000, 128));
    ASSERT_NE(silence, nullptr);
    sound->Stop(0);
    Mix(480); // its fade-out
    silence->Play(0, 1);
    Mix(200);
    EXPECT_EQ(GetLastMixLevels().peak, 0.0f);
}

TEST_F(EffectFormats, SixteenBitStereoKeepsItsSidesApart)
{
    Lumora::ISound* sound = MakeEffect("st.wav", PcmFormat(2, 48000, 16), Constant16(1000, {8192, -16384}));
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 1);
    std::vector<float> mix = Mix(100);
    for (std::size_t i = 0; i < mix.size(); i += 2) {
        ASSERT_NEAR(mix[i], 0.25f, 1e-6f);
        ASSERT_NEAR(mix[i + 1], -0.5f, 1e-6f);
    }
}

TEST_F(EffectFormats, TwoSoundsAddUpAndTheSumIsClipped)
{
    Lumora::ISound* a = MakeEffect("a.wav", PcmFormat(1, 48000, 16), Constant16(1000, {16384}));
    Lumora::ISound* b = MakeEffect("b.wav", PcmFormat(1, 48000, 16), Constant16(1000, {8192}));
    Lumora::ISound* c = MakeEffect("c.wav", PcmFormat(1, 48000, 16), Constant16(1000, {32767}));
    ASSERT_TRUE(a && b && c);
    a->Play(0, 1);
    b->Play(0, 1);
    Mix(50);
    EXPECT_NEAR(GetLastMixLevels().peak, 0.75f, 1e-4f);
    c->Play(0, 1);
    Mix(50);
    EXPECT_EQ(GetLastMixLevels().peak, 1.0f);
}

TEST_F(EffectFormats, ResamplingFrom22050KeepsThePitch)
{
    // 441 Hz for one second at 22050 Hz: 882 sign changes, wherever it is played.
    Lumora::ISound* sound = MakeEffect("tone.wav", PcmFormat(1, 22050, 16), Sine16(441.0, 22050, 22050, 1, 0.8));
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 1);
    std::vector<float> mix = Mix(48000);
    EXPECT_NEAR(CountZeroCrossings(mix, 0), 882, 3);
    EXPECT_NEAR(ChannelRms(mix, 0), 0.8f / std::sqrt(2.0f), 0.01f) << "linear interpolation keeps the level";
}

TEST_F(EffectFormats, ResamplingFrom96000KeepsThePitch)
{
    Lumora::ISound* sound = MakeEffect("tone.wav", PcmFormat(2, 96000, 16), Sine16(1000.0, 96000, 96000, 2, 0.5));
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 0);
    std::vector<float> mix = Mix(48000);
    EXPECT_NEAR(CountZeroCrossings(mix, 1), 2000, 3);
}

TEST_F(EffectPlayback, APlayOnceSoundEndsAndPlayRestartsItFromTheBeginning)
{
    // A rising ramp of 480 frames: the first output frame tells where playback stands.
    std::vector<std::uint8_t> ramp;
    for (int i = 0; i < 480; ++i) {
        auto value = static_cast<std::int16_t>(i * 64);
        ramp.push_back(static_cast<std::uint8_t>(value & 0xFF));
        ramp.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    Lumora::ISound* sound = MakeEffect("ramp.wav", PcmFormat(1, 48000, 16), ramp);
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 0);
    std::vector<float> first = Mix(300);
    EXPECT_EQ(first[0], 0.0f);
    EXPECT_NEAR(first[2 * 299], 299 * 64 / 32768.0f, 1e-6f);
    sound->Play(0, 0); // restart in the middle
    std::vector<float> again = Mix(300);
    EXPECT_EQ(again, first);
    Mix(300);
    Mix(10);
    EXPECT_EQ(GetLastMixLevels().peak, 0.0f) << "a sound played once is silent after its end";
}

TEST_F(EffectPlayback, ALoopedSoundGoesOnUntilStopped)
{
    Lumora::ISound* sound = MakeEffect("drag.wav", PcmFormat(1, 48000, 16), Sine16(480.0, 48000, 100, 1, 0.5));
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 1);
    std::vector<float> mix = Mix(4800);
    // 100 frames hold exactly one period: the loop is the sine itself, with no seam.
    for (int i = 0; i < 4800; ++i) {
        float expected = std::round(0.5f * 32767.0f * std::sin(2.0f * 3.14159265f * (i % 100) / 100.0f)) / 32768.0f;
        ASSERT_NEAR(mix[2 * i], expected, 1e-4f) << "frame " << i;
    }
    sound->Stop(0);
    Mix(240); // the fade-out
    Mix(100);
    EXPECT_EQ(GetLastMixLevels().peak, 0.0f);
}

// The largest difference between two neighbouring frames of the left channel.
float LargestStep(const std::vector<float>& mix, float before)
{
    float largest = 0.0f;
    for (std::size_t i = 0; i < mix.size(); i += 2) {
        largest = std::max(largest, std::fabs(mix[i] - before));
        before = mix[i];
    }
    return largest;
}

TEST_F(EffectVolume, VolumeStepsAndStopsGlideOverAFewMillisecondsInsteadOfClicking)
{
    // A constant at half full scale: without a glide, a step from 100 to 0 percent is a jump
    // of 0.5 between two frames. 5 ms at 48 kHz is 240 frames for a full-scale change.
    const float bound = 0.5f / 240.0f + 1e-6f;
    Lumora::ISound* sound = MakeEffect("se.wav", PcmFormat(1, 48000, 16), Constant16(4800, {16384}));
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 1);
    std::vector<float> mix = Mix(100);
    EXPECT_NEAR(mix.back(), 0.5f, 1e-4f) << "a start is at the set volume at once";

    sound->SetVolume(0, 0.0f);
    std::vector<float> down = Mix(480);
    EXPECT_LE(LargestStep(down, mix.back()), bound);
    EXPECT_GT(down[2 * 100], 0.0f) << "still gliding 100 frames on";
    EXPECT_EQ(down[2 * 250], 0.0f) << "silent just after 5 ms";

    sound->SetVolume(0, 100.0f);
    std::vector<float> up = Mix(480);
    EXPECT_LE(LargestStep(up, 0.0f), bound);
    EXPECT_NEAR(up.back(), 0.5f, 1e-4f);

    sound->Stop(0);
    std::vector<float> stopping = Mix(480);
    EXPECT_LE(LargestStep(stopping, up.back()), bound);
    EXPECT_EQ(stopping.back(), 0.0f);
    sound->SetVolume(0, 100.0f);
    Mix(100);
    EXPECT_EQ(GetLastMixLevels().peak, 0.0f) << "a faded-out sound stays stopped";
}

TEST_F(EffectPlayback, ReleasingAPlayingSoundSilencesIt)
{
    MemoryFile* file = MemoryFile::Create("se.wav", TestPcmBytes(PcmFormat(1, 48000, 16), Constant16(48000, {16384})));
    Lumora::ISound* sound = Lumora::Internal::CreateSoundWithDecoder(file, "TestPcm");
    file->Release();
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 1);
    Mix(100);
    EXPECT_GT(GetLastMixLevels().peak, 0.0f);
    sound->AddRef();
    EXPECT_EQ(sound->Release(), 1);
    EXPECT_EQ(sound->Release(), 0);
    Mix(100);
    EXPECT_EQ(GetLastMixLevels().peak, 0.0f);
}

} // namespace
} // namespace SoundTest
