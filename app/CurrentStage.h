// app/CurrentStage.h: the stage the player is about to play, shared across screens.
//
// The title screen sets the kind (normal stages from the data pack, extra stages from the
// folder on disk, endless boards made in the game); the stage select screen sets the name,
// the endless screen the name (the board's ID) and the board it made. The stage catalogue and the puzzle
// screen read both. Main thread only.
#pragma once

#include "SaveDataManager.h"
#include "StageDataReader.h"

#include <cstdint>

#include <string>

// Which list of stages the player chose on the title screen.
extern StageKind currentStageKind;
// The stage file's name with its extension, in Shift-JIS bytes ("" until one is chosen).
extern std::string currentStageName;
// For StageKind::Endless: the board made for the ID in currentStageName, and its fewest
// turns (known when it was made).
extern StageDataReader currentEndlessBoard;
extern std::int32_t currentEndlessFewestTurns;
