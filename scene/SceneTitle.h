// scene/SceneTitle.h: the title menu: normal stages, extra stages, endless stages, make a
// stage, configuration, quit.
//
// Picture labels over the drifting tiled background, a highlight band under the selected
// item and a picture tip box beside it. Confirm acts on the item and plays the decision
// sound; up and down move the cursor. The title music keeps playing.
#pragma once

#include "BackGroundTileRender.h"
#include "EffectWipe.h"
#include "Scene.h"

#include <Lumora/ISprite2D.h>
#include <Lumora/ITexture.h>

#include <memory>
#include <vector>

class SceneTitle : public Scene {
public:
    // Item codes; the menu shows them in the order of `items_` (normal, extra, endless, make,
    // configuration, quit), its rows spaced evenly over the screen's height.
    enum Item : std::int32_t {
        ItemNormalStages = 0,
        ItemExtraStages = 1,
        ItemConfiguration = 2,
        ItemQuit = 3,
        ItemEndlessStages = 4,
        ItemMakeStage = 5,
    };

    // Queues the label and tip pictures on the loader (pixel-exact, "graphic/sprite").
    explicit SceneTitle(Application* application);
    ~SceneTitle() override;

    bool Update() override;
    void Draw() override;
    std::int32_t GetSceneId() override { return SceneIdTitle; }

    std::int32_t GetCursor() const { return cursor_; }
    std::int32_t GetState() const { return state_; }

private:
    void Choose(std::int32_t item);

    Lumora::ITexture* labelTexture_ = nullptr;
    Lumora::ISprite2D* labelSprite_ = nullptr;
    Lumora::ITexture* tipTexture_ = nullptr;
    Lumora::ISprite2D* tipSprite_ = nullptr;
    Lumora::ITexture* makeTexture_ = nullptr; // the editor entry's label and tip
    Lumora::ISprite2D* makeSprite_ = nullptr;
    std::int32_t cursor_ = 0;
    std::int32_t state_ = 0; // 0 waiting for the loader, 1 menu, 2 leaving
    std::shared_ptr<EffectWipe> wipe_;
    std::vector<std::int32_t> items_;
    std::shared_ptr<BackGroundTileRender> tiledBackground_;
};
