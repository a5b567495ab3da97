// scene/ScenePlaceholder.h: TEMPORARY stand-in for the stage select and puzzle screens until
// those subsystems join the program; SceneFactory.cpp makes it, and both go away together.
//
// Says on the screen, with the common font, that the screen is not there yet; cancel (or
// confirm) goes back to the title screen.
#pragma once

#include "BackGroundTileRender.h"
#include "Scene.h"

#include <memory>
#include <string>

class ScenePlaceholder : public Scene {
public:
    // `sceneId` is the identifier of the screen it stands in for; `name` names it on screen.
    ScenePlaceholder(Application* application, std::int32_t sceneId, const char* name);

    bool Update() override;
    void Draw() override;
    std::int32_t GetSceneId() override { return sceneId_; }

private:
    std::int32_t sceneId_;
    std::string message_; // Shift-JIS
    std::shared_ptr<BackGroundTileRender> background_;
};
