// scene/SceneFactory.cpp: the puzzle screen's maker.
#include "SceneFactory.h"

#include "ScenePuzzle.h"

Scene* CreatePuzzleScene(Application* application)
{
    return new ScenePuzzle(application);
}
