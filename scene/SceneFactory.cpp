// The makers of the screens that live in other subsystems.
#include "SceneFactory.h"

#include "SceneStageSelect.h"

Scene* CreateStageSelectScene(Application* application)
{
    return new SceneStageSelect(application);
}
