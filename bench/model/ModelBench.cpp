// Model costs the game pays: reading the player's file (on the loader thread), posing it
// once per drawn frame, and the one-off animated bounds for culling.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "LmdModel.h"
#include "ModelPose.h"

namespace {

using namespace Lumora::Internal;

std::vector<std::uint8_t> ReadPlayerFile() {
    std::ifstream file(std::string(TOMARUGI_MODEL_DIR) + "/nuiko/nuiko.lmd", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void ParsePlayer(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = ReadPlayerFile();
    for (auto _ : state) {
        LmdParseResult parsed = ParseLmd(bytes);
        benchmark::DoNotOptimize(parsed.model);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(ParsePlayer);

void PosePlayer(benchmark::State& state) {
    const LmdModel model = *ParseLmd(ReadPlayerFile()).model;
    std::vector<Matrix4> palette(model.bones.size());
    float frame = 0.0f;
    for (auto _ : state) {
        ComputeBonePalette(model, 1, frame, palette);
        benchmark::DoNotOptimize(palette.data());
        frame = frame >= 64.0f ? 0.0f : frame + 1.0f;
    }
}
BENCHMARK(PosePlayer);

void AnimatedBoundsOfPlayer(benchmark::State& state) {
    const LmdModel model = *ParseLmd(ReadPlayerFile()).model;
    for (auto _ : state) {
        ModelBounds bounds = ComputeAnimatedMeshBounds(model, 0);
        benchmark::DoNotOptimize(bounds);
    }
}
BENCHMARK(AnimatedBoundsOfPlayer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
