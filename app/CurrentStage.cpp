#include "CurrentStage.h"

StageKind currentStageKind = StageKind::Normal;
std::string currentStageName;
std::int32_t currentPuzzleStart = PuzzleStartPlay;
StageDataReader currentEndlessBoard;
std::int32_t currentEndlessFewestTurns = 0;
StageDataReader currentEditedStage;
