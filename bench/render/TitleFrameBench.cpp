// Frame cost of a 2D screen like the title menu on offscreen OpenGL (Mesa's software
// renderer here), against the same quads drawn with one raw GL call.
//
// The title's work per frame: 48 background tiles (128 x 128), the right-hand panel and the
// highlight band stretched from one texel, four label squares, the tip box, a fading logo
// and the wipe cover: about 60 quads over five textures in both blend modes, covering the
// screen about twice. Each iteration ends with glFinish so GPU time is counted.
//
// The engine runs in its normal (not headless) mode, so EndFrame also presents into the
// window; without a display, SDL's offscreen driver provides one. Heap allocations made
// during the measured frames are counted too (the game's frames should make none).
#include "ImageCodec.h"
#include "LooseFiles.h"

#include <Lumora/ICore.h>
#include <Lumora/IFileManager.h>
#include <Lumora/System.h>

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <map>
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

using Lumora::Math::Rect;

// A picture with some variation so nothing is trivially uniform.
std::vector<std::uint8_t> Picture(int width, int height, std::uint8_t alpha)
{
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(x * 7);
            p[1] = static_cast<std::uint8_t>(y * 5);
            p[2] = static_cast<std::uint8_t>((x + y) * 3);
            p[3] = (x + y) % 9 == 0 ? 0 : alpha;
        }
    }
    return Lumora::Internal::EncodePng(width, height, rgba.data());
}

struct Engine {
    Lumora::ICore* core = nullptr;
    Lumora::IGraphicsDevice* device = nullptr;
    Lumora::IRender* render = nullptr;
    Lumora::ITexture* tile = nullptr;
    Lumora::ITexture* circle = nullptr;
    Lumora::ITexture* labels = nullptr;
    Lumora::ITexture* tips = nullptr;
    Lumora::ITexture* logo = nullptr;
    Lumora::ISprite2D* labelSprite = nullptr;
    Lumora::ISprite2D* tipSprite = nullptr;

    bool Start()
    {
        if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
            setenv("SDL_VIDEODRIVER", "offscreen", 0);
        }
        if (Lumora::System::Initialize(1, 0, 0) == 0) {
            return false;
        }
        core = Lumora::System::CreateCore();
        if (core == nullptr || core->Initialize("bench", 0) == 0) {
            return false;
        }
        auto* files = new Lumora::Internal::LooseFiles();
        files->Put("tile.png", Picture(128, 128, 255));
        files->Put("circle.png", Picture(640, 480, 255));
        files->Put("labels.png", Picture(256, 256, 200));
        files->Put("tips.png", Picture(660, 512, 230));
        files->Put("logo.png", Picture(512, 64, 255));
        core->SetFileManager(files);
        files->Release();
        device = core->CreateGraphicsDevice(0);
        if (device == nullptr || core->Start(640, 480, 0) == 0) {
            return false;
        }
        render = device->CreateRender(0, 1);
        render->SetTextureLoadOptions(3, 0, 1, 0);
        tile = render->CreateTextureFromFile("tile.png");
        circle = render->CreateTextureFromFile("circle.png");
        render->SetTextureLoadOptions(1, 0, 0, 0);
        labels = render->CreateTextureFromFile("labels.png");
        tips = render->CreateTextureFromFile("tips.png");
        logo = render->CreateTextureFromFile("logo.png");
        labelSprite = render->CreateSprite2D(6, labels, 0, 0, 0, 0);
        tipSprite = render->CreateSprite2D(6, tips, 0, 0, 0, 0);
        return tile && circle && labels && tips && logo;
    }

    void Stop()
    {
        Lumora::SafeRelease(labelSprite);
        Lumora::SafeRelease(tipSprite);
        Lumora::SafeRelease(tile);
        Lumora::SafeRelease(circle);
        Lumora::SafeRelease(labels);
        Lumora::SafeRelease(tips);
        Lumora::SafeRelease(logo);
        Lumora::SafeRelease(render);
        Lumora::SafeRelease(device);
        Lumora::SafeRelease(core);
        Lumora::System::Finalize();
    }

    int TitleFrame(int frame)
    {
        int quads = 0;
        const float offset = static_cast<float>(frame % 128);
        render->SetClearColor(0xFFFCFCFC);
        render->BeginFrame();
        render->SetBlendMode(0);
        for (int x = 0; x <= 896; x += 128) {
            for (int y = 0; y <= 640; y += 128) {
                render->DrawTexture(Rect(x - offset, y - offset, 128, 128), 0xFFFFFFFF, Rect(0, 0, 128, 128), tile, 0, {});
                ++quads;
            }
        }
        render->DrawTexture(Rect(320, 0, 320, 480), 0xFFFFFFFF, Rect(120, 0, 1, 1), circle, 0, {});
        render->DrawTexture(Rect(0, 160, 640, 64), 0xFFFFFFFF, Rect(120, 0, 1, 1), circle, 0, {});
        quads += 2;
        const float rows[4] = {32, 160, 288, 402};
        for (int item = 0; item < 4; ++item) {
            labelSprite->Begin();
            labelSprite->DrawSquare(Rect(0, rows[item], 256, 64), Rect(0, static_cast<float>(item * 64), 256, 64), 0xFFFFFFFF);
            labelSprite->End();
            labelSprite->Render();
            ++quads;
        }
        render->SetBlendMode(1);
        tipSprite->Begin();
        tipSprite->DrawSquare(Rect(335, 160, 330, 256), Rect(330, 0, 330, 256), 0xFFFFFFFF);
        tipSprite->End();
        tipSprite->Render();
        render->DrawTexture(Rect(64, 208, 512, 64), (static_cast<std::uint32_t>(frame * 2 % 256) << 24) | 0xFFFFFF,
                            Rect(0, 0, 512, 64), logo, 0, {});
        render->SetBlendMode(0);
        render->DrawTexture(Rect(0, 0, 640, 480 - static_cast<float>(frame * 48 % 480)), 0xFFFFFFFF, Rect(320, 0, 1, 1),
                            circle, 0, {});
        quads += 3;
        render->EndFrame();
        return quads;
    }
};

Engine engine;
bool engineReady = false;

void TitleFrameThroughTheRenderer(benchmark::State& state)
{
    if (!engineReady) {
        state.SkipWithError("no offscreen OpenGL");
        return;
    }
    int frame = 0;
    int quads = 0;
    // The first frames upload textures and size the buffers; the steady state is measured.
    for (int warmUp = 0; warmUp < 3; ++warmUp) {
        engine.TitleFrame(frame++);
    }
    glFinish();
    const std::uint64_t allocationsBefore = allocations.load();
    for (auto _ : state) {
        quads = engine.TitleFrame(frame++);
        glFinish();
    }
    state.counters["quads"] = quads;
    state.counters["allocs_per_frame"] =
        static_cast<double>(allocations.load() - allocationsBefore) / static_cast<double>(state.iterations());
}
BENCHMARK(TitleFrameThroughTheRenderer)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(3)->ReportAggregatesOnly(true);

// The same 56 rectangles from one atlas texture in one draw call, uploaded each frame.
void SameQuadsInOneRawDrawCall(benchmark::State& state)
{
    if (!engineReady) {
        state.SkipWithError("no offscreen OpenGL");
        return;
    }
    const char* vertexSource = "#version 330 core\nlayout(location=0) in vec2 p; layout(location=1) in vec2 t;"
                               "out vec2 uv; void main(){ uv=t; gl_Position=vec4(p.x/320.0-1.0,1.0-p.y/240.0,0,1);}";
    const char* fragmentSource = "#version 330 core\nin vec2 uv; uniform sampler2D s; out vec4 c;"
                                 "void main(){ c=texture(s,uv); }";
    auto compile = [](GLenum kind, const char* source) {
        GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        return shader;
    };
    GLuint program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER, vertexSource));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER, fragmentSource));
    glLinkProgram(program);
    // The same rectangles as the title frame, in screen pixels.
    std::vector<Rect> rects;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 6; ++y) {
            rects.emplace_back(static_cast<float>(x * 128 - 5), static_cast<float>(y * 128 - 5), 128.0f, 128.0f);
        }
    }
    rects.emplace_back(320.0f, 0.0f, 320.0f, 480.0f);
    rects.emplace_back(0.0f, 160.0f, 640.0f, 64.0f);
    for (float y : {32.0f, 160.0f, 288.0f, 402.0f}) {
        rects.emplace_back(0.0f, y, 256.0f, 64.0f);
    }
    rects.emplace_back(335.0f, 160.0f, 330.0f, 256.0f);
    rects.emplace_back(64.0f, 208.0f, 512.0f, 64.0f);
    rects.emplace_back(0.0f, 0.0f, 640.0f, 240.0f);
    std::vector<float> vertices;
    for (const Rect& r : rects) {
        const float corners[6][4] = {{r.x, r.y, 0, 0}, {r.x + r.width, r.y, 1, 0}, {r.x, r.y + r.height, 0, 1},
                                     {r.x, r.y + r.height, 0, 1}, {r.x + r.width, r.y, 1, 0},
                                     {r.x + r.width, r.y + r.height, 1, 1}};
        for (const auto& corner : corners) {
            vertices.insert(vertices.end(), corner, corner + 4);
        }
    }
    std::vector<std::uint8_t> atlas(256 * 256 * 4, 200);
    GLuint texture = 0, framebuffer = 0, target = 0, array = 0, buffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, atlas.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_2D, target);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 640, 480, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    glGenVertexArrays(1, &array);
    glBindVertexArray(array);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 16, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 16, reinterpret_cast<const void*>(8));
    glUseProgram(program);
    glBindTexture(GL_TEXTURE_2D, texture);
    glViewport(0, 0, 640, 480);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(), GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size() / 4));
        glFinish();
    }
    state.counters["quads"] = static_cast<double>(rects.size());
    glDisable(GL_BLEND);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteBuffers(1, &buffer);
    glDeleteVertexArrays(1, &array);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &target);
    glDeleteTextures(1, &texture);
    glDeleteProgram(program);
}
BENCHMARK(SameQuadsInOneRawDrawCall)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    engineReady = engine.Start();
    benchmark::RunSpecifiedBenchmarks();
    engine.Stop();
    benchmark::Shutdown();
    return 0;
}
