// scene/SceneRetryWait.h: the short pause before a retried stage starts again: the loading
// picture for just over one second of the process clock, then a fresh puzzle screen.
// Ignores all input; the music carries on.
#pragma once

#include "Scene.h"

class SceneRetryWait : public Scene {
public:
    // Notes the process clock (milliseconds) as the start of the pause.
    explicit SceneRetryWait(Application* application);

    bool Update() override;
    void Draw() override;
    std::int32_t GetSceneId() override { return SceneIdRetryWait; }

private:
    std::int32_t startTime_ = 0; // process clock at construction, ms
};
