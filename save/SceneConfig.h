// save/SceneConfig.h: the settings screen: music volume, sound-effect volume, and whether the
// stage map is always shown in play.
//
// Reads the three settings from the save database once the menu picture has loaded, lets the
// player change them (up/down picks the row, left/right the value), and on confirm or cancel
// writes all three back, applies the volumes to the sounds and returns to the title screen.
// Nothing is written, and the volumes do not change, while the screen is open.
#pragma once

#include "BackGroundTileRender.h"
#include "EffectWipe.h"
#include "SaveDataManager.h"
#include "Scene.h"

#include <Lumora/ISprite2D.h>
#include <Lumora/ITexture.h>

#include <memory>

class SceneConfig : public Scene {
public:
    enum ConfigState : std::int32_t {
        Loading = 0,
        Active = 1,
        Leaving = 2,
    };

    // Queues "config_menu.png" on the loader (smooth options, "graphic/sprite").
    explicit SceneConfig(Application* application);
    ~SceneConfig() override;

    bool Update() override;
    void Draw() override;
    std::int32_t GetSceneId() override { return SceneIdConfig; }

    std::int32_t GetState() const { return state; }
    std::int32_t GetCursor() const { return cursor; }
    std::int32_t GetVolumeBgm() const { return volumeBgm; }
    std::int32_t GetVolumeSe() const { return volumeSe; }
    std::int32_t GetDaemonStageView() const { return daemonStageView; }

private:
    void Leave();

    std::int32_t state = Loading;
    Lumora::ITexture* menuTexture_ = nullptr;
    Lumora::ISprite2D* menuSprite_ = nullptr;
    std::int32_t volumeBgm = 5;       // 0..10
    std::int32_t volumeSe = 5;        // 0..10
    std::int32_t daemonStageView = 0; // 0 off, 1 on
    std::shared_ptr<SaveDataManager> save_;
    std::int32_t cursor = 0;          // 0 music, 1 sound effects, 2 stage map
    std::shared_ptr<EffectWipe> wipe_;
    std::shared_ptr<BackGroundTileRender> background_;
};
