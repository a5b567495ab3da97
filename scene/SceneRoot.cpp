#include "SceneRoot.h"

#include "SceneStartup.h"

SceneRoot::SceneRoot(Application* application) : Scene(application)
{
    AddChild(new SceneStartup(application));
}
