// Frame cost of the puzzle's 3D pass on offscreen OpenGL (Mesa's software renderer here):
// a square board of floor actors placed anew each frame under the game's Auto camera (eye
// 30 up and 300 back from the player in the board's middle, looking level along -Z), either
// every tile or, as the puzzle does, only the cells of the ground the camera can show
// (ISceneManager::GetVisibleGround). Each iteration ends with glFinish so GPU time is
// counted. Heap allocations during the measured frames are counted too (the game's frames
// make none).
#include "ModelShaderHost.h"
#include "LooseFiles.h"
#include "SceneManager.h"

#include <Lumora/ICore.h>
#include <Lumora/IFileManager.h>
#include <Lumora/IRender.h>
#include <Lumora/ISceneManager.h>
#include <Lumora/System.h>

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

namespace {
std::atomic<std::uint64_t> allocations{0};
} // namespace

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

struct Engine {
    Lumora::ICore* core = nullptr;
    Lumora::IGraphicsDevice* device = nullptr;
    Lumora::IRender* render = nullptr;
    Lumora::IModel* floor = nullptr;

    bool Start()
    {
        if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
            setenv("SDL_VIDEODRIVER", "offscreen", 0);
        }
        Lumora::Internal::SetModelShaderPluginDirectory(SCENE_GAME_DIR);
        if (Lumora::System::Initialize(1, 0, 0) == 0) {
            return false;
        }
        core = Lumora::System::CreateCore();
        if (core == nullptr || core->Initialize("bench", 0) == 0) {
            return false;
        }
        auto* files = new Lumora::Internal::LooseFiles(std::string(SCENE_MODEL_DIR) + "/object");
        core->SetFileManager(files);
        files->Release();
        device = core->CreateGraphicsDevice(0);
        if (device == nullptr || core->Start(640, 480, 0) == 0) {
            return false;
        }
        render = device->CreateRender(0, 1);
        floor = render->CreateModelFromFile("floorboard_ice.lmd");
        return floor != nullptr;
    }

    void Stop()
    {
        Lumora::SafeRelease(floor);
        Lumora::SafeRelease(render);
        Lumora::SafeRelease(device);
        Lumora::SafeRelease(core);
        Lumora::System::Finalize();
    }
};

Engine& TheEngine()
{
    static Engine engine;
    static bool started = engine.Start();
    if (!started) {
        std::fprintf(stderr, "scene3d_bench: the engine did not start\n");
        std::exit(1);
    }
    return engine;
}

void FloorFrames(benchmark::State& state)
{
    Engine& engine = TheEngine();
    const int side = static_cast<int>(state.range(0));
    const int rows = static_cast<int>(state.range(1));
    const int count = side * rows;
    Lumora::ISceneManager* scene = engine.render->CreateSceneManager(count + 1032, 1);
    scene->SetRenderSize(0, 640, 480, 0);
    scene->SetDrawMode(1);
    scene->Prepare();
    Lumora::ICamera* camera = scene->GetCamera();
    camera->SetProjection(1.0f, 700.0f, 8192, 640, 480);
    engine.render->SetRenderState(0, 2);
    std::vector<Lumora::IActor*> actors;
    for (int i = 0; i < count; ++i) {
        actors.push_back(scene->CreateActor(engine.floor));
    }
    // The player stands in the board's middle cell.
    const float px = static_cast<float>(side / 2) * 20.0f;
    const float pz = -static_cast<float>(rows / 2) * 20.0f;

    const bool cpuOnly = state.range(2) != 0;
    const bool walkVisible = state.range(3) != 0;
    std::size_t drawn = 0;
    auto frame = [&] {
        engine.render->SetClearColor(0xFF000000);
        engine.render->BeginFrame();
        scene->Reset();
        scene->SetBackgroundColor(0xFFEEF1FF, 1);
        camera->Reset();
        camera->SetLookAt({px, 30.0f, pz - 300.0f}, {px, 30.0f, pz}, 0);
        camera->Update();
        scene->SetDirectionalLight({0.0f, -0.5f, 0.7f}, {0.8f, 0.8f, 0.8f});
        scene->SetAmbientLight({0.2f, 0.2f, 0.2f}, {0.5f, 0.5f, 0.5f});
        scene->Begin(0);
        // The cells walked: the whole board, or (as the puzzle does) only the rectangle of
        // cells the scene manager says the camera can show.
        int firstColumn = 0;
        int lastColumn = side - 1;
        int firstRow = 0;
        int lastRow = rows - 1;
        if (walkVisible) {
            Lumora::Math::Rect ground;
            if (!scene->GetVisibleGround(engine.floor, 0.0f, ground)) {
                lastColumn = -1;
            } else {
                firstColumn = std::max(static_cast<int>(std::ceil(ground.x / 20.0f)), 0);
                lastColumn = std::min(static_cast<int>(std::floor((ground.x + ground.width) / 20.0f)), side - 1);
                firstRow = std::max(static_cast<int>(std::ceil(-(ground.y + ground.height) / 20.0f)), 0);
                lastRow = std::min(static_cast<int>(std::floor(-ground.y / 20.0f)), rows - 1);
            }
        }
        for (int row = firstRow; row <= lastRow; ++row) {
            for (int column = firstColumn; column <= lastColumn; ++column) {
                Lumora::IActor* actor = actors[static_cast<std::size_t>(row * side + column)];
                actor->ResetTransform();
                actor->Translate(static_cast<float>(column) * 20.0f, 0.0f, -static_cast<float>(row) * 20.0f);
                actor->UpdateTransform();
                actor->Render();
            }
        }
        scene->End();
        scene->Render(0);
        if (cpuOnly) {
            // The engine's own share: placement, culling and sorting, no GL.
            const auto& built = static_cast<Lumora::Internal::SceneManager*>(scene)->BuildFrame();
            drawn = built.instanced.size() + built.individual.size();
            return;
        }
        engine.render->EndFrame();
        glFinish();
    };
    // Warm up: uploads, shader builds and every buffer reach their steady size.
    for (int i = 0; i < 3; ++i) {
        frame();
    }
    const std::uint64_t before = allocations.load();
    std::uint64_t frames = 0;
    for (auto _ : state) {
        frame();
        ++frames;
    }
    state.counters["allocs_per_frame"] =
        static_cast<double>(allocations.load() - before) / static_cast<double>(std::max<std::uint64_t>(frames, 1));
    state.counters["actors"] = count;
    if (cpuOnly) {
        state.counters["inside_view"] = static_cast<double>(drawn);
    }
    for (Lumora::IActor*& actor : actors) {
        Lumora::SafeRelease(actor);
    }
    Lumora::SafeRelease(camera);
    Lumora::SafeRelease(scene);
}

// Actors: 10 x 10, 40 x 25, 255 x 255; the third argument 1 measures the CPU side alone
// (placing, culling, sorting: the frame up to the GL calls); the fourth 1 walks only the
// cells of the visible ground rectangle, as the puzzle does, 0 queues every tile.
BENCHMARK(FloorFrames)->Args({10, 10, 0, 0})->Args({40, 25, 0, 0})->Args({255, 255, 0, 0})->Args({255, 255, 0, 1})
    ->Args({40, 25, 1, 0})->Args({255, 255, 1, 0})->Args({255, 255, 1, 1})
    ->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheEngine().Stop();
    return 0;
}
