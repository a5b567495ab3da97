// app/CurrentStage.h: the stage the player is about to play, shared across screens.
//
// The title screen sets the kind (normal stages from the data pack, or extra stages from the
// folder on disk); the stage select screen sets the name. The stage editor sets kind Edited
// and the board itself for a test play. The stage catalogue and the puzzle
// screen read both. Main thread only.
#pragma once

#include "SaveDataManager.h"
#include "StageDataReader.h"

#include <string>

// Which list of stages the player chose on the title screen.
extern StageKind currentStageKind;
// The stage file's name with its extension, in Shift-JIS bytes ("" until one is chosen).
extern std::string currentStageName;
// With kind Edited: the board the editor hands to the puzzle screen for a test play.
extern StageDataReader currentEditedStage;
