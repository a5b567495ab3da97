// Solver speed: every shipped stage, and a generated 64 x 64 stage with twelve frogs.
//
//     build/bench/solver/solver_bench --benchmark_min_time=0.1s
#include "PuzzleSolver.h"
#include "StageDataReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

// 64 x 64 open ice with the player in the middle, forty icicles inside and twelve frogs
// on the edge cells: solvable, with many places to stop and many frogs to push around.
StageDataReader GeneratedStage()
{
    std::mt19937 random(2);
    StageDataReader stage;
    stage.width = 64;
    stage.height = 64;
    stage.cells.assign(64 * 64, StageCell{1, 0});
    auto at = [&](std::uint32_t x, std::uint32_t y) -> StageCell& { return stage.cells[y * 64 + x]; };
    at(32, 32).object = 1;
    for (int i = 0; i < 40; ++i) {
        StageCell& cell = at(4 + random() % 56, 4 + random() % 56);
        if (cell.object == 0) {
            cell.object = 3;
        }
    }
    for (int placed = 0; placed < 12;) {
        const std::uint32_t side = random() % 4;
        const std::uint32_t along = 1 + random() % 62;
        const std::uint32_t x = side == 0 ? 0 : side == 1 ? 63 : along;
        const std::uint32_t y = side == 2 ? 0 : side == 3 ? 63 : along;
        if (at(x, y).object == 0) {
            at(x, y).object = 2;
            ++placed;
        }
    }
    return stage;
}

void Solve(benchmark::State& state, const StageDataReader& stage)
{
    PuzzleBoard board;
    board.BuildBoard(stage);
    SolveResult result;
    for (auto _ : state) {
        result = SolvePuzzle(board);
        benchmark::DoNotOptimize(result.moves.data());
    }
    state.counters["turns"] = static_cast<double>(result.moves.size());
    state.counters["states"] = static_cast<double>(result.statesSeen);
    if (result.outcome != SolveOutcome::Solved) {
        state.SkipWithError("not solved");
    }
}

void RegisterStages(const std::filesystem::path& directory, const std::string& prefix)
{
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.path().extension() == ".pzd") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        StageDataReader stage;
        if (!stage.ReadFromPath(file.string().c_str())) {
            continue;
        }
        benchmark::RegisterBenchmark((prefix + file.stem().string()).c_str(),
                                     [stage](benchmark::State& state) { Solve(state, stage); })
            ->Unit(benchmark::kMicrosecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    RegisterStages(TOMARUGI_STAGE_DIR, "stage/");
    RegisterStages(TOMARUGI_EXTRA_STAGE_DIR, "extra/");
    const StageDataReader generated = GeneratedStage();
    benchmark::RegisterBenchmark("generated/64x64_12_frogs", [generated](benchmark::State& state) {
        Solve(state, generated);
    })->Unit(benchmark::kMillisecond)->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
