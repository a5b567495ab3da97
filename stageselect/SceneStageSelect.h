// stageselect/SceneStageSelect.h: the stage select screen between the title and a puzzle.
//
// A scrolling list of stage names on the left (the stage under the cursor is always the top
// line), and its best record, frog count, width and height on the right. Up and down move
// the cursor; decide stores the chosen stage as the current stage and starts its puzzle;
// cancel returns to the title. Decide pressed in the same tick as cancel wins: only the
// puzzle starts. The replay key (H, pad L1: virtual button 20) on a stage whose best record
// has its moves stored starts the puzzle as a replay of them; the solution key (V, pad Y:
// button 19) on a stage cleared once plays the solver's fewest-turn solution. Both tags
// show in the panel's caption rows when they apply.
//
// The list is built once, when the resource loader has delivered the normal stage files and
// the screen's pictures (see StageCatalogue.h). Main thread only.
#pragma once

#include "BackGroundTileRender.h"
#include "EffectWipe.h"
#include "NumberRenderer.h"
#include "Scene.h"
#include "StageCatalogue.h"
#include "StageFewestTurns.h"

#include <Lumora/ITexture.h>

#include <memory>

enum StageSelectPhase : std::int32_t {
    StageSelectLoading = 0,   // waiting for the loader
    StageSelectSelecting = 1, // the list is shown and takes input
    StageSelectExiting = 2,   // killed itself; the successor is in place
};

class SceneStageSelect : public Scene {
public:
    // Queues the five pictures ("graphic/sprite", pixel-exact) and the normal stage files.
    explicit SceneStageSelect(Application* application);
    ~SceneStageSelect() override;

    bool Update() override;
    void Draw() override;
    std::int32_t GetSceneId() override { return SceneIdStageSelect; }

    std::int32_t GetCursor() const { return cursor; }
    std::int32_t GetPhase() const { return phase; }
    const StageCatalogue& GetCatalogue() const { return catalogue; }
    // True while the extra stages' solver has stages left to answer or answers not yet shown.
    bool IsSolverBusy() const;

private:
    void UpdateSelecting();
    void DrawSelecting(Lumora::IRender* render);
    void Leave(Scene* successor);
    void StartFewestTurns();
    void TakeFewestTurns();
    void DrawFewestTurns(Lumora::IRender* render, const StageInfo& info);

    Lumora::ITexture* bestRecordLogo = nullptr; // "stageselect_logo_bestrecord.png"
    Lumora::ITexture* frogLogo = nullptr;       // "stageselect_logo_frog.png"
    Lumora::ITexture* widthLogo = nullptr;      // "stageselect_logo_width.png"
    Lumora::ITexture* heightLogo = nullptr;     // "stageselect_logo_height.png"
    Lumora::ITexture* titleLogo = nullptr;      // "stage_select_title.png"
    StageCatalogue catalogue;
    std::int32_t cursor = 0; // index into catalogue.stageNames
    std::shared_ptr<NumberRenderer> numberRenderer;
    std::int32_t phase = StageSelectLoading;
    std::shared_ptr<EffectWipe> wipe;
    std::shared_ptr<BackGroundTileRender> background;

    // The fifth caption and the marks beside the numbers (StageFewestTurns.h).
    Lumora::ITexture* fewestLogo = nullptr; // "stageselect_logo_fewest.png"
    Lumora::ITexture* marks = nullptr;      // "stageselect_marks.png": star, cross, question
    // The replay and solution key tags (row 256 of "puzzle_replay.png").
    Lumora::ITexture* replayTags = nullptr;
    // The information on the stage under the cursor; a default one when there is none.
    StageInfo ChosenStageInfo() const;
    // Solves the extra stages on its own thread; none for the normal stages.
    std::unique_ptr<StageSolverWorker> solver;
};
