// tomarugi-modelsheet: every animation of the game's models, drawn by the engine's own 3D
// scene into an offscreen OpenGL surface, laid out on PNG contact sheets.
//
//     tomarugi-modelsheet <model tree> <plug-in dir> <sheet prefix> [--frames N] [--font FILE] [--side]
//
// <model tree> is the staging "graphic" folder (it holds nuiko/ and object/), read through
// an IFileManager of our own, the way the game reads the pack. <plug-in dir> holds
// Tessera.lmp and Common.lmp (the game folder). Writes:
//   <prefix>-nuiko.png    the player: one row per animation (0..7), N frames each
//   <prefix>-objects.png  the leaving frog's animation 1, then one row of every model at
//                         rest (its bind pose), the floor tile and icicle included
// Each tile is one 640 x 480 frame of the scene, box-filtered 3 : 1 to 213 x 160, with the
// model, animation and frame written under it. The view is from the front-left and above;
// --side looks level at the right side instead, to judge leaning and reaching. Characters stand on a floor tile so that
// sinking into it or floating above it shows. Sheet sizes depend only on N and the
// models' animation lists, so a caller can check them.
// A tool for looking at the models, not part of the game.
#include "ImageFiles.h"
#include "LooseFiles.h"
#include "ModelShaderHost.h"
#include "Raster.h"
#include "TextSetter.h"

#include <Lumora/ICore.h>
#include <Lumora/IFileManager.h>
#include <Lumora/IRender.h>
#include <Lumora/ISceneManager.h>
#include <Lumora/System.h>
#include <Lumora/Testing.h>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kReduce = 3;  // screen pixels per tile pixel, each way
constexpr int kTileWidth = kScreenWidth / kReduce;
constexpr int kTileHeight = kScreenHeight / kReduce;
constexpr int kGap = 12;
constexpr int kCaption = 20;
constexpr int kHeader = 30;
constexpr int kMaxAnimations = 32;  // indices probed for animations

struct ModelEntry {
    const char* folder;
    const char* file;
    bool onFloor;        // a character: drawn standing on a floor tile
    float lookHeight;    // world units: the point the camera looks at, above the origin
    float distance;      // world units from that point to the eye
    Lumora::IModel* model = nullptr;
};

struct Tile {
    std::string caption;
    std::vector<std::uint8_t> rgba;  // kTileWidth x kTileHeight
};

struct Row {
    std::string title;
    std::vector<Tile> tiles;
};

// Renders offscreen frames of single models with the game's lights and background.
class Studio {
public:
    Studio(Lumora::IRender* render, Lumora::IModel* floor, bool side) : render_(render), side_(side)
    {
        scene_ = render->CreateSceneManager(8, 1);
        scene_->SetRenderSize(0, kScreenWidth, kScreenHeight, 0);
        scene_->SetDrawMode(1);
        scene_->Prepare();
        camera_ = scene_->GetCamera();
        camera_->SetProjection(1.0f, 700.0f, 8192, kScreenWidth, kScreenHeight);
        floor_ = scene_->CreateActor(floor);
    }
    ~Studio()
    {
        floor_->Release();
        camera_->Release();
        scene_->Release();
    }
    Studio(const Studio&) = delete;
    Studio& operator=(const Studio&) = delete;

    // An actor of `model` in this studio's scene; the caller owns it.
    Lumora::IActor* CreateActor(Lumora::IModel* model) { return scene_->CreateActor(model); }

    // One frame of `actor` posed at (animation, frame); animation < 0 leaves the bind pose.
    bool Shoot(const ModelEntry& entry, Lumora::IActor* actor, int animation, float frame, Tile* tile, std::string* error)
    {
        render_->SetClearColor(0xFF000000);
        render_->BeginFrame();
        scene_->Reset();
        scene_->SetBackgroundColor(0xFFEEF1FF, 1);
        camera_->Reset();
        // From the model's front-left and a little above, as the puzzle's camera sees the
        // board: the front faces -Z, and the view is left-handed (+X on the right). The side
        // view looks level at the model's right (+X) side, its front on the screen's left.
        const float y = entry.lookHeight;
        const float d = entry.distance;
        if (side_)
            camera_->SetLookAt({d, y + 0.1f * d, 0.0f}, {0.0f, y, 0.0f}, 0);
        else
            camera_->SetLookAt({-0.38f * d, y + 0.45f * d, -0.81f * d}, {0.0f, y, 0.0f}, 0);
        camera_->Update();
        scene_->SetDirectionalLight({0.0f, -0.5f, 0.7f}, {0.8f, 0.8f, 0.8f});
        scene_->SetAmbientLight({0.2f, 0.2f, 0.2f}, {0.5f, 0.5f, 0.5f});
        scene_->Begin(0);
        if (entry.onFloor) Place(floor_);
        if (animation >= 0) actor->SetAnimation(animation, frame);
        Place(actor);
        scene_->End();
        scene_->Render(0);
        render_->EndFrame();
        std::int32_t width = 0, height = 0;
        const std::vector<std::uint8_t> pixels = Lumora::Testing::ReadPixels(&width, &height);
        if (width != kScreenWidth || height != kScreenHeight || pixels.size() != static_cast<std::size_t>(width) * height * 4) {
            *error = "no offscreen pixels (" + std::to_string(width) + "x" + std::to_string(height) + ")";
            return false;
        }
        // A frame of nothing but background means the model was not drawn at all (its shader
        // plug-in missing, say): a sheet of empty tiles must not pass for a picture of it.
        std::size_t drawn = 0;
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            const int d = std::max({std::abs(pixels[i] - 0xEE), std::abs(pixels[i + 1] - 0xF1), std::abs(pixels[i + 2] - 0xFF)});
            drawn += d > 12 ? 1 : 0;
        }
        if (drawn < pixels.size() / 4 / 200) {
            *error = tile->caption + ": nothing was drawn";
            return false;
        }
        tile->rgba.assign(static_cast<std::size_t>(kTileWidth) * kTileHeight * 4, 0);
        for (int ty = 0; ty < kTileHeight; ++ty) {
            for (int tx = 0; tx < kTileWidth; ++tx) {
                for (int c = 0; c < 4; ++c) {
                    int sum = 0;
                    for (int sy = 0; sy < kReduce; ++sy)
                        for (int sx = 0; sx < kReduce; ++sx)
                            sum += pixels[(static_cast<std::size_t>(ty * kReduce + sy) * width + tx * kReduce + sx) * 4 + c];
                    tile->rgba[(static_cast<std::size_t>(ty) * kTileWidth + tx) * 4 + c] =
                        static_cast<std::uint8_t>(c == 3 ? 255 : sum / (kReduce * kReduce));
                }
            }
        }
        return true;
    }

private:
    static void Place(Lumora::IActor* actor)
    {
        actor->ResetTransform();
        actor->UpdateTransform();
        actor->Render();
    }

    Lumora::IRender* render_;
    bool side_;
    Lumora::ISceneManager* scene_ = nullptr;
    Lumora::ICamera* camera_ = nullptr;
    Lumora::IActor* floor_ = nullptr;
};

std::string FrameText(float frame)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(frame));
    return text;
}

bool WriteSheet(const std::string& title, const std::vector<Row>& rows, const std::string& path, picturegen::TextSetter& text,
    std::string* error)
{
    std::size_t columns = 1;
    for (const Row& row : rows) columns = std::max(columns, row.tiles.size());
    const int rowHeight = kHeader + kTileHeight + kCaption;
    const int width = kGap + static_cast<int>(columns) * (kTileWidth + kGap);
    const int height = kHeader + kGap + static_cast<int>(rows.size()) * (rowHeight + kGap);
    picturegen::Canvas sheet(width, height);
    picturegen::Mask all(width, height);
    all.AddRoundedRectangle(0, 0, static_cast<float>(width), static_cast<float>(height), 0);
    sheet.Composite(all, picturegen::Paint::Solid({0.16f, 0.17f, 0.20f, 1}));
    auto write = [&](const std::string& line, float size, float x, float middleY, float maxWidth, picturegen::Colour colour) {
        picturegen::Mask mask(width, height);
        if (!text.Set(mask, "caption", size, line, x, picturegen::TextAnchor::Left, middleY, maxWidth, nullptr, error)) return false;
        sheet.Composite(mask, picturegen::Paint::Solid(colour));
        return true;
    };
    if (!write(title, 16, kGap, kHeader / 2.0f + 2, 0, {1, 1, 1, 1})) return false;
    int y = kHeader + kGap;
    for (const Row& row : rows) {
        if (!write(row.title, 14, kGap, y + kHeader / 2.0f, 0, {0.75f, 0.85f, 1, 1})) return false;
        int x = kGap;
        for (const Tile& tile : row.tiles) {
            sheet.DrawRgba8(tile.rgba.data(), kTileWidth, kTileHeight, x, y + kHeader);
            if (!write(tile.caption, 11, static_cast<float>(x), y + kHeader + kTileHeight + kCaption / 2.0f,
                    static_cast<float>(kTileWidth), {1, 1, 1, 1}))
                return false;
            x += kTileWidth + kGap;
        }
        y += rowHeight + kGap;
    }
    return picturegen::WriteImageFile(sheet, path, error);
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "tomarugi-modelsheet: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string font = "/usr/share/fonts/opentype/mplus/Mplus1-Medium.otf";
    int framesPerAnimation = 8;
    bool usage = argc < 4, side = false;
    for (int i = 4; i < argc && !usage; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--frames" && hasValue) framesPerAnimation = std::atoi(argv[++i]);
        else if (option == "--font" && hasValue) font = argv[++i];
        else if (option == "--side") side = true;
        else usage = true;
    }
    if (usage || framesPerAnimation < 1 || framesPerAnimation > 12) {
        std::fprintf(stderr, "usage: %s <model tree> <plug-in dir> <sheet prefix> [--frames N (1..12)] [--font FILE] [--side]\n",
            argc > 0 ? argv[0] : "tomarugi-modelsheet");
        return 2;
    }
    const std::string prefix = argv[3];
    picturegen::TextSetter text;
    std::string error;
    if (!text.AddFont("caption", font, &error)) return Fail(error);

    // The engine only warns when the shader plug-in is missing and skips what needs it.
    if (!std::filesystem::is_regular_file(std::filesystem::path(argv[2]) / "Tessera.lmp"))
        return Fail(std::string("no Tessera.lmp in ") + argv[2]);
    Lumora::Internal::SetModelShaderPluginDirectory(argv[2]);
    Lumora::Testing::EnableHeadless({true});
    if (Lumora::System::Initialize(1, 1, 1) == 0) return Fail("the engine did not start");
    Lumora::ICore* core = Lumora::System::CreateCore();
    core->Initialize("modelsheet", 0);
    auto* files = new Lumora::Internal::LooseFiles(argv[1]);
    core->SetFileManager(files);
    Lumora::IGraphicsDevice* device = core->CreateGraphicsDevice(0);
    Lumora::IRender* render = nullptr;
    if (device != nullptr && core->Start(kScreenWidth, kScreenHeight, 1) != 0) render = device->CreateRender(0, 1);

    std::vector<ModelEntry> models = {
        {"nuiko", "nuiko.lmd", true, 9.0f, 34.0f},
        {"object", "frog_leave.lmd", true, 8.0f, 46.0f},
        {"object", "frog_frozen.lmd", true, 8.0f, 46.0f},
        {"object", "icicle.lmd", true, 10.0f, 46.0f},
        {"object", "floorboard_ice.lmd", false, 0.0f, 36.0f},
    };
    bool loaded = render != nullptr;
    if (!loaded) std::fprintf(stderr, "tomarugi-modelsheet: no offscreen OpenGL surface to draw on\n");
    for (ModelEntry& entry : models) {
        if (render == nullptr) break;
        files->SetCurrentDirectory(entry.folder);
        entry.model = render->CreateModelFromFile(entry.file);
        if (entry.model == nullptr) {
            std::fprintf(stderr, "tomarugi-modelsheet: %s/%s did not load\n", entry.folder, entry.file);
            loaded = false;
        }
    }
    int status = loaded ? 0 : 1;
    if (loaded) {
        std::vector<Row> playerRows, objectRows;
        Row still{"at rest (bind pose)", {}};
        Studio studio(render, models.back().model, side);
        for (const ModelEntry& entry : models) {
            if (status != 0) break;
            Lumora::IActor* actor = studio.CreateActor(entry.model);
            // The rest pose first, while the actor has never been given an animation.
            Tile rest;
            rest.caption = std::string(entry.file) + " at rest";
            if (!studio.Shoot(entry, actor, -1, 0.0f, &rest, &error)) status = Fail(error);
            still.tiles.push_back(std::move(rest));
            for (int animation = 0; animation < kMaxAnimations && status == 0; ++animation) {
                const float length = actor->GetAnimationLength(animation);
                if (length <= 0.0f) continue;
                Row row{std::string(entry.file) + "  animation " + std::to_string(animation) + "  (" + FrameText(length) + " frames)", {}};
                for (int k = 0; k < framesPerAnimation; ++k) {
                    // Spread over 0..length; the last tile is the last frame.
                    const float frame = framesPerAnimation == 1 ? 0.0f : std::round(length * k / (framesPerAnimation - 1));
                    Tile tile;
                    tile.caption = std::string(entry.file) + " a" + std::to_string(animation) + " f" + FrameText(frame);
                    if (!studio.Shoot(entry, actor, animation, frame, &tile, &error)) {
                        status = Fail(error);
                        break;
                    }
                    row.tiles.push_back(std::move(tile));
                }
                (entry.model == models.front().model ? playerRows : objectRows).push_back(std::move(row));
            }
            actor->Release();
        }
        objectRows.push_back(std::move(still));
        if (status == 0) {
            const std::string playerPath = prefix + "-nuiko.png";
            const std::string objectPath = prefix + "-objects.png";
            if (!WriteSheet("nuiko.lmd: every animation", playerRows, playerPath, text, &error) ||
                !WriteSheet("objects: animations, and every model at rest", objectRows, objectPath, text, &error))
                status = Fail(error);
            else
                std::printf("%s: %zu animations\n%s: %zu rows\n", playerPath.c_str(), playerRows.size(), objectPath.c_str(), objectRows.size());
        }
    }
    for (ModelEntry& entry : models)
        if (entry.model != nullptr) entry.model->Release();
    if (render != nullptr) render->Release();
    if (device != nullptr) device->Release();
    files->Release();
    core->Release();
    Lumora::System::Finalize();
    Lumora::Testing::DisableHeadless();
    return status;
}
