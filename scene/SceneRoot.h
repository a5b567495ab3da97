// scene/SceneRoot.h: the root of the scene tree; its first child is the start-up screen.
#pragma once

#include "Scene.h"

class SceneRoot : public Scene {
public:
    // Creates the start-up screen as the only child.
    explicit SceneRoot(Application* application);

    std::int32_t GetSceneId() override { return SceneIdRoot; }
};
