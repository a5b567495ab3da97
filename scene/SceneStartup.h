// scene/SceneStartup.h: the first screen: two logos fade in and out on a plain background,
// then the title screen takes over and its music starts. Confirm skips the logos once
// loading has finished.
#pragma once

#include "Scene.h"

#include <Lumora/ITexture.h>

class SceneStartup : public Scene {
public:
    // Queues both logos on the loader (pixel-exact, "graphic/sprite").
    explicit SceneStartup(Application* application);
    ~SceneStartup() override;

    bool Update() override;
    void Draw() override;
    std::int32_t GetSceneId() override { return SceneIdStartup; }

    std::int32_t GetState() const { return state_; }
    std::int32_t GetPhase() const { return phase_; }
    std::int32_t GetLevel() const { return level_; }

private:
    void HandOver();

    Lumora::ITexture* publisherLogo_ = nullptr;
    Lumora::ITexture* circleLogo_ = nullptr;
    std::int32_t state_ = 0; // 0 waiting for the loader, 1 showing the logos
    std::int32_t phase_ = 0; // 0 first logo in, 2 first out, 3 second in, 5 second out
    std::int32_t level_ = 0; // opacity of the logo shown, 0..255
};
