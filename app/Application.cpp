#include "Application.h"

#include "CommonGraphics.h"
#include "CommonSounds.h"
#include "GameFolders.h"
#include "GameText.h"
#include "ResourceManager.h"
#include "SaveDataManager.h"
#include "SceneRoot.h"

#include <Lumora/System.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr std::int32_t kScreenWidth = 640;
constexpr std::int32_t kScreenHeight = 480;
constexpr std::uint64_t kUpdatesPerSecond = 60;
constexpr std::int32_t kMaxUpdatesPerPass = 10;
constexpr std::uint32_t kClearColor = 0xFFFCFCFC;
constexpr auto kLoaderPollInterval = std::chrono::milliseconds(100);
constexpr const char* kPackName = "data";
constexpr const char* kPackPassword = "hasunohanagasaku";

// The loading overlay fades its counter by this much per drawn frame; the picture itself is
// opaque whenever the counter is above 0.
constexpr std::int32_t kOverlayStep = 10;
constexpr std::int32_t kOverlayMax = 255;

// DirectInput key codes of the nine virtual buttons, in the order they are mapped.
struct KeyMapping {
    std::int32_t button;
    std::int32_t keyCode;
};
constexpr KeyMapping kKeyboardButtons[] = {
    {16, 0x2C}, // Z: confirm
    {17, 0x2D}, // X: cancel
    {18, 0x2E}, // C
    {19, 0x2F}, // V
    {0, 0xC8},  // up arrow
    {1, 0xD0},  // down arrow
    {2, 0xCB},  // left arrow
    {3, 0xCD},  // right arrow
    {20, 0x23}, // H: hint (puzzle screen)
    {21, 0x16}, // U: undo (stage editor)
    {22, 0x13}, // R: redo (stage editor)
};
// The hint's pad button: the left shoulder.
constexpr std::int32_t kHintButton = 20;
constexpr std::int32_t kHintPadButton = 9;
// The stage editor's undo and redo on the pad: the shoulders (the left one is the puzzle
// screen's hint; the two screens never run together).
constexpr std::int32_t kUndoButton = 21;
constexpr std::int32_t kRedoButton = 22;
constexpr std::int32_t kRightShoulderPadButton = 10;

} // namespace

Application::Application()
{
    // A failed step is told once, in the start-up failure line with the engine's reason in
    // it; the engine keeps its own lines on these steps back meanwhile.
    Lumora::System::SetStartErrorReport(false);
    Start();
    Lumora::System::SetStartErrorReport(true);
}

void Application::FailStartup(const char* what, const char* reason)
{
    startupFailureText_ = what;
    if (reason != nullptr && reason[0] != '\0') {
        startupFailureText_ += std::string(" (") + reason + ")";
    }
    startupFailure_ = startupFailureText_.c_str();
}

void Application::Start()
{
    // Before anything reads the save file: it may live in the player's data folder.
    PrepareGameFolders();
    if (Lumora::System::Initialize(1, 1, 1) == 0) {
        FailStartup("the engine could not start its video, audio or input subsystem",
                    Lumora::System::GetStartError());
        return;
    }
    systemInitialized_ = true;

    core_ = Lumora::System::CreateCore();
    if (core_ == nullptr) {
        startupFailure_ = "the engine core could not be created";
        return;
    }
    if (core_->Initialize(WindowTitleText().c_str(), 0) == 0) {
        FailStartup("the window could not be opened", Lumora::System::GetStartError());
        return;
    }
    core_->SetOption(0);

    fileManager_ = core_->CreateFileManager();
    if (fileManager_ == nullptr) {
        startupFailure_ = "the file manager could not be created";
        return;
    }
    core_->SetFileManager(fileManager_);
    // Without its pack the game has no pictures, sounds or stages to show. The refusal is
    // told once, in the start-up failure line, so the engine keeps its own line back.
    fileManager_->SetPackErrorReport(false);
    const bool packOpened = fileManager_->SetPackFile(0, kPackName, kPackPassword);
    fileManager_->SetPackErrorReport(true);
    if (!packOpened) {
        FailStartup("the data pack data.lpk could not be opened", fileManager_->GetPackError());
        return;
    }
    fileManager_->SetCurrentDirectory("");

    graphicsDevice_ = core_->CreateGraphicsDevice(0);
    if (graphicsDevice_ == nullptr) {
        startupFailure_ = "the graphics device could not be created";
        return;
    }
    if (core_->Start(kScreenWidth, kScreenHeight, 1) == 0) {
        FailStartup("the 640x480 screen could not be set up", Lumora::System::GetStartError());
        return;
    }

    loaderRender_ = graphicsDevice_->CreateRender(0, 1);
    if (loaderRender_ == nullptr) {
        startupFailure_ = "the loader's renderer could not be created";
        return;
    }
    inputController_ = core_->CreateInputController(0, 60, 15);
    if (inputController_ != nullptr) {
        for (const KeyMapping& mapping : kKeyboardButtons) {
            inputController_->SetKeyboardButton(mapping.button, mapping.keyCode);
        }
        for (std::int32_t padButton = 0; padButton < 4; ++padButton) {
            inputController_->SetJoystickButton(16 + padButton, padButton);
        }
        inputController_->SetJoystickButton(kHintButton, kHintPadButton);
        inputController_->SetJoystickButton(kUndoButton, kHintPadButton);
        inputController_->SetJoystickButton(kRedoButton, kRightShoulderPadButton);
        inputController_->SetAxisX(0, 0, 0);
        inputController_->SetAxisY(0, 0, 1);
    }

    resourceManager_ = new ResourceManager(core_, graphicsDevice_, fileManager_, loaderRender_);

    render_ = graphicsDevice_->CreateRender(0, 1);
    if (render_ == nullptr) {
        startupFailure_ = "the main renderer could not be created";
        return;
    }
    // The fonts are the slowest step of the start-up: every page of each is read from the
    // pack and decoded. So the work is spread: the common font goes to a helper thread at
    // once (only the stage select draws it, long after the start-up; see CommonGraphics.h),
    // the common pictures go to the loader, and meanwhile this thread makes the system font.
    // The system font is named from the pack root, so this thread never sets the file
    // manager's current directory, which the loader now sets for each of its loads.
    StartLoadingCommonFont(render_);
    LoadCommonGraphics(fileManager_, render_, resourceManager_);

    // The loading overlay draws the system font on the main thread, and our engine puts a
    // font's text into the frame of the render that made it: so the main render makes it.
    systemFont_ = render_->CreateFont("/font/Font.lft", "tga", 32, 1, 256);

    LoadCommonSounds(resourceManager_);
    WaitWhileLoading();
}

Application::~Application()
{
    if (resourceManager_ != nullptr) {
        WaitWhileLoading();
    }
    ReleaseCommonSounds();
    ReleaseCommonGraphics();
    if (sceneRoot_ != nullptr) {
        sceneRoot_->Shutdown();
        sceneRoot_->Release();
        sceneRoot_ = nullptr;
    }
    // A record the save file could not take earlier in this run gets a last chance (the
    // player may have freed the disk since); the screens, which might still write, are gone.
    StorePendingRecords();
    delete resourceManager_;
    resourceManager_ = nullptr;
    Lumora::SafeRelease(systemFont_);
    Lumora::SafeRelease(inputController_);
    Lumora::SafeRelease(render_);
    Lumora::SafeRelease(loaderRender_);
    Lumora::SafeRelease(graphicsDevice_);
    Lumora::SafeRelease(fileManager_);
    Lumora::SafeRelease(core_);
    if (systemInitialized_) {
        Lumora::System::Finalize();
    }
}

void Application::WaitWhileLoading()
{
    while (resourceManager_->IsBusy()) {
        // The window stays answerable meanwhile (moved, resized, closed, made fullscreen):
        // its events are handled at each look. A close asked for here ends the main loop
        // before its first pass.
        if (core_ != nullptr) {
            core_->Run(0);
        }
        std::this_thread::sleep_for(kLoaderPollInterval);
    }
}

ResourceManager* Application::GetResourceManager() { return resourceManager_; }
Lumora::ICore* Application::GetCore() { return core_; }
Lumora::IGraphicsDevice* Application::GetGraphicsDevice() { return graphicsDevice_; }
Lumora::IRender* Application::GetRender() { return render_; }
Lumora::IInputController* Application::GetInputController() { return inputController_; }
Lumora::IFont* Application::GetFont() { return systemFont_; }

void Application::Run()
{
    if (startupFailure_ != nullptr) {
        return;
    }
    BeginMainLoop();
    while (core_->Run(0) != 0) {
        RunPass();
    }
}

void Application::BeginMainLoop()
{
    if (sceneRoot_ == nullptr) {
        sceneRoot_ = new SceneRoot(this);
    }
    updatePeriod_ = core_->GetPerformanceFrequency() / kUpdatesPerSecond;
    // Half a period in the past, so the first pass already updates once. A counter that
    // starts near 0 (a fresh virtual clock) must not wrap round to a time far ahead.
    const std::uint64_t now = core_->GetPerformanceCounter();
    nextUpdateTime_ = now >= updatePeriod_ / 2 ? now - updatePeriod_ / 2 : 0;
}

std::int32_t Application::RunPass()
{
    render_->SetClearColor(kClearColor);
    render_->BeginFrame();
    sceneRoot_->Draw();
    DrawLoadingOverlay();
    render_->EndFrame();

    std::int32_t updates = 0;
    std::int32_t budget = kMaxUpdatesPerPass;
    std::uint64_t now = core_->GetPerformanceCounter();
    while (nextUpdateTime_ <= now) {
        if (inputController_ != nullptr) {
            inputController_->Refresh();
        }
        sceneRoot_->Update();
        nextUpdateTime_ += updatePeriod_;
        now = core_->GetPerformanceCounter();
        ++updates;
        if (--budget == 0) {
            // A backlog this long is dropped rather than made up.
            nextUpdateTime_ = now;
            break;
        }
    }
    return updates;
}

void Application::DrawLoadingOverlay()
{
    if (resourceManager_->IsBusy()) {
        if (overlayLevel_ < kOverlayMax) {
            overlayLevel_ = std::min(overlayLevel_ + kOverlayStep, kOverlayMax);
        }
    } else if (overlayLevel_ > 0) {
        overlayLevel_ = std::max(overlayLevel_ - kOverlayStep, 0);
    }
    if (overlayLevel_ <= 0) {
        return;
    }
    static constexpr const char* kDots[] = {".     ", "..    ", "...   "};
    const Lumora::Math::Rect screen(0.0f, 0.0f, 640.0f, 480.0f);
    render_->SetBlendMode(0);
    render_->DrawTexture(screen, 0xFFFFFFFF, screen, commonGraphics.nowLoading, 0,
                         Lumora::Math::Point2D{});
    if (systemFont_ != nullptr) {
        systemFont_->Begin(0);
        systemFont_->DrawText(kDots[(core_->GetSyncCount() / 10) % 3], 222, 56, 0xFFFFFFFF,
                              0x00000000);
        systemFont_->End();
        systemFont_->Render();
    }
}
