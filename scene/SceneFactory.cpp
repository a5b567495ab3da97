// The makers of the screens that live in other subsystems.
#include "SceneFactory.h"

#include "SceneEditor.h"
#include "ScenePuzzle.h"
#include "SceneEndless.h"
#include "SceneStageSelect.h"

Scene* CreateStageSelectScene(Application* application)
{
    return new SceneStageSelect(application);
}

Scene* CreatePuzzleScene(Application* application)
{
    return new ScenePuzzle(application);
}

Scene* CreateEndlessScene(Application* application)
{
    return new SceneEndless(application);
}

Scene* CreateEditorScene(Application* application)
{
    return new SceneEditor(application);
}
