// tomarugi-demo [--frames N] [--offscreen-png PATH] [--hold MASK] [--dir DIR]
//
// A look at the engine with the game's own data: everything shown and heard comes from the
// password-protected data pack data.lpk through the public engine API, as the game reads it.
// The window (resizable; Alt+Enter or F11 fullscreen, F12 screenshot beside the program,
// closing it ends the demo) shows the 640x480 logical screen: the tiled background, the title
// screen's labels as one sprite batch with the tip of the highlighted item, the publisher and
// circle logos fading into each other, stage names in the baked Japanese font, the two volumes
// in the game's digit picture, and eight lamps for the virtual buttons held (arrows, Z, X, C,
// V, or a game pad's face buttons and stick, mapped as the game maps them).
//
// Sound: "bgm_yukimichi.ogg" loops from the start; left/right change its volume, up/down the
// effect volume, in steps of 10 percent; confirm (Z, pad button A) plays "decision.wav".
//
// --frames N ends after N frames. --offscreen-png PATH runs without a display or audio device
// (the engine's headless mode with real OpenGL pixels), saves the last frame as a PNG and
// prints the sound requests made; --hold MASK then holds virtual buttons (bit n = button n,
// e.g. 0x10000 confirm) from the first frame on. --dir DIR reads data.lpk and the plug-ins
// from DIR instead of the program's own folder.
//
// Exit status: 0 after a normal run, 1 when the data or the window cannot be had, 2 for a
// bad command line.
#include <Lumora/ICore.h>
#include <Lumora/IFont.h>
#include <Lumora/IInputController.h>
#include <Lumora/IRender.h>
#include <Lumora/ISprite2D.h>
#include <Lumora/ITexture.h>
#include <Lumora/System.h>
#include <Lumora/Testing.h>
#include <Lumora/Text.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Lumora::Math::Rect;

constexpr const char* kPackName = "data";
constexpr const char* kPackPassword = "hasunohanagasaku";

// Virtual buttons, as the game numbers them.
constexpr std::int32_t kButtonConfirm = 16;
constexpr std::int32_t kLampButtons[8] = {0, 1, 2, 3, 16, 17, 18, 19};

// Volumes move in steps of 10 percent, 0..100.
constexpr std::int32_t kVolumeSteps = 11;

struct Options {
    long frames = -1; // -1: until the window is closed
    std::string offscreenPng;
    std::uint32_t heldMask = 0;
    bool holdGiven = false;
    std::string directory;
};

void PrintUsage()
{
    std::fprintf(stderr,
                 "usage: tomarugi-demo [--frames N] [--offscreen-png PATH] [--hold MASK] [--dir DIR]\n");
}

bool ParseNumber(const char* text, unsigned long long limit, unsigned long long& value)
{
    if (text == nullptr || *text == '\0' || *text == '-') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text, &end, 0);
    return errno == 0 && *end == '\0' && value <= limit;
}

// False, with the reason on stderr, for anything it does not understand.
bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (argument != "--frames" && argument != "--offscreen-png" && argument != "--hold" &&
            argument != "--dir") {
            std::fprintf(stderr, "tomarugi-demo: unknown option \"%s\"\n", argv[i]);
            return false;
        }
        if (value == nullptr) {
            std::fprintf(stderr, "tomarugi-demo: %s needs a value\n", argv[i]);
            return false;
        }
        ++i;
        unsigned long long number = 0;
        if (argument == "--frames") {
            if (!ParseNumber(value, 1'000'000'000ULL, number)) {
                std::fprintf(stderr, "tomarugi-demo: --frames wants a count of frames, not \"%s\"\n", value);
                return false;
            }
            options.frames = static_cast<long>(number);
        } else if (argument == "--hold") {
            if (!ParseNumber(value, 0xFFFFFFFFULL, number)) {
                std::fprintf(stderr, "tomarugi-demo: --hold wants a 32-bit button mask, not \"%s\"\n", value);
                return false;
            }
            options.heldMask = static_cast<std::uint32_t>(number);
            options.holdGiven = true;
        } else if (argument == "--offscreen-png") {
            options.offscreenPng = value;
        } else {
            options.directory = value;
        }
    }
    if (options.holdGiven && options.offscreenPng.empty()) {
        std::fprintf(stderr, "tomarugi-demo: --hold only works with --offscreen-png\n");
        return false;
    }
    return true;
}

fs::path ProgramFile()
{
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self;
}

// The engine reads the pack and the plug-ins beside the running program. To read them from
// another folder, the demo runs a copy of itself from a scratch folder holding that copy and
// links to DIR's data.lpk and *.lmp; the scratch folder is removed afterwards. Returns the
// copy's exit status.
int RunFromDirectory(const fs::path& directory, int argc, char** argv)
{
    std::error_code error;
    const fs::path self = ProgramFile();
    if (self.empty()) {
        std::fprintf(stderr, "tomarugi-demo: cannot find its own program file\n");
        return 1;
    }
    if (!fs::exists(directory / "data.lpk", error)) {
        std::fprintf(stderr, "tomarugi-demo: no data.lpk in \"%s\"\n", directory.c_str());
        return 1;
    }
    std::string pattern = (fs::temp_directory_path(error) / "tomarugi-demo-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "tomarugi-demo: cannot make a scratch folder\n");
        return 1;
    }
    const fs::path scratch(pattern);
    const fs::path program = scratch / "tomarugi-demo";
    bool ready = fs::copy_file(self, program, error) && !error;
    const fs::path absolute = fs::absolute(directory, error);
    if (ready) {
        fs::create_symlink(absolute / "data.lpk", scratch / "data.lpk", error);
        ready = !error;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(absolute, error)) {
        if (ready && entry.path().extension() == ".lmp") {
            fs::create_symlink(entry.path(), scratch / entry.path().filename(), error);
            ready = !error;
        }
    }
    int status = 1;
    if (!ready) {
        std::fprintf(stderr, "tomarugi-demo: cannot prepare the scratch folder %s\n", scratch.c_str());
    } else {
        // The same command line without --dir: the copy's own folder now is DIR's stand-in.
        std::vector<std::string> arguments = {program.string()};
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
                ++i;
            } else {
                arguments.emplace_back(argv[i]);
            }
        }
        std::vector<char*> childArgv;
        for (std::string& argument : arguments) {
            childArgv.push_back(argument.data());
        }
        childArgv.push_back(nullptr);
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            execv(childArgv[0], childArgv.data());
            _exit(127);
        }
        int waitStatus = 0;
        if (child > 0 && waitpid(child, &waitStatus, 0) == child && WIFEXITED(waitStatus)) {
            status = WEXITSTATUS(waitStatus);
        } else {
            std::fprintf(stderr, "tomarugi-demo: the demo run ended abnormally\n");
        }
    }
    fs::remove_all(scratch, error);
    return status;
}

// Moves a 0..kVolumeSteps-1 step with the controller's cursor call (presses and held
// repeats), but stops at the ends instead of wrapping round. `direction` is +1 when the
// cursor's index grows with the volume, -1 when it shrinks.
template <typename MoveFunction>
bool StepVolume(std::int32_t& volumeStep, int direction, MoveFunction move)
{
    std::int32_t index = direction > 0 ? volumeStep : kVolumeSteps - 1 - volumeStep;
    const std::int32_t before = index;
    if (!move(index)) {
        return false;
    }
    const bool wrapped = std::abs(index - before) > 1;
    if (wrapped) {
        return false;
    }
    volumeStep = direction > 0 ? index : kVolumeSteps - 1 - index;
    return true;
}

struct Resources {
    Lumora::ITexture* softCircle = nullptr;
    Lumora::ITexture* background = nullptr;
    Lumora::ITexture* digits = nullptr;
    Lumora::ITexture* publisherLogo = nullptr;
    Lumora::ITexture* circleLogo = nullptr;
    Lumora::ITexture* labels = nullptr;
    Lumora::ITexture* tips = nullptr;
    Lumora::ISprite2D* labelSprite = nullptr;
    Lumora::ISprite2D* digitSprite = nullptr;
    Lumora::IFont* listFont = nullptr;
    Lumora::IFont* systemFont = nullptr;
    Lumora::IStreamSound* music = nullptr;
    Lumora::ISound* decision = nullptr;

    ~Resources()
    {
        Lumora::SafeRelease(decision);
        Lumora::SafeRelease(music);
        Lumora::SafeRelease(systemFont);
        Lumora::SafeRelease(listFont);
        Lumora::SafeRelease(digitSprite);
        Lumora::SafeRelease(labelSprite);
        for (Lumora::ITexture** texture :
             {&tips, &labels, &circleLogo, &publisherLogo, &digits, &background, &softCircle}) {
            Lumora::SafeRelease(*texture);
        }
    }
};

// Loads everything from the pack, as the game does: pictures from graphic/sprite (smooth,
// mipmapped and premultiplied for those drawn scaled, pixel-exact for the title's pictures
// drawn at their own size), fonts from font\, music and effect from sound/. False, naming what
// is missing, when anything could not be had.
bool LoadResources(Lumora::ICore& core, Lumora::IFileManager& files, Lumora::IRender& render,
                   Resources& resources)
{
    std::vector<std::string> missing;
    auto texture = [&](const char* name) {
        Lumora::ITexture* made = render.CreateTextureFromFile(name);
        if (made == nullptr) {
            missing.emplace_back(name);
        }
        return made;
    };
    files.SetCurrentDirectory("graphic/sprite");
    render.SetTextureLoadOptions(3, 0, 1, 0);
    resources.softCircle = texture("common__soft_circle_640x480.tga");
    resources.background = texture("background_panel_rimeko.png");
    resources.digits = texture("numbers_32_azuki.png");
    resources.publisherLogo = texture("publisherlogo.png");
    resources.circleLogo = texture("circle_logo_kobokan.png");
    render.SetTextureLoadOptions(1, 0, 0, 0);
    resources.labels = texture("title_menu_stick_tr.png");
    resources.tips = texture("title_menu_tip_text_tr.png");

    files.SetCurrentDirectory("font\\");
    resources.listFont = render.CreateFont("Font_Azuki_32.lft", "tga", 1024, 1, 1024);
    resources.systemFont = render.CreateFont("Font.lft", "tga", 32, 1, 256);
    if (resources.listFont->IsInvalid() != 0) {
        missing.emplace_back("Font_Azuki_32.lft");
    }
    if (resources.systemFont->IsInvalid() != 0) {
        missing.emplace_back("Font.lft");
    }

    files.SetCurrentDirectory("sound/bgm");
    resources.music = core.CreateStreamSound("bgm_yukimichi.ogg", 0, "OggVorbis");
    if (resources.music == nullptr) {
        missing.emplace_back("bgm_yukimichi.ogg");
    }
    files.SetCurrentDirectory("sound/se");
    resources.decision = core.CreateSound("decision.wav", 1, 0);
    if (resources.decision == nullptr) {
        missing.emplace_back("decision.wav");
    }
    files.SetCurrentDirectory(nullptr);

    // Four label rows and up to three digits a volume, two volumes.
    resources.labelSprite = render.CreateSprite2D(6 * 4, resources.labels, 0, 0, 0, 0);
    resources.digitSprite = render.CreateSprite2D(6 * 6, resources.digits, 0, 0, 0, 0);

    for (const std::string& name : missing) {
        std::fprintf(stderr, "tomarugi-demo: could not load \"%s\" from %s.lpk\n",
                     Lumora::ShiftJisToUtf8(name).c_str(), kPackName);
    }
    return missing.empty() && resources.labelSprite != nullptr && resources.digitSprite != nullptr;
}

void MapButtons(Lumora::IInputController& input)
{
    // Arrows for the directions, Z X C V for 16..19 (DirectInput key codes), the pad's four
    // face buttons for 16..19 and its left stick (and D-pad) for the directions.
    const std::int32_t keys[8][2] = {{0, 0xC8},  {1, 0xD0},  {2, 0xCB},  {3, 0xCD},
                                     {16, 0x2C}, {17, 0x2D}, {18, 0x2E}, {19, 0x2F}};
    for (const auto& key : keys) {
        input.SetKeyboardButton(key[0], key[1]);
    }
    for (std::int32_t pad = 0; pad < 4; ++pad) {
        input.SetJoystickButton(16 + pad, pad);
    }
    input.SetAxisX(0, 0, 0);
    input.SetAxisY(0, 0, 1);
}

// One title item: its label row in the label picture, its screen y, its tip cell.
struct TitleItem {
    float labelY;
    float screenY;
    float tipX;
    float tipY;
};
constexpr TitleItem kTitleItems[4] = {
    {0, 32, 0, 0}, {64, 160, 330, 0}, {128, 288, 0, 256}, {192, 402, 330, 256}};

// Digits of `value` from the 200x32 digit picture (ten 20x32 cells, 0 to 9), right-aligned
// with the last digit at `right`.
void AddNumber(Lumora::ISprite2D& sprite, int value, float right, float y)
{
    int position = 0;
    do {
        const int digit = value % 10;
        sprite.DrawSquare(Rect(right - 20.0f * position, y, 20, 32), Rect(20.0f * digit, 0, 20, 32),
                          0xFFFFFFFF);
        value /= 10;
        ++position;
    } while (value > 0);
}

void DrawFrame(Lumora::IRender& render, Resources& r, Lumora::IInputController& input, long frame,
               int musicPercent, int effectPercent)
{
    const Rect fillTexel(120, 0, 1, 1); // a plain texel of the soft circle
    render.SetClearColor(0xFF000000);
    render.BeginFrame();
    render.SetBlendMode(0);

    // The background drifts diagonally by one tile every 128 frames.
    const float drift = static_cast<float>(frame % 128);
    for (float x = -128; x < 640; x += 128) {
        for (float y = -128; y < 480; y += 128) {
            render.DrawTexture(Rect(x + drift, y + drift, 128, 128), 0xFFFFFFFF, Rect(0, 0, 128, 128),
                               r.background, 0, {});
        }
    }
    render.DrawTexture(Rect(320, 0, 320, 480), 0xFFFFFFFF, fillTexel, r.softCircle, 0, {});

    // The title menu: the highlight walks down the items every two seconds.
    const TitleItem& current = kTitleItems[frame / 120 % 4];
    render.DrawTexture(Rect(0, current.screenY, 320, 64), 0xFFFFFFFF, Rect(320, 0, 1, 1), r.softCircle, 0, {});
    r.labelSprite->Begin();
    for (const TitleItem& item : kTitleItems) {
        r.labelSprite->DrawSquare(Rect(0, item.screenY, 256, 64), Rect(0, item.labelY, 256, 64),
                                  &item == &current ? 0xFFFFFFFF : 0xA0FFFFFF);
    }
    r.labelSprite->End();
    r.labelSprite->Render();

    // The item's tip, scaled into the right half; the soft circle shrunk behind it.
    render.SetBlendMode(1);
    render.DrawTexture(Rect(328, 8, 304, 228), 0x60FFFFFF, Rect(0, 0, 640, 480), r.softCircle, 0, {});
    render.DrawTexture(Rect(332, 8, 297, 230), 0xFFFFFFFF, Rect(current.tipX, current.tipY, 330, 256), r.tips, 0,
                       {});

    // Stage names in the list font: black with a white outline, the second one dimmed.
    render.SetBlendMode(0);
    r.listFont->Begin(0);
    r.listFont->DrawText(Lumora::Utf8ToShiftJis("練習問題１").c_str(), 336, 246, 0xFF000000, 0xFFFFFFFF);
    r.listFont->DrawText(Lumora::Utf8ToShiftJis("体験版Easy").c_str(), 336, 282, 0x88000000, 0xFFFFFFFF);
    r.listFont->End();
    r.listFont->Render();

    // Volumes: captions in the system font, values in the digit picture.
    r.systemFont->Begin(0);
    r.systemFont->DrawText("BGM  < >", 336, 334, 0xFFFFFFFF, 0xFF000000);
    r.systemFont->DrawText("SE   ^ v", 488, 334, 0xFFFFFFFF, 0xFF000000);
    r.systemFont->End();
    r.systemFont->Render();
    r.digitSprite->Begin();
    AddNumber(*r.digitSprite, musicPercent, 416, 352);
    AddNumber(*r.digitSprite, effectPercent, 568, 352);
    r.digitSprite->End();
    r.digitSprite->Render();

    // The two logos take turns, each fading in and out over two seconds.
    render.SetBlendMode(1);
    const long turn = frame % 240;
    const double opacity = std::sin(3.14159265358979 * static_cast<double>(turn % 120) / 120.0);
    const std::uint32_t logoArgb = (static_cast<std::uint32_t>(std::lround(255.0 * opacity)) << 24) | 0xFFFFFF;
    if (turn < 120) {
        render.DrawTexture(Rect(332, 398, 297, 27), logoArgb, Rect(0, 0, 400, 36), r.publisherLogo, 0, {});
    } else {
        render.DrawTexture(Rect(328, 393, 304, 38), logoArgb, Rect(0, 0, 512, 64), r.circleLogo, 0, {});
    }

    // Lamps: lit orange while the button is held.
    render.SetBlendMode(0);
    for (int lamp = 0; lamp < 8; ++lamp) {
        const bool held = input.GetState(Lumora::InputHeld, kLampButtons[lamp]);
        render.DrawTexture(Rect(332.0f + 37.0f * lamp, 446, 30, 22), 0xFF202838, fillTexel, r.softCircle, 0, {});
        render.DrawTexture(Rect(334.0f + 37.0f * lamp, 448, 26, 18), held ? 0xFFFF8020 : 0xFF606878, fillTexel,
                           r.softCircle, 0, {});
    }
    render.EndFrame();
}

const char* SoundEventKind(Lumora::Testing::SoundEvent::Kind kind)
{
    switch (kind) {
    case Lumora::Testing::SoundEvent::Kind::Play:
        return "play";
    case Lumora::Testing::SoundEvent::Kind::Stop:
        return "stop";
    case Lumora::Testing::SoundEvent::Kind::Volume:
        break;
    }
    return "volume";
}

int RunDemo(const Options& options)
{
    const bool offscreen = !options.offscreenPng.empty();
    long frames = options.frames;
    if (offscreen) {
        Lumora::Testing::EnableHeadless({true});
        if (frames < 0) {
            frames = 60;
        }
    }
    if (Lumora::System::Initialize(1, 1, 1) == 0) {
        return 1;
    }
    int status = 1;
    Lumora::ICore* core = Lumora::System::CreateCore();
    Lumora::IFileManager* files = nullptr;
    Lumora::IGraphicsDevice* device = nullptr;
    Lumora::IRender* render = nullptr;
    Lumora::IInputController* input = nullptr;
    {
        Resources resources;
        bool ready = core != nullptr && core->Initialize("tomarugi demo", 0) != 0;
        if (ready) {
            core->SetOption(Lumora::ICore::OptionDefault);
            files = core->CreateFileManager();
            ready = files != nullptr && files->SetPackFile(0, kPackName, kPackPassword);
            if (!ready) {
                std::fprintf(stderr, "tomarugi-demo: cannot open %s.lpk beside the program\n", kPackName);
            }
        }
        if (ready) {
            core->SetFileManager(files);
            device = core->CreateGraphicsDevice(0);
            ready = device != nullptr && core->Start(640, 480, 1) != 0;
        }
        if (ready) {
            render = device->CreateRender(0, 1);
            input = core->CreateInputController(0, 30, 6);
            ready = render != nullptr && input != nullptr && LoadResources(*core, *files, *render, resources);
        }
        if (ready) {
            MapButtons(*input);
            if (offscreen) {
                Lumora::Testing::SetHeldButtons(options.heldMask);
            }
            std::int32_t musicStep = 7;
            std::int32_t effectStep = 10;
            resources.music->SetVolume(10.0f * musicStep);
            resources.music->Play(-1);
            resources.decision->SetVolume(0, 10.0f * effectStep);

            const std::uint64_t period = core->GetPerformanceFrequency() / 60;
            std::uint64_t next = core->GetPerformanceCounter();
            long frame = 0;
            while ((frames < 0 || frame < frames) && core->Run(0) != 0) {
                input->Refresh();
                if (StepVolume(musicStep, +1, [&](std::int32_t& index) {
                        return input->MoveCursorHorizontal(0, index, kVolumeSteps);
                    })) {
                    resources.music->SetVolume(10.0f * musicStep);
                }
                // Up (the cursor's minus) makes it louder.
                if (StepVolume(effectStep, -1, [&](std::int32_t& index) {
                        return input->MoveCursor(0, index, kVolumeSteps);
                    })) {
                    resources.decision->SetVolume(0, 10.0f * effectStep);
                    resources.decision->Play(0, 0); // let the new level be heard
                }
                if (input->GetState(Lumora::InputPressed, kButtonConfirm)) {
                    resources.decision->Play(0, 0);
                }
                DrawFrame(*render, resources, *input, frame, 10 * musicStep, 10 * effectStep);
                ++frame;
                if (offscreen) {
                    Lumora::Testing::AdvanceClock(1'000'000 / 60);
                } else {
                    next += period;
                    const std::uint64_t now = core->GetPerformanceCounter();
                    if (next > now) {
                        std::this_thread::sleep_for(
                            std::chrono::microseconds((next - now) * 1'000'000 / core->GetPerformanceFrequency()));
                    } else {
                        next = now;
                    }
                }
            }
            status = 0;
            if (offscreen) {
                if (!Lumora::Testing::SavePixelsPng(options.offscreenPng.c_str())) {
                    std::fprintf(stderr, "tomarugi-demo: cannot save \"%s\"\n", options.offscreenPng.c_str());
                    status = 1;
                }
                for (const Lumora::Testing::SoundEvent& event : Lumora::Testing::TakeSoundEvents()) {
                    std::printf("sound %s %s", SoundEventKind(event.kind), event.name.c_str());
                    if (event.kind == Lumora::Testing::SoundEvent::Kind::Volume) {
                        std::printf(" %.0f", static_cast<double>(event.volume));
                    } else if (event.kind == Lumora::Testing::SoundEvent::Kind::Play) {
                        std::printf(" loop %d", event.loop);
                    }
                    std::printf("\n");
                }
                std::printf("frames %ld\n", frame);
            }
            resources.music->Stop();
        }
    }
    Lumora::SafeRelease(input);
    Lumora::SafeRelease(render);
    Lumora::SafeRelease(device);
    if (core != nullptr) {
        core->SetFileManager(nullptr);
    }
    Lumora::SafeRelease(files);
    Lumora::SafeRelease(core);
    Lumora::System::Finalize();
    if (offscreen) {
        Lumora::Testing::DisableHeadless();
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage();
        return 2;
    }
    if (!options.directory.empty()) {
        std::error_code error;
        const fs::path own = ProgramFile().parent_path();
        if (!fs::is_directory(options.directory, error)) {
            std::fprintf(stderr, "tomarugi-demo: \"%s\" is not a folder\n", options.directory.c_str());
            return 2;
        }
        if (own.empty() || !fs::equivalent(own, options.directory, error)) {
            return RunFromDirectory(options.directory, argc, argv);
        }
    }
    return RunDemo(options);
}
