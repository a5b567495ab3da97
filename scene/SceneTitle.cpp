#include "SceneTitle.h"

#include "CommonSounds.h"
#include "CurrentStage.h"
#include "FlatFill.h"
#include "ResourceManager.h"
#include "SaveDataManager.h"
#include "SceneConfig.h"
#include "SceneFactory.h"

#include <iterator>

namespace {

constexpr std::int32_t kConfirmButton = 16;
constexpr std::int32_t kSpriteVertices = 6;

// Where each item's pictures sit, indexed by item code. The stage editor's entry has a
// picture of its own ("title_menu_make_tr.png": label at (0, 0), tip cell at (0, 64)); the
// others share the label and tip atlases.
struct ItemLayout {
    float labelRow;  // source y of the label in its picture
    float tipX;      // source cell of the tip
    float tipY;
    bool ownPicture; // in "title_menu_make_tr.png" rather than the shared two
};
constexpr ItemLayout kItemLayouts[] = {
    {0.0f, 0.0f, 0.0f, false},
    {64.0f, 330.0f, 0.0f, false},
    {128.0f, 0.0f, 256.0f, false},
    {192.0f, 330.0f, 256.0f, false},
    {256.0f, 0.0f, 512.0f, false},
    {0.0f, 0.0f, 64.0f, true},
};
constexpr std::int32_t kItemLayoutCount = static_cast<std::int32_t>(std::size(kItemLayouts));
constexpr float kScreenHeight = 480.0f; // pixels
constexpr float kRowHeight = 64.0f;     // pixels: a label, its highlight band

const ItemLayout* LayoutOf(std::int32_t item)
{
    return item >= 0 && item < kItemLayoutCount ? &kItemLayouts[item] : nullptr;
}

// Screen y of the label, highlight band and tip box of the row at `position` of `rows`:
// rows spaced evenly, each centred in its share of the screen's height.
float RowY(std::size_t position, std::size_t rows)
{
    const float pitch = kScreenHeight / static_cast<float>(rows == 0 ? 1 : rows);
    return (pitch - kRowHeight) / 2.0f + pitch * static_cast<float>(position);
}

void DrawSquare(Lumora::ISprite2D* sprite, const Lumora::Math::Rect& destination,
                const Lumora::Math::Rect& source)
{
    if (sprite == nullptr) {
        return;
    }
    sprite->Begin();
    sprite->DrawSquare(destination, source, 0xFFFFFFFF);
    sprite->End();
    sprite->Render();
}

} // namespace

SceneTitle::SceneTitle(Application* application) : Scene(application)
{
    tiledBackground_ = std::make_shared<BackGroundTileRender>(GetRender());
    wipe_ = std::make_shared<EffectWipe>(GetRender());
    {
        // Opening a handle makes sure the save file and its settings exist before any
        // screen reads them.
        SaveDataManager save;
    }
    items_.clear();
    items_ = {ItemNormalStages, ItemExtraStages, ItemEndlessStages, ItemMakeStage, ItemConfiguration, ItemQuit};
    if (ResourceManager* loader = GetResourceManager()) {
        loader->AddRequestFor(LoadOwner(), new LoadRequest(kPixelLoadOptions, "graphic/sprite",
                                           "title_menu_stick_tr.png", &labelTexture_));
        loader->AddRequestFor(LoadOwner(), new LoadRequest(kPixelLoadOptions, "graphic/sprite",
                                           "title_menu_tip_text_tr.png", &tipTexture_));
        loader->AddRequestFor(LoadOwner(), new LoadRequest(kPixelLoadOptions, "graphic/sprite",
                                           "title_menu_make_tr.png", &makeTexture_));
    }
}

SceneTitle::~SceneTitle()
{
    Lumora::SafeRelease(labelSprite_);
    Lumora::SafeRelease(labelTexture_);
    Lumora::SafeRelease(tipSprite_);
    Lumora::SafeRelease(tipTexture_);
    Lumora::SafeRelease(makeSprite_);
    Lumora::SafeRelease(makeTexture_);
    tiledBackground_.reset();
    items_.clear();
    wipe_.reset();
}

void SceneTitle::Choose(std::int32_t item)
{
    Scene* successor = nullptr;
    switch (item) {
    case ItemNormalStages:
    case ItemExtraStages:
        currentStageKind = item == ItemNormalStages ? StageKind::Normal : StageKind::Extra;
        state_ = 2;
        Kill();
        successor = CreateStageSelectScene(GetApplication());
        break;
    case ItemEndlessStages:
        currentStageKind = StageKind::Endless;
        state_ = 2;
        Kill();
        successor = CreateEndlessScene(GetApplication());
        break;
    case ItemMakeStage:
        currentStageKind = StageKind::Normal;
        state_ = 2;
        Kill();
        successor = CreateEditorScene(GetApplication());
        break;
    case ItemConfiguration:
        currentStageKind = StageKind::Normal;
        state_ = 2;
        Kill();
        successor = new SceneConfig(GetApplication());
        break;
    case ItemQuit:
        Kill();
        if (Lumora::ICore* core = GetCore()) {
            core->Exit();
        }
        break;
    default:
        break;
    }
    if (successor != nullptr && GetParent() != nullptr) {
        GetParent()->AddChild(successor);
    } else if (successor != nullptr) {
        successor->Release();
    }
}

bool SceneTitle::Update()
{
    if (state_ == 0) {
        ResourceManager* loader = GetResourceManager();
        if (loader == nullptr || !loader->IsBusy()) {
            state_ = 1;
            if (Lumora::IRender* render = GetRender()) {
                labelSprite_ = render->CreateSprite2D(kSpriteVertices, labelTexture_, 0, 0, 0, 0);
                tipSprite_ = render->CreateSprite2D(kSpriteVertices, tipTexture_, 0, 0, 0, 0);
                makeSprite_ = render->CreateSprite2D(kSpriteVertices, makeTexture_, 0, 0, 0, 0);
            }
        }
    } else if (state_ == 1) {
        Lumora::IInputController* input = GetInputController();
        if (input != nullptr) {
            if (input->GetState(Lumora::InputPressed, kConfirmButton)) {
                if (cursor_ >= 0 && cursor_ < static_cast<std::int32_t>(items_.size())) {
                    Choose(items_[cursor_]);
                }
                if (commonSounds.decision != nullptr) {
                    commonSounds.decision->Play(0, 0);
                }
            }
            input->MoveCursor(0, cursor_, static_cast<std::int32_t>(items_.size()));
        }
    }
    return Scene::Update();
}

void SceneTitle::Draw()
{
    Lumora::IRender* render = GetRender();
    if (render != nullptr && state_ == 0) {
        DrawFlatFill(render, Lumora::Math::Rect(0.0f, 0.0f, 640.0f, 480.0f), kBackgroundTexelX);
    } else if (render != nullptr && state_ == 1) {
        render->SetBlendMode(0);
        tiledBackground_->Draw();
        DrawFlatFill(render, Lumora::Math::Rect(320.0f, 0.0f, 320.0f, 480.0f), kPanelTexelX);
        const bool onItem = cursor_ >= 0 && cursor_ < static_cast<std::int32_t>(items_.size());
        const ItemLayout* selected = onItem ? LayoutOf(items_[static_cast<std::size_t>(cursor_)]) : nullptr;
        const float selectedY = onItem ? RowY(static_cast<std::size_t>(cursor_), items_.size()) : 0.0f;
        if (selected != nullptr) {
            DrawFlatFill(render, Lumora::Math::Rect(0.0f, selectedY, 640.0f, kRowHeight), kPanelTexelX);
        }
        for (std::size_t position = 0; position < items_.size(); ++position) {
            if (const ItemLayout* layout = LayoutOf(items_[position])) {
                DrawSquare(layout->ownPicture ? makeSprite_ : labelSprite_,
                           Lumora::Math::Rect(0.0f, RowY(position, items_.size()), 256.0f, kRowHeight),
                           Lumora::Math::Rect(0.0f, layout->labelRow, 256.0f, kRowHeight));
            }
        }
        if (selected != nullptr) {
            // The tips of the lower items reach below the screen's lower edge; they are cut there.
            DrawSquare(selected->ownPicture ? makeSprite_ : tipSprite_,
                       Lumora::Math::Rect(335.0f, selectedY, 330.0f, 256.0f),
                       Lumora::Math::Rect(selected->tipX, selected->tipY, 330.0f, 256.0f));
        }
        wipe_->Draw();
    }
    Scene::Draw();
}
