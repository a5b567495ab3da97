#include "CurrentStage.h"

StageKind currentStageKind = StageKind::Normal;
std::string currentStageName;
StageDataReader currentEndlessBoard;
std::int32_t currentEndlessFewestTurns = 0;
