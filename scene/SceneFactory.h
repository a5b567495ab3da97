// scene/SceneFactory.h: makers of the screens that the front-end screens hand over to but
// that live in other subsystems (stage select, puzzle). Each returns a new scene holding its
// creator's reference, or null when it cannot be made.
#pragma once

class Application;
class Scene;

// The stage list for the current stage kind (the title's first two items, the puzzle's exit).
Scene* CreateStageSelectScene(Application* application);
// A puzzle of the current stage (the stage select's choice, the retry wait's end).
Scene* CreatePuzzleScene(Application* application);
// The endless stages screen (the title's third item, the endless puzzle's exit).
Scene* CreateEndlessScene(Application* application);
// The stage editor: its open page, or the board being built when a test play returns.
Scene* CreateEditorScene(Application* application);
