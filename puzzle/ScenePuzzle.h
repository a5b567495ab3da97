// puzzle/ScenePuzzle.h: the screen on which one stage is played.
//
// Made by the stage select and by the retry pause with the Application only; which stage it
// plays comes from the program-wide current stage (app/CurrentStage.h). The constructor
// queues the models, pictures and the stage file on the resource loader; the first update
// after the loader has gone idle builds the board, the camera and the 3D scene
// (StartStage). Then every update runs the rules' Step while the in-game menu is closed, or
// the menu while it is open; every drawn frame places the 3D actors anew, advances the frog
// animations (PuzzleDrawing.cpp) and draws the panels.
//
// When no frog is left the end-of-stage messages run, a lower turn count than the stored one
// (or the first one) becomes the new best record in "tomarugi.save" (an equal count is not a
// new record), and a confirm press returns to the stage select. The menu's retry hands over
// to the retry pause, which makes a fresh ScenePuzzle: nothing of this one carries over.
//
// A new best record is stored together with the moves that made it (PlayedMoves), so it
// can be replayed. A replay is this screen with its input taken from a move list
// (MovePlayback) instead of the player: the moves of the best record (asked for by the stage
// select, refused with a notice when they do not fit the stage file), or the solver's
// fewest-turn solution (from the start, asked for by the stage select or after a give up;
// or from where the player stands, from the menu's last line). It stores no record; cancel,
// or confirm after its clear, goes back to where it was started: the stage select, or the
// play it interrupted, restored as it was.
//
// Ownership: every engine object here is made by this scene and released by its
// destructor; the Application's render, input and loader are borrowed. The sounds are the
// common ones (app/CommonSounds.h), borrowed. Main thread only.
#pragma once

#include "Camera.h"
#include "Dialogue.h"
#include "NumberRenderer.h"
#include "MovePlayback.h"
#include "PlayedMoves.h"
#include "PositionAnalyser.h"
#include "PuzzleRules.h"
#include "SaveDataManager.h"
#include "Scene.h"

#include "EffectWipe.h"

#include <Lumora/IActor.h>
#include <Lumora/ICore.h>
#include <Lumora/IFile.h>
#include <Lumora/IModel.h>
#include <Lumora/ISceneManager.h>
#include <Lumora/ISprite2D.h>
#include <Lumora/ITexture.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum PuzzlePhase : std::int32_t {
    PuzzlePhaseLoading = 0,  // waiting for the loads queued by the constructor
    PuzzlePhaseStarting = 1, // stage built; lasts one update
    PuzzlePhasePlaying = 2,  // rules and menu run
    PuzzlePhaseGivenUp = 3,  // waiting for a confirm press
    PuzzlePhaseCleared = 4,  // messages, then waiting for a confirm press
};

enum MenuPage : std::int32_t {
    MenuPageClosed = 0,
    MenuPageMain = 1,          // close, retry, give up, stage view, camera
    MenuPageConfirmRetry = 2,  // no, yes
    MenuPageConfirmGiveUp = 3, // no, yes
    MenuPageStageView = 4,     // the stage map, scrolled by mapRow and mapColumn
    MenuPageCameraSelect = 5,  // auto, top view
};

// Items of the main page, by cursor value.
enum MainMenuItem : std::int32_t {
    MainMenuClose = 0,
    MainMenuRetry = 1,
    MainMenuGiveUp = 2,
    MainMenuStageView = 3,
    MainMenuCamera = 4,
    MainMenuSolution = 5, // the solver's solution played from where the player stands
    MainMenuItemCount = 6,
    MainMenuKeep = 6, // on endless boards only, after the six others
};

// Whose moves the puzzle screen is playing instead of the player's.
enum class ReplayOwner : std::int32_t {
    None = 0,   // the player plays
    Player = 1, // the moves stored with the player's best record
    Solver = 2, // the solver's fewest-turn solution
};

// The engine angle (65536 to a turn) the player model is turned by for a facing: left 90
// degrees, right 270, up 180, down and none 0; a vertical step decides over a horizontal one.
std::int32_t PlayerFacingAngle(const Direction& facing);

class ScenePuzzle : public Scene {
public:
    explicit ScenePuzzle(Application* application);
    ~ScenePuzzle() override;

    // Every way the puzzle's 3D frame draws with a model shader: its models' materials, the
    // floor's tiles as one instanced group, the frozen frogs' ice in the transparent pass.
    // The game has them compiled ahead while the logos show (ICore::PrimeModelShaders).
    static std::span<const Lumora::ModelShaderDraw> ModelShaderDraws();

    // One update by phase (see above), then the base update; false once the scene is dead.
    bool Update() override;
    // The whole frame: the flat fill while loading; afterwards the 3D pass and the 2D layers
    // (stage map, menu, bottom panel, wipe, start message, message queue). PuzzleDrawing.cpp.
    void Draw() override;
    std::int32_t GetSceneId() override { return SceneIdPuzzle; }
    // Builds the board, the 3D scene, the camera and the actors from the loaded files and
    // reads the best record and the stage-map setting. Called by Update once, after the loads.
    virtual void StartStage();

    // Read access for the drawing and for tests.
    std::int32_t GetPhase() const { return phase; }
    std::int32_t GetMenuPage() const { return menuPage; }
    std::int32_t GetMenuCursor() const { return menuCursor; }
    bool IsMapAlwaysShown() const { return mapAlwaysShown; }
    std::int32_t GetMapRow() const { return mapRow; }
    std::int32_t GetMapColumn() const { return mapColumn; }
    std::uint64_t GetTurns() const { return rules.turns; }
    std::int64_t GetBestRecord() const { return bestRecord; }
    const PuzzleBoard& GetBoard() const { return rules.board; }
    PuzzleRules& GetRules() { return rules; }
    Camera* GetCamera() const { return camera.get(); }
    const DialogueQueue& GetMessageQueue() const { return *messageQueue; }

    // The solver on the board (hint and dead-end check), for the drawing and for tests.
    // The hint on screen now, if any.
    std::optional<SolverMove> GetShownHint() const;
    // Whether the dead-end box is on screen.
    bool IsDeadEndShown() const { return deadEndShown; }
    // The fewest turns that clear the stage from its start, once the solver found them; -1
    // before, or when it cannot say.
    std::int64_t GetFewestTurns() const { return fewestTurns; }
    // True while the position the player stands in has not been answered yet.
    bool IsSolverBusy() const;
    // An endless board (current stage kind Endless): whether it was kept in the player's
    // extra stages (cancel after a clear or a give-up), and the line that says so.
    bool IsEndlessBoardKept() const { return endlessKept; }
    const std::string& GetEndlessKeepText() const { return endlessKeepText; }

    // Replays (this screen with its input taken from a move list, see UpdateReplay).
    ReplayOwner GetReplayOwner() const { return replayOwner; }
    // Moves pressed so far and in all, of the replay under way.
    std::size_t GetReplayMovesPressed() const { return playback.MovesPressed(); }
    std::size_t GetReplayMoveCount() const { return playback.MoveCount(); }
    std::int32_t GetReplaySpeed() const { return replaySpeed; }
    // True while the solver's solution is asked for and not found yet.
    bool IsWaitingForSolution() const { return solutionWanted; }
    // True while a notice says why nothing can be replayed.
    bool IsReplayNoticeShown() const { return noticeShown; }
    // The moves the player made so far, one per counted turn.
    const std::vector<SolverMove>& GetPlayedMoves() const { return playedMoves.Moves(); }

    // The player's animation frame counter: one value for the whole program, so a new stage
    // goes on from where the last one left it (drawn frames).
    static float playerClock;

private:
    void UpdatePlaying();
    void UpdateMenu();
    // Offers the clear's turns to the save file when they beat the best read at the start;
    // the best shown follows what the file then holds, or the turns themselves when the file
    // could not take them (the save manager keeps them for its next write).
    RecordStore StoreRecordIfBetter();
    void LeaveForStageSelect();
    // Replays. StartReplay plays `moves` from the rules as they stand; RequestSolution asks
    // for the solver's solution (from the start, or from where the player stands) and plays
    // it once found; EndReplay goes back to where the replay was started (the play it left,
    // or the stage select); ShowReplayNotice shows one notice line (its row in the replay
    // picture) for a while, then ends the replay.
    void StartReplay(ReplayOwner owner, std::vector<SolverMove> moves);
    void BeginReplayOfBest();
    void RequestSolution(bool fromStart);
    void UpdateReplay();
    void EndReplay();
    void ShowReplayNotice(float sourceY);
    void DrawReplay();
    // Writes the endless board as "<ID>.pzd" into the player's extra stages, once.
    void KeepEndlessBoard();
    // The board's ID and the keep line, drawn over the 3D view on an endless board.
    void DrawEndlessLabels();
    void LeaveForRetry();
    PuzzleButtons ReadButtons();
    void ReleaseEverything();
    // The solver: sends each position the player comes to rest in, takes the answers,
    // shows and hides the hint and the dead-end box.
    bool IsSettled() const;
    void UpdateSolver(bool hintPressed);
    void ShowHint(const SolverMove& move);
    void DrawSolverBoxes();

    // Drawing, PuzzleDrawing.cpp.
    void Draw3D();
    // The cells at which an unturned actor of `model` may be in view this frame (see
    // ISceneManager::GetVisibleGround), clamped to a board of `columns` x `rows`; `any`
    // false when none. Asked after the camera is applied.
    struct VisibleCells {
        std::size_t firstColumn = 0;
        std::size_t lastColumn = 0;
        std::size_t firstRow = 0;
        std::size_t lastRow = 0;
        bool any = false;
        bool Contains(std::size_t column, std::size_t row) const
        {
            return any && column >= firstColumn && column <= lastColumn && row >= firstRow && row <= lastRow;
        }
    };
    VisibleCells FindVisibleCells(Lumora::IModel* model, std::size_t columns, std::size_t rows) const;
    void DrawFloors();
    void DrawIcicles();
    void DrawFrogs();
    void DrawPlayer();
    void DrawStageMap();
    void DrawMenu();
    void DrawBottomPanel();

    Lumora::IModel* playerModel = nullptr;
    Lumora::IActor* playerActor = nullptr;
    Lumora::IModel* floorModel = nullptr;
    std::vector<Lumora::IActor*> floorActors; // one per tile, holes included
    Lumora::IModel* icicleModel = nullptr;
    std::vector<Lumora::IActor*> icicleActors; // one per icicle
    Lumora::IModel* frozenFrogModel = nullptr;
    std::vector<Lumora::IActor*> frozenFrogActors; // one per frog at stage start
    // The same frog with fewer triangles, drawn instead beyond kFarFrogDistance: a large
    // board in the Auto camera shows dozens of frogs a few pixels tall.
    Lumora::IModel* frozenFrogFarModel = nullptr;
    std::vector<Lumora::IActor*> frozenFrogFarActors; // one per frog at stage start
    // The frozen frog's actor for a frog standing at world (x, z) this frame.
    Lumora::IActor* FrozenFrogActor(std::size_t frog, float x, float z) const;
    Lumora::Math::Vector3D eyeThisFrame; // the camera's eye while the frame is drawn
    Lumora::IModel* leavingFrogModel = nullptr;
    std::vector<Lumora::IActor*> leavingFrogActors; // one per frog at stage start

    // The fifteen pictures of the load list.
    Lumora::ITexture* panelTexture = nullptr;
    Lumora::ITexture* logoFrogTexture = nullptr;
    Lumora::ITexture* logoTurnTexture = nullptr;
    Lumora::ITexture* menuTitleTexture = nullptr;
    Lumora::ITexture* menuCloseTexture = nullptr;
    Lumora::ITexture* menuRetryTexture = nullptr;
    Lumora::ITexture* menuGiveUpTexture = nullptr;
    Lumora::ITexture* menuStageViewTexture = nullptr;
    Lumora::ITexture* menuCameraTexture = nullptr;
    Lumora::ITexture* menuCameraAutoTexture = nullptr;
    Lumora::ITexture* menuCameraTopViewTexture = nullptr;
    Lumora::ITexture* confirmationTexture = nullptr;
    Lumora::ITexture* yesTexture = nullptr;
    Lumora::ITexture* noTexture = nullptr;
    Lumora::ITexture* mapChipTexture = nullptr;

    Lumora::ISprite2D* mapSprites = nullptr;
    Lumora::IFile* stageFile = nullptr;
    Lumora::ISceneManager* sceneManager = nullptr;

    // The board and the turn count live in the rules, the same code the solver runs.
    PuzzleRules rules;
    std::int32_t menuPage = MenuPageClosed;
    std::int32_t menuCursor = 0;
    std::unique_ptr<Camera> camera;
    std::int32_t phase = PuzzlePhaseLoading;
    std::shared_ptr<NumberRenderer> numberRenderer;
    bool mapAlwaysShown = false;
    std::int32_t mapRow = 0;
    std::int32_t mapColumn = 0;
    std::shared_ptr<EffectWipe> wipe;
    std::shared_ptr<Dialogue> startMessage;
    std::shared_ptr<DialogueQueue> messageQueue;
    std::int64_t bestRecord = -1;
    std::int32_t idleVariant = 0;   // 0..2: idle animation 0, 6 or 7
    std::uint32_t idleSince = 0;    // millisecond clock when the player last was not Idle

    // The rules' two sound effects, played on the common sounds.
    PuzzleSoundPlayerLumora soundPlayer;

    // The solver's side of the screen. The analyser answers the position the player last
    // came to rest in (labelled by its turn count, which every move changes): its first
    // move is the hint, Unsolvable is a proven dead end.
    std::unique_ptr<PositionAnalyser> analyser;
    // The start position's answer (the fewest turns of the stage) on a thread of its own, so
    // that moves made before it is found cannot cancel it; dropped once it has answered. It
    // is also the hint and dead-end answer while the player has not moved, so at most two
    // searches run at once: this one and, once the player has moved, the analyser's.
    std::unique_ptr<PositionAnalyser> startAnalyser;
    Lumora::ITexture* solverTexture = nullptr; // "puzzle_solver.png": boxes, arrows, kinds
    std::uint64_t analysedTurns = UINT64_MAX;  // turn count of the position last sent
    std::optional<PositionAnalysis> analysis;  // the answer for it, once known
    std::int64_t fewestTurns = -1;             // from the start position; -1 not known (yet)
    bool hintRequested = false;                // the hint button waits for the answer
    bool hintShown = false;
    SolverMove hintMove;
    Cell hintTarget;              // where the hinted move ends (slide, push) or acts (thaw)
    std::uint64_t hintTurns = 0;  // the turn count the hint was shown for
    std::uint32_t hintShownAt = 0; // millisecond clock
    bool deadEnd = false;         // proven: no way to clear from here
    bool deadEndShown = false;    // the box is on screen until the menu opens
    std::int32_t deadEndAlpha = 0; // fades in, 10 per drawn frame

    // Replays. The stage file's StageFileHash and the board as built are kept from the
    // start, so stored moves are checked against this very file and a solution can be
    // played from the start at any time.
    PlayedMoves playedMoves;      // the player's own moves, stored with a new best record
    std::string stageHash;
    PuzzleBoard startBoard;
    std::vector<SolverMove> startSolution; // the start position's fewest-turn solution
    bool startAnswered = false;            // the start position's search has ended
    std::int32_t startRequest = 0;         // PuzzleStart, taken from the stage select
    ReplayOwner replayOwner = ReplayOwner::None;
    MovePlayback playback;
    std::int32_t replaySpeed = 1;          // rule updates per screen update: 1, 2 or 4
    bool solutionWanted = false;           // waiting for the solver before the replay
    bool solutionFromStart = false;
    bool replayLeavesScreen = false;       // started by the stage select: its end goes back there
    std::unique_ptr<PuzzleRules> playToReturnTo; // the play a replay from the game interrupted
    std::int32_t phaseToReturnTo = PuzzlePhasePlaying;
    bool noticeShown = false;
    float noticeSourceY = 0.0f;            // the notice's row in replayTexture
    std::uint32_t noticeShownAt = 0;       // millisecond clock
    float leaveLength = 30.0f;             // the leave actor's animation 1, drawn frames
    Lumora::ITexture* replayTexture = nullptr;       // "puzzle_replay.png"
    Lumora::ITexture* menuSolutionTexture = nullptr; // "puzzle_logo_menu_solution.png"

    // An endless board: "ID 2A-048213" (ASCII, made once so that drawing allocates
    // nothing), the keep line ("" until cancel is pressed after the end) and whether the
    // board is kept.
    std::string endlessIdText;
    Lumora::ITexture* menuKeepTexture = nullptr; // "puzzle_logo_menu_keep.png", endless only
    std::string endlessKeepText;
    bool endlessKept = false;
};
