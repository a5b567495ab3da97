// The real output path on SDL's dummy audio driver: the audio thread mixes while the game
// thread plays, stops and releases sounds.
#include "SoundTestSupport.h"

#include <SDL.h>

#include <chrono>
#include <thread>

namespace SoundTest {
namespace {

TEST(SoundDevice, SoundsPlayStopAndReleaseWhileTheAudioThreadMixes)
{
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(Lumora::Internal::StartSound(false));
    EXPECT_GT(Lumora::Internal::GetMixRate(), 0);
    Lumora::Internal::SetPluginDirectory(SOUND_TEST_PLUGIN_DIR);

    std::vector<Lumora::ISound*> effects;
    std::vector<Lumora::IStreamSound*> streams;
    for (int round = 0; round < 20; ++round) {
        MemoryFile* file = MemoryFile::Create("se.wav",
            TestPcmBytes(PcmFormat(1, 22050, 16), Sine16(440.0, 22050, 2205, 1, 0.3)));
        Lumora::ISound* effect = Lumora::Internal::CreateSoundWithDecoder(file, "TestPcm");
        Lumora::IStreamSound* stream = Lumora::Internal::CreateStreamSound(file, "TestPcm");
        file->Release();
        ASSERT_TRUE(effect && stream);
        effect->Play(0, round % 2);
        stream->SetVolume(50.0f);
        stream->Play(-1);
        effects.push_back(effect);
        streams.push_back(stream);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (round % 3 == 0) {
            streams.front()->Stop();
            effects.front()->Release(); // released while it may be playing
            effects.erase(effects.begin());
        }
    }
    for (int wait = 0; wait < 200 && Lumora::Internal::GetDeviceFramesMixed() == 0; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GT(Lumora::Internal::GetDeviceFramesMixed(), 0) << "the audio thread mixes";
    EXPECT_TRUE(Lumora::Internal::TakeSoundEvents().empty()) << "events are recorded headless only";
    Lumora::Internal::MixHeadless(480); // does nothing with a device open
    for (Lumora::IStreamSound* stream : streams) {
        stream->Release(); // while playing and being fed
    }
    for (Lumora::ISound* effect : effects) {
        effect->Release();
    }
    Lumora::Internal::StopSound();
    EXPECT_EQ(Lumora::Internal::GetDeviceFramesMixed(), 0);
    Lumora::Internal::SetPluginDirectory(nullptr);
}

} // namespace
} // namespace SoundTest
