#include "SceneConfig.h"

#include "CommonSounds.h"
#include "FlatFill.h"
#include "ResourceManager.h"
#include "SceneTitle.h"

namespace {

constexpr std::int32_t kConfirmButton = 16;
constexpr std::int32_t kCancelButton = 17;
constexpr std::int32_t kMenuSpriteVertices = 6144;
constexpr std::int32_t kRowCount = 3;
constexpr std::int32_t kVolumeSteps = 11; // 0..10
constexpr std::int32_t kOnOffSteps = 2;

// Screen y of the selection bar for each row.
constexpr float kRowBarY[kRowCount] = {64.0f, 96.0f, 320.0f};

using Lumora::Math::Rect;

} // namespace

SceneConfig::SceneConfig(Application* application)
    : Scene(application), save_(std::make_shared<SaveDataManager>()),
      wipe_(std::make_shared<EffectWipe>(GetRender(), 1)),
      background_(std::make_shared<BackGroundTileRender>(GetRender()))
{
    if (ResourceManager* loader = GetResourceManager()) {
        loader->AddRequestFor(LoadOwner(),
            new LoadRequest(kSmoothLoadOptions, "graphic/sprite", "config_menu.png", &menuTexture_));
    }
}

SceneConfig::~SceneConfig()
{
    Lumora::SafeRelease(menuTexture_);
    Lumora::SafeRelease(menuSprite_);
    background_.reset();
    wipe_.reset();
    save_.reset();
}

void SceneConfig::Leave()
{
    (*save_)->SetDaemonStageView(daemonStageView != 0);
    (*save_)->SetVolumeBgm(volumeBgm);
    (*save_)->SetVolumeSe(volumeSe);
    ApplySoundVolumes();
    if (commonSounds.cancel != nullptr) {
        commonSounds.cancel->Play(0, 0);
    }
    state = Leaving;
    Kill();
    if (GetParent() != nullptr) {
        GetParent()->AddChild(new SceneTitle(GetApplication()));
    }
}

bool SceneConfig::Update()
{
    Lumora::IInputController* input = GetInputController();
    if (state == Loading) {
        ResourceManager* loader = GetResourceManager();
        if (loader == nullptr || !loader->IsBusy()) {
            state = Active;
            if (Lumora::IRender* render = GetRender()) {
                menuSprite_ = render->CreateSprite2D(kMenuSpriteVertices, menuTexture_, 0, 0, 0, 0);
            }
            daemonStageView = (*save_)->GetDaemonStageView() ? 1 : 0;
            volumeBgm = (*save_)->GetVolumeBgm();
            volumeSe = (*save_)->GetVolumeSe();
        }
    } else if (state == Active && input != nullptr) {
        if (input->GetState(Lumora::InputPressed, kConfirmButton) ||
            input->GetState(Lumora::InputPressed, kCancelButton)) {
            Leave();
        }
        // Runs in the leaving tick too; a change made then is simply never written.
        input->MoveCursor(0, cursor, kRowCount);
        switch (cursor) {
        case 0:
            input->MoveCursorHorizontal(0, volumeBgm, kVolumeSteps);
            break;
        case 1:
            input->MoveCursorHorizontal(0, volumeSe, kVolumeSteps);
            break;
        default:
            input->MoveCursorHorizontal(0, daemonStageView, kOnOffSteps);
            break;
        }
    }
    return Scene::Update();
}

void SceneConfig::Draw()
{
    Lumora::IRender* render = GetRender();
    if (render != nullptr) {
        background_->Draw();
        DrawFlatFill(render, Rect(320.0f, 0.0f, 320.0f, 480.0f), kPanelTexelX);
        const std::int32_t row = cursor >= 0 && cursor < kRowCount ? cursor : 0;
        DrawFlatFill(render, Rect(0.0f, kRowBarY[row], 640.0f, 32.0f), kPanelTexelX);
        if (state == Active && menuSprite_ != nullptr) {
            const float bgmKnobX = 337.0f + 10.0f * static_cast<float>(volumeBgm);
            const float seKnobX = 337.0f + 10.0f * static_cast<float>(volumeSe);
            const float markerX = 352.0f + 96.0f * static_cast<float>(daemonStageView);
            const Rect knobSource(0.0f, 164.0f, 32.0f, 28.0f);
            const Rect sliderSource(0.0f, 160.0f, 10.0f, 3.0f);
            menuSprite_->Begin();
            menuSprite_->DrawSquare(Rect(320.0f, 0.0f, 256.0f, 64.0f), Rect(0.0f, 0.0f, 256.0f, 64.0f), 0xFFFFFFFF);
            menuSprite_->DrawSquare(Rect(32.0f, 64.0f, 256.0f, 32.0f), Rect(0.0f, 64.0f, 256.0f, 32.0f), 0xFFFFFFFF);
            menuSprite_->DrawSquare(Rect(352.0f, 83.0f, 100.0f, 3.0f), sliderSource, 0xFFFFFFFF);
            menuSprite_->DrawSquare(Rect(bgmKnobX, 64.0f, 32.0f, 28.0f), knobSource, 0xFFFFFFFF);
            menuSprite_->DrawSquare(Rect(32.0f, 96.0f, 256.0f, 32.0f), Rect(0.0f, 96.0f, 256.0f, 32.0f), 0xFFFFFFFF);
            menuSprite_->DrawSquare(Rect(352.0f, 115.0f, 100.0f, 3.0f), sliderSource, 0xFFFFFFFF);
            menuSprite_->DrawSquare(Rect(seKnobX, 96.0f, 32.0f, 28.0f), knobSource, 0xFFFFFFFF);
            menuSprite_->DrawSquare(Rect(32.0f, 320.0f, 256.0f, 32.0f), Rect(0.0f, 128.0f, 256.0f, 32.0f), 0xFFFFFFFF);
            menuSprite_->DrawSquare(Rect(352.0f, 320.0f, 256.0f, 32.0f), Rect(0.0f, 192.0f, 256.0f, 32.0f), 0xFFFFFFFF);
            menuSprite_->DrawSquare(Rect(markerX, 288.0f, 32.0f, 28.0f), knobSource, 0xFFFFFFFF);
            menuSprite_->End();
            menuSprite_->Render();
        }
        wipe_->Draw();
    }
    Scene::Draw();
}
