// tomarugi-demo [--frames N] [--offscreen-png PATH] [--font-dir DIR] [--hold MASK]
//
// Opens a resizable window (Alt+Enter or F11: fullscreen, F12: screenshot beside the
// program, closing the window ends it) and draws a scene made of pictures generated here:
// a drifting tiled background, a panel filled from one texel, a sprite batch of labels, a
// rotating and a fading picture. --frames ends after N frames; --offscreen-png renders
// without a display (SDL's offscreen driver) and saves the last frame as a PNG. --font-dir
// names a folder of baked fonts (build/content/font): a list of names is drawn with
// Font_Azuki_32.lft as the stage select draws its list, and the loading dots with Font.lft.
// A row of eight lamps at the bottom lights for each virtual button held (arrows, Z, X, C, V
// or a game pad, mapped as the game maps them); offscreen, --hold gives the held buttons as
// a mask (bit n = button n).
#include "FileSystem.h"
#include "ImageCodec.h"

#include <Lumora/ICore.h>
#include <Lumora/IInputController.h>
#include <Lumora/System.h>
#include <Lumora/Testing.h>
#include <Lumora/Text.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Lumora::Math::Rect;

class MemoryFile final : public Lumora::IFile {
public:
    MemoryFile(const std::string& name, const std::vector<std::uint8_t>& bytes) : name_(name), bytes_(bytes) {}
    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override
    {
        const std::int32_t left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    std::int32_t Read(void* buffer, std::int32_t size) override
    {
        const std::size_t count = std::min(static_cast<std::size_t>(std::max(size, 0)), bytes_.size() - position_);
        std::memcpy(buffer, bytes_.data() + position_, count);
        position_ += count;
        return static_cast<std::int32_t>(count);
    }
    std::int32_t GetSize() override { return static_cast<std::int32_t>(bytes_.size()); }
    std::int32_t GetPosition() override { return static_cast<std::int32_t>(position_); }
    std::int32_t Seek(std::int32_t position) override
    {
        position_ = static_cast<std::size_t>(std::clamp<std::int32_t>(position, 0, GetSize()));
        return GetPosition();
    }
    const char* GetName() override { return name_.c_str(); }

private:
    std::atomic<std::int32_t> references_{1};
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// The demo's pictures, generated once and served by name.
class GeneratedPictures final : public Lumora::IFileManager {
public:
    GeneratedPictures();
    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override
    {
        const std::int32_t left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    bool SetPackFile(std::int32_t, const char*, const char*) override { return true; }
    void SetCurrentDirectory(const char*) override {}
    Lumora::IFile* OpenFile(const char* name) override
    {
        const auto found = files_.find(name != nullptr ? name : "");
        if (found != files_.end()) {
            return new MemoryFile(found->first, found->second);
        }
        if (!diskDirectory.empty() && name != nullptr) {
            return Lumora::Internal::OpenDiskFile((diskDirectory + "/" + Lumora::ShiftJisToUtf8(name)).c_str());
        }
        return nullptr;
    }

    std::string diskDirectory; // pictures not generated here are read from this folder

private:
    using Shader = std::uint32_t (*)(int x, int y); // RGBA
    void Make(const char* name, int width, int height, Shader shader)
    {
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height) * 4);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = shader(x, y);
                std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
                p[0] = static_cast<std::uint8_t>(c >> 24);
                p[1] = static_cast<std::uint8_t>(c >> 16);
                p[2] = static_cast<std::uint8_t>(c >> 8);
                p[3] = static_cast<std::uint8_t>(c);
            }
        }
        files_[name] = Lumora::Internal::EncodePng(width, height, rgba.data());
    }

    std::atomic<std::int32_t> references_{1};
    std::map<std::string, std::vector<std::uint8_t>> files_;
};

std::uint8_t Channel(double value)
{
    return static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
}

std::uint32_t Rgba(double r, double g, double b, double a)
{
    return (static_cast<std::uint32_t>(Channel(r)) << 24) | (Channel(g) << 16) | (Channel(b) << 8) | Channel(a);
}

GeneratedPictures::GeneratedPictures()
{
    // Ice tiles: pale blue with a diagonal sheen and a thin frame.
    Make("tile.png", 128, 128, [](int x, int y) {
        const bool frame = x < 2 || y < 2;
        const double sheen = 12.0 * std::sin((x + y) * 0.05);
        return frame ? Rgba(190, 215, 235, 255) : Rgba(215 + sheen, 232 + sheen, 245, 255);
    });
    // A soft circle on white; its top row is plain white (the fill texel).
    Make("circle.png", 640, 480, [](int x, int y) {
        const double d = std::hypot(x - 320.0, y - 240.0) / 240.0;
        const double shade = 255.0 - 60.0 * std::max(0.0, 1.0 - d);
        return Rgba(shade, shade, 255, 255);
    });
    // Four label rows with rounded, anti-aliased ends and transparent surroundings.
    Make("labels.png", 256, 256, [](int x, int y) {
        const int row = y / 64;
        const double cy = row * 64 + 32.0;
        const double dx = std::max(0.0, std::max(40.0 - x, x - 216.0));
        const double dy = std::max(0.0, std::abs(y - cy) - 4.0);
        const double distance = std::hypot(dx, dy) - 20.0;
        const double coverage = std::clamp(0.5 - distance, 0.0, 1.0);
        const double hues[4][3] = {{70, 130, 200}, {200, 90, 120}, {80, 170, 110}, {150, 110, 190}};
        return Rgba(hues[row][0], hues[row][1], hues[row][2], 255.0 * coverage);
    });
    // A snowflake-ish star to rotate and fade.
    Make("star.png", 96, 96, [](int x, int y) {
        const double dx = x - 47.5;
        const double dy = y - 47.5;
        const double angle = std::atan2(dy, dx);
        const double radius = std::hypot(dx, dy);
        const double edge = 30.0 + 14.0 * std::cos(angle * 6.0);
        const double coverage = std::clamp(edge - radius, 0.0, 1.0);
        return Rgba(255, 255, 255 - radius, 255.0 * coverage);
    });
}

} // namespace

int main(int argc, char** argv)
{
    long frames = -1;
    const char* offscreenPng = nullptr;
    const char* fontDirectory = nullptr;
    std::uint32_t heldMask = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::strtol(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--offscreen-png") == 0 && i + 1 < argc) {
            offscreenPng = argv[++i];
        } else if (std::strcmp(argv[i], "--font-dir") == 0 && i + 1 < argc) {
            fontDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--hold") == 0 && i + 1 < argc) {
            heldMask = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        } else {
            std::fprintf(stderr, "usage: %s [--frames N] [--offscreen-png PATH] [--font-dir DIR] [--hold MASK]\n", argv[0]);
            return 2;
        }
    }
    if (offscreenPng != nullptr) {
        Lumora::Testing::EnableHeadless({true});
        if (frames < 0) {
            frames = 60;
        }
    }
    if (Lumora::System::Initialize(1, 0, 1) == 0) {
        return 1;
    }
    int status = 1;
    Lumora::ICore* core = Lumora::System::CreateCore();
    Lumora::IGraphicsDevice* device = nullptr;
    Lumora::IRender* render = nullptr;
    Lumora::ITexture* tile = nullptr;
    Lumora::ITexture* circle = nullptr;
    Lumora::ITexture* labels = nullptr;
    Lumora::ITexture* star = nullptr;
    Lumora::ISprite2D* labelSprite = nullptr;
    Lumora::IFont* listFont = nullptr;
    Lumora::IFont* systemFont = nullptr;
    Lumora::IInputController* input = nullptr;
    if (core != nullptr && core->Initialize("Lumora demo \x81\x9A", 0) != 0) {
        auto* pictures = new GeneratedPictures();
        if (fontDirectory != nullptr) {
            pictures->diskDirectory = fontDirectory;
        }
        core->SetFileManager(pictures);
        pictures->Release();
        device = core->CreateGraphicsDevice(0);
        if (device != nullptr && core->Start(640, 480, 1) != 0) {
            render = device->CreateRender(0, 1);
        }
    }
    if (render != nullptr) {
        render->SetTextureLoadOptions(3, 0, 1, 0);
        tile = render->CreateTextureFromFile("tile.png");
        circle = render->CreateTextureFromFile("circle.png");
        star = render->CreateTextureFromFile("star.png");
        render->SetTextureLoadOptions(1, 0, 0, 0);
        labels = render->CreateTextureFromFile("labels.png");
        labelSprite = render->CreateSprite2D(6 * 4, labels, 0, 0, 0, 0);
        if (fontDirectory != nullptr) {
            listFont = render->CreateFont("Font_Azuki_32.lft", "tga", 1024, 1, 1024);
            systemFont = render->CreateFont("Font.lft", "tga", 32, 1, 256);
        }
        // The game's mapping: DirectInput key codes and pad buttons 0..3.
        input = core->CreateInputController(0, 60, 15);
        if (input != nullptr) {
            const std::int32_t keys[8][2] = {{16, 0x2C}, {17, 0x2D}, {18, 0x2E}, {19, 0x2F},
                                             {0, 0xC8},  {1, 0xD0},  {2, 0xCB},  {3, 0xCD}};
            for (const auto& key : keys) {
                input->SetKeyboardButton(key[0], key[1]);
            }
            for (std::int32_t pad = 0; pad < 4; ++pad) {
                input->SetJoystickButton(16 + pad, pad);
            }
            input->SetAxisX(0, 0, 0);
            input->SetAxisY(0, 0, 1);
        }
        if (offscreenPng != nullptr) {
            Lumora::Testing::SetHeldButtons(heldMask);
        }
        const std::string names[4] = {Lumora::Utf8ToShiftJis("練習問題１"), Lumora::Utf8ToShiftJis("体験版Easy"),
                                      Lumora::Utf8ToShiftJis("氷の湖 (Hard)"), Lumora::Utf8ToShiftJis("トマルギ！")};

        const std::uint64_t period = core->GetPerformanceFrequency() / 60;
        std::uint64_t next = core->GetPerformanceCounter();
        long frame = 0;
        while (core->Run(0) != 0 && (frames < 0 || frame < frames)) {
            const float offset = static_cast<float>(frame % 128);
            render->SetClearColor(0xFFFCFCFC);
            render->BeginFrame();
            render->SetBlendMode(0);
            for (int x = 0; x <= 896; x += 128) {
                for (int y = 0; y <= 640; y += 128) {
                    render->DrawTexture(Rect(x - offset, y - offset, 128, 128), 0xFFFFFFFF, Rect(0, 0, 128, 128), tile, 0, {});
                }
            }
            render->DrawTexture(Rect(320, 0, 320, 480), 0xC0FFFFFF, Rect(320, 0, 1, 1), circle, 0, {});
            const int cursor = static_cast<int>(frame / 90 % 4);
            const float rows[4] = {32, 160, 288, 402};
            render->DrawTexture(Rect(0, rows[cursor], 640, 64), 0x8080A0FF, Rect(320, 0, 1, 1), circle, 0, {});
            labelSprite->Begin();
            for (int item = 0; item < 4; ++item) {
                labelSprite->DrawSquare(Rect(16, rows[item], 256, 64), Rect(0, item * 64.0f, 256, 64),
                                        item == cursor ? 0xFFFFFFFF : 0x88FFFFFF);
            }
            labelSprite->End();
            labelSprite->Render();
            render->SetBlendMode(1);
            render->DrawTexture(Rect(432, 192, 96, 96), 0xFFFFFFFF, Rect(0, 0, 96, 96), star,
                                static_cast<std::int32_t>(frame * 256), {});
            const std::uint32_t fade = static_cast<std::uint32_t>(127.5 + 127.5 * std::sin(frame * 0.05));
            render->DrawTexture(Rect(352, 352, 64, 64), (fade << 24) | 0xFFFFFF, Rect(0, 0, 96, 96), star, 0, {});
            if (listFont != nullptr && listFont->IsInvalid() == 0) {
                render->SetBlendMode(0);
                listFont->Begin(0);
                for (int line = 0; line < 4; ++line) {
                    listFont->DrawText(names[line].c_str(), 336, 32 + 32 * line, line == 0 ? 0xFF000000 : 0x88000000,
                                       0xFFFFFFFF);
                }
                listFont->End();
                listFont->Render();
            }
            if (systemFont != nullptr && systemFont->IsInvalid() == 0) {
                static const char* const dots[3] = {".     ", "..    ", "...   "};
                systemFont->Begin(0);
                systemFont->DrawText(dots[core->GetSyncCount() / 10 % 3], 222, 56, 0xFFFFFFFF, 0xFF000000);
                systemFont->End();
                systemFont->Render();
            }
            if (input != nullptr) {
                input->Refresh();
                const std::int32_t buttons[8] = {0, 1, 2, 3, 16, 17, 18, 19};
                render->SetBlendMode(0);
                for (int lamp = 0; lamp < 8; ++lamp) {
                    const bool held = input->GetState(Lumora::InputHeld, buttons[lamp]);
                    render->DrawTexture(Rect(16.0f + 36.0f * lamp, 446, 28, 20), held ? 0xFFFF8020 : 0xFF606878,
                                        Rect(320, 0, 1, 1), circle, 0, {});
                }
            }
            render->EndFrame();
            ++frame;
            if (offscreenPng == nullptr) {
                next += period;
                const std::uint64_t now = core->GetPerformanceCounter();
                if (next > now) {
                    std::this_thread::sleep_for(std::chrono::microseconds((next - now) * 1'000'000 / core->GetPerformanceFrequency()));
                } else {
                    next = now;
                }
            }
        }
        status = 0;
        if (offscreenPng != nullptr && !Lumora::Testing::SavePixelsPng(offscreenPng)) {
            std::fprintf(stderr, "tomarugi-demo: cannot save \"%s\"\n", offscreenPng);
            status = 1;
        }
    }
    Lumora::SafeRelease(input);
    Lumora::SafeRelease(listFont);
    Lumora::SafeRelease(systemFont);
    Lumora::SafeRelease(labelSprite);
    Lumora::SafeRelease(labels);
    Lumora::SafeRelease(star);
    Lumora::SafeRelease(circle);
    Lumora::SafeRelease(tile);
    Lumora::SafeRelease(render);
    Lumora::SafeRelease(device);
    Lumora::SafeRelease(core);
    Lumora::System::Finalize();
    return status;
}
