// Font costs the game pays: reading a shipped font at start-up, and laying out stage
// names every frame (the stage list draws up to a screenful of them).
#include "FontBaker.h"
#include "LftFont.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>

namespace {

using namespace Lumora::Internal;

std::vector<std::uint8_t> ShippedFontBytes() {
    std::ifstream file(TOMARUGI_FONT_DIR "/Font_Azuki_32.lft", std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void BM_ParseShippedFont(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = ShippedFontBytes();
    for (auto _ : state) {
        LftParseResult parsed = ParseLft(bytes);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseShippedFont)->Unit(benchmark::kMicrosecond);

// Fourteen lines of mixed kanji, kana and Latin, as the stage list draws them, into a
// quad list that is reused from frame to frame (no allocation once it has grown).
void BM_LayoutStageList(benchmark::State& state) {
    const LftParseResult parsed = ParseLft(ShippedFontBytes());
    if (!parsed.font) {
        state.SkipWithError("shipped font did not read");
        return;
    }
    std::string name;
    Tomarugi::FontBake::Utf8ToSjis("練習問題１ 体験版Easy", name);
    std::vector<LftQuad> quads;
    for (auto _ : state) {
        quads.clear();
        for (int line = 0; line < 14; ++line) {
            parsed.font->LayoutText(name, 16.0f, static_cast<float>(32 * (line + 1)), quads);
        }
        benchmark::DoNotOptimize(quads.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 14));
}
BENCHMARK(BM_LayoutStageList)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
