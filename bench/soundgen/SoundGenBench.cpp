// Sound generator cost. The whole music build is these per-bar costs times the bars of each
// score, plus encoding at the measured real-time factor.
#include "AudioFiles.h"
#include "Effects.h"
#include "MusicRender.h"
#include "Score.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <string>

namespace {

void BM_AllEffects(benchmark::State& state)
{
    for (auto _ : state) {
        auto effects = SoundGen::MakeAllEffects(44100.0);
        benchmark::DoNotOptimize(effects.data());
    }
}
BENCHMARK(BM_AllEffects)->Unit(benchmark::kMillisecond);

// Renders the score shortened to its first four bars (every track cut to fit), so the
// figure is a per-bar cost of the real instruments and effects.
void BM_ScoreFourBars(benchmark::State& state, const char* name)
{
    SoundGen::Score score = SoundGen::LoadScore(std::string(TOMARUGI_SCORE_DIR) + "/" + name + ".score");
    const double beats = 4.0 * score.beatsPerBar;
    for (SoundGen::ScoreTrack& track : score.tracks) {
        std::erase_if(track.notes, [beats](const SoundGen::ScoreNote& note) { return note.beat >= beats; });
    }
    score.bars = 4;
    for (auto _ : state) {
        SoundGen::StereoBuffer loop = SoundGen::RenderLoop(score, name, 0.85f);
        benchmark::DoNotOptimize(loop.left.data());
    }
    state.counters["audio_s"] = static_cast<double>(score.LoopFrames()) / score.sampleRate;
}
BENCHMARK_CAPTURE(BM_ScoreFourBars, yukimichi, "bgm_yukimichi")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScoreFourBars, hanagumo, "bgm_hanagumo")->Unit(benchmark::kMillisecond);

void BM_VorbisTenSeconds(benchmark::State& state)
{
    const std::size_t frames = 441000;
    SoundGen::StereoBuffer buffer(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        buffer.left[i] = static_cast<float>(0.3 * std::sin(2.0 * SoundGen::Pi * 440.0 * t) + 0.1 * std::sin(2.0 * SoundGen::Pi * 1234.0 * t));
        buffer.right[i] = static_cast<float>(0.3 * std::sin(2.0 * SoundGen::Pi * 330.0 * t));
    }
    const std::string path = (std::filesystem::temp_directory_path() / "tomarugi-soundgen-bench.ogg").string();
    for (auto _ : state) {
        SoundGen::WriteVorbis(path, buffer, 44100, 0.4f, 1u);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_VorbisTenSeconds)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
