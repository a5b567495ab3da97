// Texture loading from the game's pack, as the resource loader does it: on a thread of its
// own, CreateTextureFromFile opens the entry (decrypt, check, inflate) and decodes the picture.
// One iteration loads every PNG (or every TGA: the soft circle and the font pages) the pack
// holds once. Counters: bytes_per_second is the pictures' file bytes, texels_MBps the decoded
// RGBA bytes made per second.
//
// Also: how long opening data.lpk takes (password key derivation and the table), with the
// pack's size in bytes as a counter.
//
// The engine runs headless without pixels: textures are decoded but never uploaded, so the
// figures are the CPU cost a loading screen waits for.
// Run: build/bench/texture/texture_bench
#include "FileSystem.h"

#include <Lumora/ICore.h>
#include <Lumora/IFileManager.h>
#include <Lumora/IRender.h>
#include <Lumora/ITexture.h>
#include <Lumora/System.h>
#include <Lumora/Testing.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "hasunohanagasaku";

struct Picture {
    std::string directory; // inside the pack
    std::string name;
    std::uintmax_t fileBytes = 0;
};

// The pictures of the pack, listed from the staging folder the pack is built from (the pack
// itself cannot be listed through the engine).
std::vector<Picture> ListPictures(const std::string& extension)
{
    std::vector<Picture> pictures;
    const fs::path root(TOMARUGI_CONTENT_DIR);
    for (const char* folder : {"graphic", "font"}) {
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder, error)) {
            if (entry.is_regular_file() && entry.path().extension() == extension) {
                pictures.push_back({fs::relative(entry.path().parent_path(), root).generic_string(),
                                    entry.path().filename().string(), entry.file_size()});
            }
        }
    }
    std::sort(pictures.begin(), pictures.end(),
              [](const Picture& a, const Picture& b) { return a.directory + a.name < b.directory + b.name; });
    return pictures;
}

class Engine {
public:
    Engine()
    {
        Lumora::Testing::EnableHeadless({false});
        Lumora::System::Initialize(1, 0, 0);
        core_ = Lumora::System::CreateCore();
        if (core_ == nullptr || core_->Initialize("texture bench", 0) == 0) {
            return;
        }
        files_ = Lumora::Internal::CreateFileManager(TOMARUGI_GAME_DIR);
        if (files_ == nullptr || !files_->SetPackFile(0, "data", kPassword)) {
            return;
        }
        core_->SetFileManager(files_);
        device_ = core_->CreateGraphicsDevice(0);
        if (device_ != nullptr && core_->Start(640, 480, 0) != 0) {
            render_ = device_->CreateRender(0, 1);
        }
    }
    ~Engine()
    {
        Lumora::SafeRelease(render_);
        Lumora::SafeRelease(device_);
        if (core_ != nullptr) {
            core_->SetFileManager(nullptr);
        }
        Lumora::SafeRelease(files_);
        Lumora::SafeRelease(core_);
        Lumora::System::Finalize();
        Lumora::Testing::DisableHeadless();
    }
    Lumora::IRender* Render() { return render_; }
    Lumora::IFileManager* Files() { return files_; }

private:
    Lumora::ICore* core_ = nullptr;
    Lumora::IFileManager* files_ = nullptr;
    Lumora::IGraphicsDevice* device_ = nullptr;
    Lumora::IRender* render_ = nullptr;
};

void LoadAll(benchmark::State& state, const char* extension)
{
    const std::vector<Picture> pictures = ListPictures(extension);
    Engine engine;
    if (engine.Render() == nullptr || pictures.empty()) {
        state.SkipWithError("no engine or no pictures: build tomarugi_data_pack first");
        return;
    }
    std::uintmax_t fileBytes = 0;
    for (const Picture& picture : pictures) {
        fileBytes += picture.fileBytes;
    }
    std::uint64_t texelBytes = 0;
    bool failed = false;
    for (auto _ : state) {
        // The game's two sets of loader options: argument 0 for pictures drawn scaled
        // (mipmapped, premultiplied), 1 for pictures drawn at their own size (nearest, straight).
        std::thread loader([&] {
            if (state.range(0) == 0) {
                engine.Render()->SetTextureLoadOptions(3, 0, 1, 0);
            } else {
                engine.Render()->SetTextureLoadOptions(1, 0, 0, 0);
            }
            for (const Picture& picture : pictures) {
                engine.Files()->SetCurrentDirectory(picture.directory.c_str());
                Lumora::ITexture* texture = engine.Render()->CreateTextureFromFile(picture.name.c_str());
                if (texture == nullptr) {
                    failed = true;
                    continue;
                }
                texelBytes += static_cast<std::uint64_t>(texture->GetWidth()) * texture->GetHeight() * 4;
                texture->Release();
            }
        });
        loader.join();
    }
    if (failed) {
        state.SkipWithError("a picture did not load");
        return;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(fileBytes) * state.iterations());
    state.counters["pictures"] = static_cast<double>(pictures.size());
    state.SetLabel(state.range(0) == 0 ? "options 3,0,1,0" : "options 1,0,0,0");
    state.counters["texels_MBps"] =
        benchmark::Counter(static_cast<double>(texelBytes) / 1e6, benchmark::Counter::kIsRate);
}

void BM_LoadPngTextures(benchmark::State& state)
{
    LoadAll(state, ".png");
}
BENCHMARK(BM_LoadPngTextures)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadTgaTextures(benchmark::State& state)
{
    LoadAll(state, ".tga");
}
BENCHMARK(BM_LoadTgaTextures)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The pack's share of the above: the same entries opened (decrypt, check, inflate) and read,
// without decoding.
void ReadAll(benchmark::State& state, const char* extension)
{
    const std::vector<Picture> pictures = ListPictures(extension);
    Lumora::IFileManager* files = Lumora::Internal::CreateFileManager(TOMARUGI_GAME_DIR);
    if (pictures.empty() || !files->SetPackFile(0, "data", kPassword)) {
        files->Release();
        state.SkipWithError("no pictures or no pack: build tomarugi_data_pack first");
        return;
    }
    std::uintmax_t fileBytes = 0;
    std::vector<std::uint8_t> buffer;
    for (auto _ : state) {
        fileBytes = 0;
        for (const Picture& picture : pictures) {
            files->SetCurrentDirectory(picture.directory.c_str());
            Lumora::IFile* file = files->OpenFile(picture.name.c_str());
            if (file == nullptr) {
                state.SkipWithError("a picture is missing from the pack");
                break;
            }
            buffer.resize(static_cast<std::size_t>(file->GetSize()));
            fileBytes += static_cast<std::uintmax_t>(file->Read(buffer.data(), file->GetSize()));
            file->Release();
        }
    }
    files->Release();
    state.SetBytesProcessed(static_cast<std::int64_t>(fileBytes) * state.iterations());
}

void BM_ReadPngEntries(benchmark::State& state)
{
    ReadAll(state, ".png");
}
BENCHMARK(BM_ReadPngEntries)->Unit(benchmark::kMillisecond);

void BM_ReadTgaEntries(benchmark::State& state)
{
    ReadAll(state, ".tga");
}
BENCHMARK(BM_ReadTgaEntries)->Unit(benchmark::kMillisecond);

void BM_OpenDataPack(benchmark::State& state)
{
    std::error_code error;
    const std::uintmax_t packBytes = fs::file_size(fs::path(TOMARUGI_GAME_DIR) / "data.lpk", error);
    if (error) {
        state.SkipWithError("no data.lpk: build tomarugi_data_pack first");
        return;
    }
    for (auto _ : state) {
        Lumora::IFileManager* files = Lumora::Internal::CreateFileManager(TOMARUGI_GAME_DIR);
        const bool opened = files->SetPackFile(0, "data", kPassword);
        files->Release();
        if (!opened) {
            state.SkipWithError("data.lpk did not open");
            return;
        }
    }
    state.counters["pack_bytes"] = static_cast<double>(packBytes);
}
BENCHMARK(BM_OpenDataPack)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
