// Opening a pack the size of the game's (default key derivation cost) and reading entries
// out of it, compressible and not. Figures are reported by Google Benchmark; bytes/second
// is the entry's size after inflation.
#include "FileManager.h"
#include "FileSystem.h"
#include "PackWriter.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;
using namespace Tomarugi::Pack;

constexpr const char* kPassword = "hasunohanagasaku";
constexpr std::size_t kEntryBytes = 4 << 20;

std::vector<std::uint8_t> Noise(std::size_t count)
{
    std::mt19937 generator(42);
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(generator());
    }
    return bytes;
}

// Something like a texture: runs of a few values that zlib shrinks several times over.
std::vector<std::uint8_t> Picture(std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(((i / 64) * 7 + (i % 4)) & 0xFF);
    }
    return bytes;
}

// One pack for the whole run, in the system's temporary folder: 200 small files plus one
// 4 MiB noise entry and one 4 MiB picture-like entry, default key derivation.
const fs::path& BenchPackFolder()
{
    static const fs::path folder = [] {
        const fs::path path = fs::temp_directory_path() / ("tomarugi-pack-bench-" + std::to_string(::getpid()));
        fs::create_directories(path);
        std::vector<PackInputFile> files;
        for (int i = 0; i < 200; ++i) {
            files.push_back({"graphic/sprite/item" + std::to_string(i) + ".png", Picture(20000)});
        }
        files.push_back({"sound/bgm/noise.ogg", Noise(kEntryBytes)});
        files.push_back({"graphic/object/picture.tga", Picture(kEntryBytes)});
        std::string error;
        if (!WritePack(path / "data.lpk", files, kPassword, PackWriterOptions{}, error)) {
            std::fprintf(stderr, "cannot make the benchmark pack: %s\n", error.c_str());
            std::abort();
        }
        std::atexit([] { fs::remove_all(BenchPackFolder()); });
        return path;
    }();
    return folder;
}

void BM_OpenPack(benchmark::State& state)
{
    const fs::path& folder = BenchPackFolder();
    for (auto _ : state) {
        Lumora::IFileManager* manager = Lumora::Internal::CreateFileManager(folder.c_str());
        if (!manager->SetPackFile(0, "data", kPassword)) {
            state.SkipWithError("pack refused");
        }
        manager->Release();
    }
}
BENCHMARK(BM_OpenPack)->Unit(benchmark::kMillisecond)->Iterations(20);

void ReadEntry(benchmark::State& state, const char* name)
{
    Lumora::IFileManager* manager = Lumora::Internal::CreateFileManager(BenchPackFolder().c_str());
    if (!manager->SetPackFile(0, "data", kPassword)) {
        state.SkipWithError("pack refused");
        manager->Release();
        return;
    }
    std::vector<std::uint8_t> buffer(kEntryBytes);
    std::int64_t total = 0;
    for (auto _ : state) {
        Lumora::IFile* file = manager->OpenFile(name);
        if (file == nullptr) {
            state.SkipWithError("entry refused");
            break;
        }
        total += file->Read(buffer.data(), static_cast<std::int32_t>(buffer.size()));
        file->Release();
    }
    state.SetBytesProcessed(total);
    manager->Release();
}

void BM_ReadIncompressibleEntry(benchmark::State& state)
{
    ReadEntry(state, "sound/bgm/noise.ogg");
}
BENCHMARK(BM_ReadIncompressibleEntry)->Unit(benchmark::kMillisecond);

void BM_ReadCompressedEntry(benchmark::State& state)
{
    ReadEntry(state, "graphic/object/picture.tga");
}
BENCHMARK(BM_ReadCompressedEntry)->Unit(benchmark::kMillisecond);

void BM_OpenSmallEntry(benchmark::State& state)
{
    Lumora::IFileManager* manager = Lumora::Internal::CreateFileManager(BenchPackFolder().c_str());
    manager->SetPackFile(0, "data", kPassword);
    manager->SetCurrentDirectory("graphic/sprite");
    std::int64_t total = 0;
    for (auto _ : state) {
        Lumora::IFile* file = manager->OpenFile("item17.png");
        total += file != nullptr ? file->GetSize() : 0;
        Lumora::SafeRelease(file);
    }
    state.SetBytesProcessed(total);
    manager->Release();
}
BENCHMARK(BM_OpenSmallEntry)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
