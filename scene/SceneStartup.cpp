#include "SceneStartup.h"

#include "CommonSounds.h"
#include "FlatFill.h"
#include "ResourceManager.h"
#include "ScenePuzzle.h"
#include "SceneTitle.h"

#include <Lumora/ICore.h>

namespace {
constexpr std::int32_t kFadeStep = 2;
constexpr std::int32_t kConfirmButton = 16;
constexpr std::int32_t kTitleTrack = 2;
} // namespace

SceneStartup::SceneStartup(Application* application) : Scene(application)
{
    if (ResourceManager* loader = GetResourceManager()) {
        loader->AddRequestFor(LoadOwner(), new LoadRequest(kPixelLoadOptions, "graphic/sprite", "publisherlogo.png",
                                           &publisherLogo_));
        loader->AddRequestFor(LoadOwner(), new LoadRequest(kPixelLoadOptions, "graphic/sprite",
                                           "circle_logo_kobokan.png", &circleLogo_));
    }
    // The puzzle's model shaders are compiled on a helper thread while the logos and the
    // title show, so that a player's very first puzzle does not stall on them.
    if (Lumora::ICore* core = GetCore()) {
        const std::span<const Lumora::ModelShaderDraw> draws = ScenePuzzle::ModelShaderDraws();
        core->PrimeModelShaders(draws.data(), static_cast<std::int32_t>(draws.size()));
    }
}

SceneStartup::~SceneStartup()
{
    Lumora::SafeRelease(publisherLogo_);
    Lumora::SafeRelease(circleLogo_);
}

void SceneStartup::HandOver()
{
    Kill();
    if (Scene* parent = GetParent()) {
        parent->AddChild(new SceneTitle(GetApplication()));
    }
    PlayBgm(kTitleTrack);
}

bool SceneStartup::Update()
{
    if (state_ == 0) {
        ResourceManager* loader = GetResourceManager();
        if (loader == nullptr || !loader->IsBusy()) {
            state_ = 1;
        }
    } else if (state_ == 1) {
        bool handedOver = false;
        switch (phase_) {
        case 0:
        case 3:
            level_ += kFadeStep;
            if (level_ > 254) {
                level_ = 255;
                phase_ = phase_ == 0 ? 2 : 5;
            }
            break;
        case 2:
        case 5:
            level_ -= kFadeStep;
            if (level_ < 1) {
                level_ = 0;
                if (phase_ == 2) {
                    phase_ = 3;
                } else {
                    HandOver();
                    handedOver = true;
                }
            }
            break;
        default:
            break;
        }
        Lumora::IInputController* input = GetInputController();
        if (!handedOver && input != nullptr && input->GetState(Lumora::InputPressed, kConfirmButton)) {
            HandOver();
        }
    }
    return Scene::Update();
}

void SceneStartup::Draw()
{
    Lumora::IRender* render = GetRender();
    if (state_ == 1 && render != nullptr) {
        render->SetBlendMode(0);
        DrawFlatFill(render, Lumora::Math::Rect(0.0f, 0.0f, 640.0f, 480.0f), kBackgroundTexelX);
        render->SetBlendMode(1);
        const std::uint32_t colour = (static_cast<std::uint32_t>(level_) << 24) | 0x00FFFFFFu;
        if (phase_ == 0 || phase_ == 2) {
            render->DrawTexture(Lumora::Math::Rect(120.0f, 222.0f, 400.0f, 36.0f), colour,
                                Lumora::Math::Rect(0.0f, 0.0f, 400.0f, 36.0f), publisherLogo_, 0,
                                Lumora::Math::Point2D{});
        } else {
            render->DrawTexture(Lumora::Math::Rect(64.0f, 208.0f, 512.0f, 64.0f), colour,
                                Lumora::Math::Rect(0.0f, 0.0f, 512.0f, 64.0f), circleLogo_, 0,
                                Lumora::Math::Point2D{});
        }
    }
    Scene::Draw();
}
