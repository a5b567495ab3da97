// How fast the WAVE decoder hands out samples and finds them. The mixer pulls a few
// kilobytes per stream per audio callback, so Read must cost little more than the copy.
#include "WaveDecoder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

class MemorySource final : public Lumora::IStreamSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> content) : bytes(std::move(content)) {}
    std::int32_t GetSize() override { return static_cast<std::int32_t>(bytes.size()); }
    std::int32_t Read(void* buffer, std::int32_t count) override
    {
        const std::int32_t n = std::clamp(count, 0, GetSize() - position);
        std::memcpy(buffer, bytes.data() + position, static_cast<std::size_t>(n));
        position += n;
        return n;
    }
    std::int32_t GetPosition() override { return position; }
    void Seek(std::int32_t to) override { position = std::clamp(to, 0, GetSize()); }
    bool IsEnd() override { return position == GetSize(); }
    void Skip(std::int32_t count) override { Seek(position + count); }

private:
    std::vector<std::uint8_t> bytes;
    std::int32_t position = 0;
};

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PutTag(std::vector<std::uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(tag[i]));
    }
}

// A 16-bit stereo 44.1 kHz file with `extraChunks` small chunks before `dataBytes` of data.
std::vector<std::uint8_t> MakeFile(std::uint32_t dataBytes, int extraChunks)
{
    std::vector<std::uint8_t> out;
    PutTag(out, "RIFF");
    Put32(out, 0);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    const std::uint8_t format[16] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
    for (const std::uint8_t byte : format) {
        out.push_back(byte);
    }
    for (int i = 0; i < extraChunks; ++i) {
        PutTag(out, "junk");
        Put32(out, 7);
        out.insert(out.end(), 8, 0); // seven bytes and the pad
    }
    PutTag(out, "data");
    Put32(out, dataBytes);
    for (std::uint32_t i = 0; i < dataBytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(i * 31));
    }
    return out;
}

// Bytes per second of Read in blocks of range(0) bytes over one second of stereo sound,
// looping as music does.
void BM_ReadLooping(benchmark::State& state)
{
    MemorySource source(MakeFile(44100 * 4, 0));
    Wave::WaveDecoder decoder;
    decoder.SetSource(&source);
    if (!decoder.ReadHeader()) {
        state.SkipWithError("header refused");
        return;
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoder.Read(buffer.data(), static_cast<std::int32_t>(buffer.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadLooping)->Arg(256)->Arg(4096)->Arg(65536);

// A whole effect read at once, as the engine decodes a sound effect into memory.
void BM_ReadWholeEffect(benchmark::State& state)
{
    MemorySource source(MakeFile(static_cast<std::uint32_t>(state.range(0)), 0));
    Wave::WaveDecoder decoder;
    decoder.SetSource(&source);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        decoder.ReadHeader();
        benchmark::DoNotOptimize(decoder.Read(buffer.data(), decoder.GetDataSize()));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadWholeEffect)->Arg(16 * 1024)->Arg(1024 * 1024);

// The header walk over range(0) chunks that it must pass over.
void BM_ReadHeader(benchmark::State& state)
{
    MemorySource source(MakeFile(64, static_cast<int>(state.range(0))));
    Wave::WaveDecoder decoder;
    decoder.SetSource(&source);
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoder.ReadHeader());
    }
    state.SetItemsProcessed(state.iterations() * (state.range(0) + 2));
}
BENCHMARK(BM_ReadHeader)->Arg(0)->Arg(100);

} // namespace

BENCHMARK_MAIN();
