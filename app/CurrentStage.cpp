#include "CurrentStage.h"

StageKind currentStageKind = StageKind::Normal;
std::string currentStageName;
StageDataReader currentEditedStage;
