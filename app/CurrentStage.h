// app/CurrentStage.h: the stage the player is about to play, shared across screens.
//
// The title screen sets the kind (normal stages from the data pack, extra stages from the
// folder on disk, endless boards made in the game); the stage select screen sets the name,
// the endless screen the name (the board's ID) and the board it made. The stage editor sets
// kind Edited and the board itself for a test play. The stage catalogue and the puzzle
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

// What the next puzzle screen does with the stage: the stage select sets it, the puzzle
// screen reads it when it is made and puts it back to PuzzleStartPlay, so a retry plays.
enum PuzzleStart : std::int32_t {
    PuzzleStartPlay = 0,         // the player plays
    PuzzleStartReplayBest = 1,   // replays the moves stored with the player's best record
    PuzzleStartSolution = 2,     // plays the solver's fewest-turn solution from the start
};
extern std::int32_t currentPuzzleStart;
// For StageKind::Endless: the board made for the ID in currentStageName, and its fewest
// turns (known when it was made).
extern StageDataReader currentEndlessBoard;
extern std::int32_t currentEndlessFewestTurns;
// With kind Edited: the board the editor hands to the puzzle screen for a test play.
extern StageDataReader currentEditedStage;
