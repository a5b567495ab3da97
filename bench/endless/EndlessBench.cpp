// bench/endless/EndlessBench.cpp: how long making an endless board takes, per tier.
//
//     endless_bench [SEEDS] [THREADS]     (defaults: 50 seeds, the game's thread count)
//
// For each tier, SEEDS IDs spread over the seed range (seed = n x 19,997 + 7) are made one
// after the other as the game makes them (MakeEndlessBoard, every core unless THREADS is
// given); prints the median, the 90th percentile and the slowest wall time, and the median
// candidates judged. Wall time, so the figures include whatever else the machine runs: note
// the load beside them.
#include "EndlessBoard.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    const int seeds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const unsigned threads = argc > 2 ? static_cast<unsigned>(std::max(0, std::atoi(argv[2]))) : 0;
    for (int tier = 1; tier <= 3; ++tier) {
        std::vector<double> seconds;
        std::vector<std::uint64_t> candidates;
        for (int n = 0; n < seeds; ++n) {
            const EndlessId id{tier, kEndlessVersion, static_cast<std::uint32_t>(n * 19'997 + 7) % kEndlessSeedCount};
            EndlessBoard board;
            EndlessMakeOptions options;
            options.threads = threads;
            const auto start = std::chrono::steady_clock::now();
            if (MakeEndlessBoard(id, board, options) != EndlessOutcome::Made) {
                std::fprintf(stderr, "endless_bench: no board for %s\n", FormatEndlessId(id).c_str());
                return 1;
            }
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            candidates.push_back(board.candidate + 1);
        }
        std::sort(seconds.begin(), seconds.end());
        std::sort(candidates.begin(), candidates.end());
        const auto at = [&](double share) {
            return seconds[std::min(seconds.size() - 1, static_cast<std::size_t>(share * static_cast<double>(seconds.size())))];
        };
        std::printf("tier %d: %d boards, median %.3f s, p90 %.3f s, slowest %.3f s; median %llu candidates\n", tier,
                    seeds, at(0.5), at(0.9), seconds.back(),
                    static_cast<unsigned long long>(candidates[candidates.size() / 2]));
        std::fflush(stdout);
    }
    return 0;
}
