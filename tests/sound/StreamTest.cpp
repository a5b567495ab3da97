// Streamed music through the real feeder and mixer, headless.
#include "Mixer.h"
#include "SoundTestSupport.h"

#include <cmath>

using Lumora::Internal::GetLastMixLevels;
using Lumora::Internal::SoundEvent;
using Lumora::Internal::TakeSoundEvents;

namespace SoundTest {
namespace {

using StreamPlayback = HeadlessSound;

// One period of a 480 Hz sine at 48 kHz is 100 frames; `periods` of them, stereo.
std::vector<std::uint8_t> Periods(int periods)
{
    return Sine16(480.0, 48000, 100 * periods, 2, 0.5);
}

float ExpectedSine(int frame)
{
    return std::round(0.5f * 32767.0f * std::sin(2.0f * 3.14159265f * (frame % 100) / 100.0f)) / 32768.0f;
}

TEST_F(StreamPlayback, EventsCarryTheLoopCountAndTheFileName)
{
    Lumora::IStreamSound* music = MakeStream("bgm_yukimichi.ogg", PcmFormat(2, 48000, 16), Periods(10));
    ASSERT_NE(music, nullptr);
    music->SetVolume(30.0f);
    music->Play(-1);
    music->Stop();
    std::vector<SoundEvent> events = TakeSoundEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, SoundEvent::Kind::Volume);
    EXPECT_FLOAT_EQ(events[0].volume, 30.0f);
    EXPECT_EQ(events[1].kind, SoundEvent::Kind::Play);
    EXPECT_EQ(events[1].loop, -1);
    EXPECT_EQ(events[2].kind, SoundEvent::Kind::Stop);
    EXPECT_EQ(events[2].name, "bgm_yukimichi.ogg");
}

TEST_F(StreamPlayback, LoopingForEverHasNoGapAtTheJoin)
{
    // 30 periods (3000 frames) loop about 19 times in a second; every output frame must be
    // the sine's own value, so a dropped or repeated frame at any join shows.
    Lumora::IStreamSound* music = MakeStream("loop.ogg", PcmFormat(2, 48000, 16), Periods(30));
    ASSERT_NE(music, nullptr);
    music->Play(-1);
    for (int block = 0; block < 4; ++block) {
        std::vector<float> mix = Mix(12000);
        for (int i = 0; i < 12000; ++i) {
            ASSERT_NEAR(mix[2 * i], ExpectedSine(block * 12000 + i), 1e-4f) << "frame " << block * 12000 + i;
            ASSERT_NEAR(mix[2 * i + 1], ExpectedSine(block * 12000 + i), 1e-4f);
        }
    }
}

TEST_F(StreamPlayback, ACountedPlayStopsAfterItsLoops)
{
    Lumora::IStreamSound* music = MakeStream("twice.ogg", PcmFormat(2, 48000, 16), Periods(50)); // 5000 frames
    ASSERT_NE(music, nullptr);
    music->Play(2);
    std::vector<float> mix = Mix(12000);
    for (int i = 0; i < 10000; ++i) {
        ASSERT_NEAR(mix[2 * i], ExpectedSine(i), 1e-4f) << "frame " << i;
    }
    for (int i = 10001; i < 12000; ++i) {
        ASSERT_EQ(mix[2 * i], 0.0f) << "frame " << i;
    }
}

TEST_F(StreamPlayback, StopSilencesAndPlayStartsOverFromTheBeginning)
{
    Lumora::IStreamSound* music = MakeStream("bgm.ogg", PcmFormat(2, 48000, 16), Periods(1000));
    ASSERT_NE(music, nullptr);
    music->Play(-1);
    std::vector<float> first = Mix(1234);
    music->Stop();
    std::vector<float> fade = Mix(480);
    for (std::size_t i = 2; i < fade.size(); i += 2) {
        ASSERT_LE(std::fabs(fade[i]), std::fabs(ExpectedSine(1234 + static_cast<int>(i / 2))) + 1e-4f)
            << "fading, never louder than the music itself; frame " << i / 2;
    }
    EXPECT_EQ(fade[2 * 250], 0.0f) << "silent just after 5 ms";
    Mix(480);
    EXPECT_EQ(GetLastMixLevels().peak, 0.0f);
    music->Play(-1);
    EXPECT_EQ(Mix(1234), first);
    music->Play(-1); // while playing: starts over too
    EXPECT_EQ(Mix(1234), first);
}

TEST_F(StreamPlayback, VolumeScalesTheStream)
{
    Lumora::IStreamSound* music = MakeStream("bgm.ogg", PcmFormat(2, 48000, 16), Constant16(48000, {16384, 16384}));
    ASSERT_NE(music, nullptr);
    music->Play(-1);
    music->SetVolume(100.0f);
    Mix(480);
    EXPECT_NEAR(GetLastMixLevels().peak, 0.5f, 1e-4f);
    music->SetVolume(70.0f);
    Mix(240); // the glide to the new volume
    Mix(480);
    EXPECT_NEAR(GetLastMixLevels().peak, 0.5f * 0.49f, 1e-4f);
    music->SetVolume(0.0f);
    Mix(240);
    Mix(480);
    EXPECT_EQ(GetLastMixLevels().peak, 0.0f);
}

TEST_F(StreamPlayback, ALowRateStreamKeepsItsPitch)
{
    // 441 Hz at 22050 Hz, looped over a data block that is not a whole number of periods'
    // worth of output frames: the resampler must carry its phase across feeds.
    Lumora::IStreamSound* music = MakeStream("low.ogg", PcmFormat(1, 22050, 16), Sine16(441.0, 22050, 22050, 1, 0.8));
    ASSERT_NE(music, nullptr);
    music->Play(-1);
    std::vector<float> mix = Mix(96000);
    EXPECT_NEAR(CountZeroCrossings(mix, 0), 1764, 4);
}

TEST_F(StreamPlayback, TheStreamHoldsItsFileUntilReleasedEvenWhilePlaying)
{
    MemoryFile* file = MemoryFile::Create("bgm.ogg", TestPcmBytes(PcmFormat(2, 48000, 16), Periods(100)));
    Lumora::IStreamSound* music = Lumora::Internal::CreateStreamSound(file, "TestPcm");
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(file->References(), 2);
    music->Play(-1);
    Mix(480);
    EXPECT_GT(GetLastMixLevels().peak, 0.0f);
    music->Release();
    EXPECT_EQ(file->References(), 1);
    Mix(480);
    EXPECT_EQ(GetLastMixLevels().peak, 0.0f);
    file->Release();
}

TEST(StreamRingBuffer, OddSizedWritesAndReadsCrossTheWrapIntact)
{
    // A decoder may hand over any byte count; frames then straddle the ring's end.
    Lumora::Internal::StreamRing ring;
    ring.Reserve(10);
    std::uint8_t next = 0;
    std::uint8_t expected = 0;
    for (int round = 0; round < 20; ++round) {
        std::uint8_t in[7];
        for (std::uint8_t& byte : in) {
            byte = next++;
        }
        std::size_t taken = ring.Push(in, 7);
        ASSERT_EQ(taken, std::min<std::size_t>(7, 10 - (ring.Size() - taken)));
        next = static_cast<std::uint8_t>(next - (7 - taken)); // what did not fit is offered again
        std::uint8_t out[4];
        std::size_t count = std::min<std::size_t>(4, ring.Size());
        ring.Pop(out, count);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(out[i], expected++) << "round " << round;
        }
    }
    EXPECT_EQ(ring.Size() + ring.Free(), 10u);
    ring.Clear();
    EXPECT_EQ(ring.Size(), 0u);
    EXPECT_EQ(ring.Free(), 10u);
}

} // namespace
} // namespace SoundTest
