// What one 10 ms period of output (480 frames at 48 kHz) costs the mixer with eight voices
// playing, the game's worst case being a few effects over the music. Sounds are Ogg Vorbis
// encoded at start-up and decoded through the real OggVorbis.lmp.
#include "SoundFiles.h"
#include "SoundSystem.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace Lumora::Internal;

struct Setup {
    std::uint32_t rate;
    int channels;
};
// A spread of formats so that every path runs: resampling up, down and not at all.
const Setup kEffects[] = {{22050, 1}, {44100, 2}, {48000, 2}, {11025, 1}, {32000, 2}, {44100, 1}, {96000, 2}, {16000, 1}};

Lumora::ISound* MakeEffect(const Setup& setup, double frequency)
{
    auto* file = SoundTest::MemoryFile::Create("se.ogg",
        SoundTest::EncodeOggSine(frequency, setup.rate, static_cast<std::int32_t>(setup.rate / 2), setup.channels));
    Lumora::ISound* sound = CreateSound(file);
    file->Release();
    return sound;
}

// Eight looped effects mixed from memory.
void EightEffects(benchmark::State& state)
{
    StartSound(true);
    SetPluginDirectory(SOUND_GAME_DIR);
    std::vector<Lumora::ISound*> sounds;
    for (int i = 0; i < 8; ++i) {
        sounds.push_back(MakeEffect(kEffects[i], 220.0 + 110.0 * i));
        if (sounds.back() == nullptr) {
            state.SkipWithError("could not make the effects");
            return;
        }
        sounds.back()->SetVolume(0, 40.0f);
        sounds.back()->Play(0, 1);
    }
    for (auto _ : state) {
        MixHeadless(480);
    }
    state.SetItemsProcessed(state.iterations() * 480);
    for (Lumora::ISound* sound : sounds) {
        sound->Release();
    }
    StopSound();
}
BENCHMARK(EightEffects)->Unit(benchmark::kMicrosecond);

// Seven looped effects and one Ogg Vorbis music stream, its decoding included (on a device
// that part runs on the feeder thread, not in the audio callback).
void SevenEffectsAndMusic(benchmark::State& state)
{
    StartSound(true);
    SetPluginDirectory(SOUND_GAME_DIR);
    std::vector<Lumora::ISound*> sounds;
    for (int i = 0; i < 7; ++i) {
        sounds.push_back(MakeEffect(kEffects[i], 220.0 + 110.0 * i));
        if (sounds.back() == nullptr) {
            state.SkipWithError("could not make the effects");
            return;
        }
        sounds.back()->Play(0, 1);
    }
    auto* file = SoundTest::MemoryFile::Create("bgm.ogg", SoundTest::EncodeOggSine(330.0, 44100, 44100 * 4, 2));
    Lumora::IStreamSound* music = CreateStreamSound(file, "OggVorbis");
    file->Release();
    if (music == nullptr) {
        state.SkipWithError("could not make the music");
        return;
    }
    music->Play(-1);
    for (auto _ : state) {
        MixHeadless(480);
    }
    state.SetItemsProcessed(state.iterations() * 480);
    music->Release();
    for (Lumora::ISound* sound : sounds) {
        sound->Release();
    }
    StopSound();
}
BENCHMARK(SevenEffectsAndMusic)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
