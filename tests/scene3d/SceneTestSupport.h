// A headless engine with a render and tiny models written in memory, for the 3D scene tests.
#pragma once

#include "HeadlessEngine.h"

#include <Lumora/IRender.h>
#include <Lumora/ISceneManager.h>

#include <cstdint>
#include <vector>

namespace SceneTest {

struct QuadSpec {
    float halfSize = 10.0f;
    float height = 0.0f;                  // y of the square
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    bool transparent = false;             // the material's own flag
    std::uint8_t flags = 0;               // further kLmdMaterial* flags (unlit, no fog)
    int materials = 1;                    // the square split into this many materials (1 or 2)
    bool animated = false;                // one bone, animation 3 of 40 frames moving it up 10
};

// True when every channel of two 0xRRGGBB colours differs by at most `tolerance`.
inline bool NearRgb(std::uint32_t rgb, std::uint32_t expected, int tolerance = 3)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>((rgb >> shift) & 0xFF);
        const int b = static_cast<int>((expected >> shift) & 0xFF);
        if (a - b > tolerance || b - a > tolerance) {
            return false;
        }
    }
    return true;
}

// A flat square facing +Y around the origin, as the bytes of a .lmd file.
std::vector<std::uint8_t> SquareModel(const QuadSpec& spec);

class SceneEngine : public RenderTest::HeadlessEngine {
protected:
    void TearDown() override;
    Lumora::IModel* PutModel(const char* name, const QuadSpec& spec);
    // A scene manager set up as the puzzle does, with the camera at `eye` looking at `target`.
    void MakeScene(std::int32_t capacity, const Lumora::Math::Vector3D& eye, const Lumora::Math::Vector3D& target,
                   float farPlane = 700.0f);
    // Places an actor: ResetTransform, [RotateY], Translate, UpdateTransform, Render.
    static void Place(Lumora::IActor* actor, float x, float y, float z, std::int32_t angle = 0);
    // Starts the scene's frame as most pixel tests light it: Reset, `background`, a white light
    // of 0.6 straight down and an ambient of 0.2, Begin(0). The frame's 2D is the caller's.
    void BeginLitScene(std::uint32_t background = 0xFF408000);

    Lumora::ISceneManager* scene = nullptr;
    Lumora::ICamera* camera = nullptr;
    std::vector<Lumora::IModel*> models;
    std::vector<Lumora::IActor*> actors;
};

} // namespace SceneTest
