// Renders a small puzzle board with the game's models (floor tiles with a hole, an icicle
// seen through at 60 %, frozen frogs, a leaving frog and the player) offscreen, under the
// game's Auto camera and its top view, and writes the two pictures as PNG files:
//   scene3d_snapshot <auto.png> <top.png>
// For looking at the 3D pass by eye; not part of the test suite.
#include "LooseFiles.h"
#include "ModelShaderHost.h"

#include <Lumora/ICore.h>
#include <Lumora/IFileManager.h>
#include <Lumora/IRender.h>
#include <Lumora/ISceneManager.h>
#include <Lumora/System.h>
#include <Lumora/Testing.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: scene3d_snapshot <auto.png> <top.png>\n");
        return 2;
    }
    Lumora::Internal::SetModelShaderPluginDirectory(SCENE_GAME_DIR);
    Lumora::Testing::EnableHeadless({true});
    if (Lumora::System::Initialize(1, 1, 1) == 0) {
        return 1;
    }
    Lumora::ICore* core = Lumora::System::CreateCore();
    core->Initialize("snapshot", 0);
    auto* files = new Lumora::Internal::LooseFiles(SCENE_MODEL_DIR); // "<folder>/<name>" of the built model tree
    core->SetFileManager(files);
    Lumora::IGraphicsDevice* device = core->CreateGraphicsDevice(0);
    core->Start(640, 480, 1);
    Lumora::IRender* render = device->CreateRender(0, 1);

    files->SetCurrentDirectory("nuiko");
    Lumora::IModel* player = render->CreateModelFromFile("nuiko.lmd");
    files->SetCurrentDirectory("object");
    Lumora::IModel* floor = render->CreateModelFromFile("floorboard_ice.lmd");
    Lumora::IModel* icicle = render->CreateModelFromFile("icicle.lmd");
    Lumora::IModel* frozen = render->CreateModelFromFile("frog_frozen.lmd");
    Lumora::IModel* leaving = render->CreateModelFromFile("frog_leave.lmd");
    if (!player || !floor || !icicle || !frozen || !leaving) {
        std::fprintf(stderr, "scene3d_snapshot: a model did not load\n");
        return 1;
    }

    // A 6 x 5 board; '.' floor, ' ' hole. Player at (2, 2) facing right, an icicle on
    // row 3 (between the Auto camera and the player), frogs at (4, 1), (1, 0) and one
    // leaving at (0, 3).
    const char* rows[5] = {"......", ".... .", "......", "..... ", " ....."};
    const int width = 6;
    const int height = 5;
    Lumora::ISceneManager* scene = render->CreateSceneManager(1032 + 30 + 1 + 6, 1);
    scene->SetRenderSize(0, 640, 480, 0);
    scene->SetDrawMode(1);
    scene->Prepare();
    Lumora::ICamera* camera = scene->GetCamera();
    camera->SetProjection(1.0f, 700.0f, 8192, 640, 480);
    render->SetRenderState(0, 2);
    std::vector<Lumora::IActor*> tiles;
    for (int i = 0; i < width * height; ++i) {
        tiles.push_back(scene->CreateActor(floor));
    }
    Lumora::IActor* icicleActor = scene->CreateActor(icicle);
    Lumora::IActor* frogA = scene->CreateActor(frozen);
    Lumora::IActor* frogB = scene->CreateActor(frozen);
    Lumora::IActor* frogC = scene->CreateActor(leaving);
    Lumora::IActor* playerActor = scene->CreateActor(player);

    auto place = [](Lumora::IActor* actor, int x, int y, std::int32_t angle = 0) {
        actor->ResetTransform();
        if (angle != 0) {
            actor->RotateY(angle);
        }
        actor->Translate(static_cast<float>(x) * 20.0f, 0.0f, -static_cast<float>(y) * 20.0f);
        actor->UpdateTransform();
        actor->Render();
    };
    auto shoot = [&](bool top, const char* path) {
        const float px = 2 * 20.0f;
        const float pz = -2 * 20.0f;
        render->SetClearColor(0xFF000000);
        render->BeginFrame();
        scene->Reset();
        scene->SetBackgroundColor(0xFFEEF1FF, 1);
        camera->Reset();
        if (top) {
            const float cx = width * 20.0f * 0.5f;
            const float cz = -(height * 20.0f * 0.5f);
            camera->SetLookAt({cx, 250.0f, cz - 10.0f}, {cx, 0.0f, cz}, 0);
        } else {
            camera->SetLookAt({px, 30.0f, pz - 300.0f}, {px, 30.0f, pz}, 0);
        }
        camera->Update();
        scene->SetDirectionalLight({0.0f, -0.5f, 0.7f}, {0.8f, 0.8f, 0.8f});
        scene->SetAmbientLight({0.2f, 0.2f, 0.2f}, {0.5f, 0.5f, 0.5f});
        scene->Begin(0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (rows[y][x] == '.') {
                    place(tiles[static_cast<std::size_t>(y * width + x)], x, y);
                }
            }
        }
        place(icicleActor, 3, 3);
        for (int m = 0; m < icicleActor->GetMeshCount(); ++m) {
            for (int j = 0; j < icicleActor->GetMaterialCount(m); ++j) {
                icicleActor->SetMaterialTransparent(m, j, 0);
                if (!top) {
                    icicleActor->SetMaterialTransparent(m, j, 1);
                    icicleActor->SetMaterialColor(m, j, {1.0f, 1.0f, 1.0f, 0.6f});
                }
            }
        }
        place(frogA, 4, 1);
        place(frogB, 1, 0);
        frogC->SetAnimation(1, 20.0f);
        place(frogC, 0, 3);
        playerActor->SetAnimation(0, 10.0f);
        place(playerActor, 2, 2, 49152);
        scene->End();
        scene->Render(0);
        render->EndFrame();
        return Lumora::Testing::SavePixelsPng(path);
    };
    const bool saved = shoot(false, argv[1]) && shoot(true, argv[2]);

    for (Lumora::IActor* actor : tiles) {
        actor->Release();
    }
    for (Lumora::IActor* actor : {icicleActor, frogA, frogB, frogC, playerActor}) {
        actor->Release();
    }
    for (Lumora::IModel* model : {player, floor, icicle, frozen, leaving}) {
        model->Release();
    }
    camera->Release();
    scene->Release();
    render->Release();
    device->Release();
    files->Release();
    core->Release();
    Lumora::System::Finalize();
    Lumora::Testing::DisableHeadless();
    return saved ? 0 : 1;
}
