// puzzle/ScenePuzzle.cpp: loading, stage start, the update by phase and the in-game menu.
// The frame's drawing is in PuzzleDrawing.cpp.
#include "ScenePuzzle.h"

#include "CommonSounds.h"
#include "CurrentStage.h"
#include "GameFolders.h"
#include "ResourceManager.h"
#include "SaveDataManager.h"
// Quoted by its folder: the engine has a private header of the same name on the include path.
#include "../scene/SceneFactory.h"
#include "SceneRetryWait.h"
#include "SolverBudget.h"
#include "StageDataReader.h"

#include <Lumora/System.h>

#include <algorithm>
#include <limits>

float ScenePuzzle::playerClock = 0.0f;

namespace {

// The scene manager keeps room for this many actors beyond the board's own.
constexpr std::int32_t kSpareActors = 1032;

// The buttons the rules and the menu read, in the order they are sampled.
constexpr int kSampledButtons[] = {ButtonUp,   ButtonDown,    ButtonLeft, ButtonRight,
                                   ButtonPush, ButtonDefrost, ButtonMenu, ButtonCamera, ButtonHint};
// How long a hint stays on screen, milliseconds of the engine clock.
constexpr std::uint32_t kHintMilliseconds = 5000;

constexpr int kConfirmButton = 16;
constexpr int kCancelButton = 17;
constexpr int kMenuButton = 18;

void PlayDecisionSound()
{
    if (commonSounds.decision != nullptr) {
        commonSounds.decision->Play(0, 0);
    }
}

// A count of board objects as the engine's signed capacity, saturating rather than wrapping.
std::int32_t ToCapacity(std::size_t count)
{
    constexpr std::size_t limit = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(count < limit ? count : limit);
}

} // namespace

ScenePuzzle::ScenePuzzle(Application* application)
    : Scene(application), soundPlayer(commonSounds.drag, commonSounds.defrost)
{
    Lumora::IRender* render = GetRender();
    numberRenderer = std::make_shared<NumberRenderer>(render);
    wipe = std::make_shared<EffectWipe>(render, 1);
    startMessage = std::make_shared<Dialogue>(DialogueKindStageStart, render, 0);
    messageQueue = std::make_shared<DialogueQueue>();
    idleSince = Lumora::System::GetMilliseconds();

    // Brings the save database manager into being before anything else asks for it.
    { SaveDataManager save; }

    ResourceManager* loader = GetResourceManager();
    if (loader == nullptr) {
        return;
    }
    const LoadOptions& options = kSmoothLoadOptions;
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, "graphic/nuiko", "nuiko.lmd", &playerModel));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, "graphic/object", "floorboard_ice.lmd", &floorModel));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, "graphic/object", "icicle.lmd", &icicleModel));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, "graphic/object", "frog_frozen.lmd", &frozenFrogModel));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, "graphic/object", "frog_frozen_far.lmd", &frozenFrogFarModel));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, "graphic/object", "frog_leave.lmd", &leavingFrogModel));
    const char* sprites = "graphic/sprite";
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_system_panel.png", &panelTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_logo_frog.png", &logoFrogTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_logo_turn.png", &logoTurnTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_logo_menu_title.png", &menuTitleTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_logo_menu_close.png", &menuCloseTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_logo_menu_retry.png", &menuRetryTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_logo_menu_giveup.png", &menuGiveUpTexture));
    loader->AddRequestFor(LoadOwner(),
        new LoadRequest(options, sprites, "puzzle_logo_menu_stageview.png", &menuStageViewTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_logo_menu_camera.png", &menuCameraTexture));
    loader->AddRequestFor(LoadOwner(),
        new LoadRequest(options, sprites, "puzzle_logo_menu_camera_auto.png", &menuCameraAutoTexture));
    loader->AddRequestFor(LoadOwner(),
        new LoadRequest(options, sprites, "puzzle_logo_menu_camera_topview.png", &menuCameraTopViewTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "logo_confirmation.png", &confirmationTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "logo_yes.png", &yesTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "logo_no.png", &noTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, "graphic/sprite/mapchip", "mapchips.png", &mapChipTexture));
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_solver.png", &solverTexture));
    if (currentStageKind != StageKind::Edited) { // an edited board is in memory already
        const char* stageDirectory = currentStageKind == StageKind::Extra ? "stage/extra" : "stage/normal";
        loader->AddRequestFor(LoadOwner(), new LoadRequest(options, stageDirectory, currentStageName.c_str(), &stageFile));
    }
}

ScenePuzzle::~ScenePuzzle()
{
    ReleaseEverything();
}

void ScenePuzzle::ReleaseEverything()
{
    // Stops the searches in progress.
    analyser.reset();
    startAnalyser.reset();
    Lumora::SafeRelease(solverTexture);
    // Forget this frame's queue before the actors in it go away.
    if (sceneManager != nullptr) {
        sceneManager->Reset();
    }
    Lumora::SafeRelease(stageFile);
    Lumora::SafeRelease(mapChipTexture);
    Lumora::SafeRelease(mapSprites);
    for (Lumora::ITexture** texture :
         {&panelTexture, &logoFrogTexture, &logoTurnTexture, &menuTitleTexture, &menuCloseTexture,
          &menuRetryTexture, &menuGiveUpTexture, &menuStageViewTexture, &menuCameraTexture,
          &menuCameraAutoTexture, &menuCameraTopViewTexture, &confirmationTexture, &yesTexture,
          &noTexture}) {
        Lumora::SafeRelease(*texture);
    }
    for (std::vector<Lumora::IActor*>* actors :
         {&floorActors, &icicleActors, &frozenFrogActors, &frozenFrogFarActors, &leavingFrogActors}) {
        for (Lumora::IActor*& actor : *actors) {
            Lumora::SafeRelease(actor);
        }
        actors->clear();
    }
    Lumora::SafeRelease(playerActor);
    Lumora::SafeRelease(playerModel);
    Lumora::SafeRelease(floorModel);
    Lumora::SafeRelease(icicleModel);
    Lumora::SafeRelease(frozenFrogModel);
    Lumora::SafeRelease(frozenFrogFarModel);
    Lumora::SafeRelease(leavingFrogModel);
    // The camera writes its settings to the save database and lets go of the engine camera.
    rules.SetCameraAdjustment(nullptr);
    camera.reset();
    Lumora::SafeRelease(sceneManager);
}

void ScenePuzzle::StartStage()
{
    {
        SaveDataManager save;
        // A test play of the editor's board has no record and makes no row.
        bestRecord = currentStageKind == StageKind::Edited
            ? 0
            : static_cast<std::int64_t>(save->GetBestRecord(currentStageKind, currentStageName));
        mapAlwaysShown = save->GetDaemonStageView();
    }

    PuzzleBoard& board = rules.board;
    if (currentStageKind == StageKind::Edited) {
        board.BuildBoard(currentEditedStage);
    } else if (stageFile == nullptr && currentStageKind == StageKind::Extra) {
        // Extra stages are files on disk in the folders the stage select listed (the pack
        // holds none): the player's own file of that name, else the shipped one.
        StageDataReader stage;
        stage.ReadFromPath(ExtraStageFilePath(currentStageName).c_str());
        board.BuildBoard(stage);
    } else {
        board.BuildBoard(stageFile);
    }
    rules.SetSoundPlayer(&soundPlayer);

    Lumora::IRender* render = GetRender();
    if (render == nullptr) {
        return;
    }
    const std::size_t tiles = board.tiles.size();
    const std::size_t icicles = board.icicles.size();
    const std::size_t frogs = board.frogs.size();
    sceneManager = render->CreateSceneManager(
        ToCapacity(static_cast<std::size_t>(kSpareActors) + tiles + icicles + 2 * frogs), 1);
    if (sceneManager != nullptr) {
        sceneManager->SetRenderSize(0, 640, 480, 0);
        sceneManager->SetDrawMode(1);
        sceneManager->Prepare();
    }

    camera = std::make_unique<Camera>(&board, sceneManager != nullptr ? sceneManager->GetCamera() : nullptr);
    rules.SetCameraAdjustment(camera.get());
    render->SetRenderState(0, 2);

    mapSprites = render->CreateSprite2D(ToCapacity((tiles + icicles + frogs + 1) * 6), mapChipTexture, 0, 0, 0, 0);

    if (sceneManager != nullptr) {
        playerActor = sceneManager->CreateActor(playerModel);
        floorActors.reserve(tiles);
        for (std::size_t i = 0; i < tiles; ++i) {
            floorActors.push_back(sceneManager->CreateActor(floorModel));
        }
        icicleActors.reserve(icicles);
        for (std::size_t i = 0; i < icicles; ++i) {
            icicleActors.push_back(sceneManager->CreateActor(icicleModel));
        }
        frozenFrogActors.reserve(frogs);
        for (std::size_t i = 0; i < frogs; ++i) {
            frozenFrogActors.push_back(sceneManager->CreateActor(frozenFrogModel));
        }
        if (frozenFrogFarModel != nullptr) { // without it every frog is drawn in full
            frozenFrogFarActors.reserve(frogs);
            for (std::size_t i = 0; i < frogs; ++i) {
                frozenFrogFarActors.push_back(sceneManager->CreateActor(frozenFrogFarModel));
            }
        }
        leavingFrogActors.reserve(frogs);
        for (std::size_t i = 0; i < frogs; ++i) {
            leavingFrogActors.push_back(sceneManager->CreateActor(leavingFrogModel));
        }
    }

    startMessage->Activate();
    // The search runs beside the frames, below them: on a busy machine frames come first.
    const auto background = [] { Lumora::System::SetThreadBackground(); };
    analyser = std::make_unique<PositionAnalyser>(GameSolveOptions(), background);
    analyser->Prepare(board); // the request after a turn then allocates nothing here
    startAnalyser = std::make_unique<PositionAnalyser>(GameSolveOptions(), background);
    startAnalyser->Analyse(board, 0);
}

PuzzleButtons ScenePuzzle::ReadButtons()
{
    PuzzleButtons buttons;
    Lumora::IInputController* input = GetInputController();
    if (input == nullptr) {
        return buttons;
    }
    for (int button : kSampledButtons) {
        if (input->GetState(Lumora::InputPressed, button)) {
            buttons.pressed |= PuzzleButtons::Bit(button);
        }
        if (input->GetState(Lumora::InputHeld, button)) {
            buttons.held |= PuzzleButtons::Bit(button);
        }
    }
    return buttons;
}

bool ScenePuzzle::Update()
{
    if (alive_) {
        switch (phase) {
        case PuzzlePhaseLoading: {
            ResourceManager* loader = GetResourceManager();
            if (loader == nullptr || !loader->IsBusy()) {
                StartStage();
                phase = PuzzlePhaseStarting;
                if (rules.board.tiles.empty() || rules.board.frogs.empty()) {
                    // The stage file was missing or unreadable, or holds no frog (a header
                    // with no cells after it, say): such a board would be "cleared" at once
                    // in 0 turns, and that 0 would replace a real best record.
                    LeaveForStageSelect();
                }
            }
            break;
        }
        case PuzzlePhaseStarting:
            phase = PuzzlePhasePlaying;
            break;
        case PuzzlePhasePlaying:
            UpdatePlaying();
            break;
        case PuzzlePhaseGivenUp:
            if (ReadButtons().Pressed(kConfirmButton)) {
                LeaveForStageSelect();
            }
            break;
        case PuzzlePhaseCleared:
            if (messageQueue->IsRunning() && messageQueue->IsEmpty() && ReadButtons().Pressed(kConfirmButton)) {
                LeaveForStageSelect();
            }
            break;
        default:
            break;
        }
    }
    return Scene::Update();
}

void ScenePuzzle::UpdatePlaying()
{
    PuzzlerNuiko& player = *rules.board.player;
    if (menuPage != MenuPageClosed) {
        UpdateMenu();
        return;
    }
    if (player.state == PuzzlerState::Cleared) {
        phase = PuzzlePhaseCleared;
        Lumora::IRender* render = GetRender();
        messageQueue->Push(std::make_shared<Dialogue>(DialogueKindCleared, render, 0));
        messageQueue->Start();
        messageQueue->Push(std::make_shared<Dialogue>(DialogueKindTurnCount, render,
                                                      static_cast<std::int32_t>(static_cast<std::uint32_t>(rules.turns))));
        if (fewestTurns > 0 && static_cast<std::int64_t>(rules.turns) == fewestTurns) {
            auto fewest = std::make_shared<Dialogue>(DialogueKindFewestPossible, render, 0);
            fewest->SetPicture(solverTexture, Lumora::Math::Rect(0.0f, 0.0f, 256.0f, 64.0f));
            messageQueue->Push(fewest);
        }
        if (currentStageKind != StageKind::Edited &&
            (bestRecord <= 0 || static_cast<std::int64_t>(rules.turns) < bestRecord)) {
            // The box follows what the file really holds: another copy of the game on the
            // same save file may have stored a better record since this stage started.
            if (StoreRecordIfBetter() != RecordStore::Kept) {
                messageQueue->Push(std::make_shared<Dialogue>(DialogueKindNewRecord, render, 0));
            }
        }
        return;
    }
    if (player.state == PuzzlerState::GivenUp) {
        phase = PuzzlePhaseGivenUp;
        messageQueue->Push(std::make_shared<Dialogue>(DialogueKindGaveUp, GetRender(), 0));
        messageQueue->Start();
        return;
    }
    const PuzzleButtons buttons = ReadButtons();
    UpdateSolver(buttons.Pressed(ButtonHint));
    const StepResult result = rules.Step(buttons);
    if (result.openMenu) {
        menuPage = MenuPageMain;
        deadEndShown = false; // the menu offers the retry the box asks for
    }
    if (result.cleared) {
        menuPage = MenuPageClosed;
    }
}

RecordStore ScenePuzzle::StoreRecordIfBetter()
{
    if (bestRecord > 0 && static_cast<std::int64_t>(rules.turns) >= bestRecord) {
        return RecordStore::Kept; // equal is not a new record
    }
    SaveDataManager save;
    const RecordStore stored =
        save->SetBestRecord(currentStageKind, currentStageName, static_cast<std::int32_t>(rules.turns));
    if (stored == RecordStore::Stored) {
        bestRecord = static_cast<std::int64_t>(rules.turns);
    } else if (stored == RecordStore::Kept) {
        bestRecord = static_cast<std::int64_t>(save->GetBestRecord(currentStageKind, currentStageName));
    }
    return stored;
}

void ScenePuzzle::UpdateMenu()
{
    Lumora::IInputController* input = GetInputController();
    if (input == nullptr) {
        return;
    }
    // 1. The cursor.
    switch (menuPage) {
    case MenuPageMain:
        input->MoveCursor(0, menuCursor, MainMenuItemCount);
        break;
    case MenuPageConfirmRetry:
    case MenuPageConfirmGiveUp:
    case MenuPageCameraSelect:
        input->MoveCursor(0, menuCursor, 2);
        break;
    case MenuPageStageView:
        input->MoveCursor(0, mapRow, rules.board.height);
        input->MoveCursorHorizontal(0, mapColumn, rules.board.width);
        break;
    default:
        break;
    }

    // 2. Confirm acts on the page and item under the cursor.
    if (input->GetState(Lumora::InputPressed, kConfirmButton)) {
        PlayDecisionSound();
        switch (menuPage) {
        case MenuPageMain:
            switch (menuCursor) {
            case MainMenuClose:
                menuPage = MenuPageClosed;
                break;
            case MainMenuRetry:
                menuPage = MenuPageConfirmRetry;
                menuCursor = 0;
                break;
            case MainMenuGiveUp:
                menuPage = MenuPageConfirmGiveUp;
                menuCursor = 0;
                break;
            case MainMenuStageView:
                menuPage = MenuPageStageView;
                menuCursor = 0;
                break;
            case MainMenuCamera:
                menuPage = MenuPageCameraSelect;
                menuCursor = 0;
                break;
            default:
                break;
            }
            break;
        case MenuPageConfirmRetry:
            if (menuCursor == 0) {
                menuPage = MenuPageMain;
            } else if (menuCursor == 1) {
                LeaveForRetry();
            }
            break;
        case MenuPageConfirmGiveUp:
            if (menuCursor == 0) {
                menuPage = MenuPageMain;
            } else if (menuCursor == 1 && rules.board.player->state != PuzzlerState::Cleared) {
                rules.board.player->state = PuzzlerState::GivenUp;
                menuCursor = 0;
                menuPage = MenuPageClosed;
            }
            break;
        case MenuPageStageView:
            menuPage = MenuPageClosed;
            menuCursor = 0;
            mapAlwaysShown = !mapAlwaysShown; // this stage only; the setting stays as stored
            break;
        case MenuPageCameraSelect:
            if (menuCursor == 0 || menuCursor == 1) {
                if (camera != nullptr) {
                    camera->SetMode(menuCursor == 0 ? CameraMode::Auto : CameraMode::TopView);
                }
                menuPage = MenuPageMain;
                menuCursor = 0;
            }
            break;
        default:
            break;
        }
    }

    // 3. Cancel: the main page closes, any other page goes back to it, cursor on top. A menu
    // that confirm closed in this very update stays closed.
    if (input->GetState(Lumora::InputPressed, kCancelButton)) {
        menuCursor = 0;
        if (menuPage != MenuPageClosed) {
            menuPage = menuPage == MenuPageMain ? MenuPageClosed : MenuPageMain;
        }
    }

    // 4. The menu button closes the menu from any page.
    if (input->GetState(Lumora::InputPressed, kMenuButton)) {
        menuPage = MenuPageClosed;
        menuCursor = 0;
    }
}

void ScenePuzzle::LeaveForStageSelect()
{
    Kill();
    // A test play goes back to the editor it came from, board and history as they were.
    Scene* next = currentStageKind == StageKind::Edited ? CreateEditorScene(GetApplication())
                                                        : CreateStageSelectScene(GetApplication());
    if (next == nullptr) {
        return;
    }
    if (GetParent() != nullptr) {
        GetParent()->AddChild(next);
    } else {
        next->Release();
    }
}

void ScenePuzzle::LeaveForRetry()
{
    Kill();
    Scene* next = new SceneRetryWait(GetApplication());
    if (GetParent() != nullptr) {
        GetParent()->AddChild(next);
    } else {
        next->Release();
    }
}

bool ScenePuzzle::IsSettled() const
{
    const PuzzleBoard& board = rules.board;
    if (board.player->state != PuzzlerState::Idle) {
        return false;
    }
    return std::all_of(board.frogs.begin(), board.frogs.end(),
                       [](const PuzzleObjectFrozenFrog& frog) { return frog.state == FrogState::Frozen; });
}

bool ScenePuzzle::IsSolverBusy() const
{
    if (analyser == nullptr || phase != PuzzlePhasePlaying) {
        return false;
    }
    const bool waiting = IsSettled() && (analysedTurns != rules.turns || !analysis.has_value());
    return waiting || analyser->IsBusy() || startAnalyser != nullptr;
}

void ScenePuzzle::UpdateSolver(bool hintPressed)
{
    if (analyser == nullptr) {
        return;
    }
    const bool settled = IsSettled();
    if (settled && rules.turns != analysedTurns) {
        analysedTurns = rules.turns;
        analysis.reset();
        hintRequested = false;
        // The start position is being searched already, for the stage's fewest turns: one
        // search of it, not two side by side.
        if (analysedTurns != 0 || startAnalyser == nullptr) {
            analyser->Analyse(rules.board, analysedTurns);
        }
    }
    PositionAnalysis answer;
    std::optional<PositionAnalysis> arrived;
    if (startAnalyser != nullptr && startAnalyser->TakeResult(answer)) {
        if (answer.outcome == SolveOutcome::Solved) {
            fewestTurns = static_cast<std::int64_t>(answer.moves.size());
        }
        startAnalyser.reset(); // its thread has nothing left to do: the join is at once
        if (analysedTurns == 0) {
            arrived = std::move(answer); // the player is still at the start
        }
    }
    if (analyser->TakeResult(answer) && answer.position == analysedTurns) {
        arrived = std::move(answer);
    }
    if (arrived.has_value()) {
        analysis = std::move(arrived);
        if (analysis->outcome == SolveOutcome::Unsolvable && !deadEnd) {
            deadEnd = true;
            deadEndShown = true;
            deadEndAlpha = 0;
        }
    }
    // The hint button counts only while the player stands idle with every frog at rest.
    if (hintPressed && settled) {
        if (deadEnd) {
            deadEndShown = true; // a hint in a dead end is the dead-end box again
        } else {
            hintRequested = true;
        }
    }
    if (hintRequested && analysis.has_value() && analysedTurns == rules.turns) {
        hintRequested = false;
        if (analysis->outcome == SolveOutcome::Solved && !analysis->moves.empty()) {
            ShowHint(analysis->moves.front());
        }
    }
    if (hintShown && (rules.turns != hintTurns || rules.board.player->state != PuzzlerState::Idle ||
                      Lumora::System::GetMilliseconds() - hintShownAt >= kHintMilliseconds)) {
        hintShown = false;
    }
}

void ScenePuzzle::ShowHint(const SolverMove& move)
{
    const PuzzleBoard& board = rules.board;
    const Cell player = board.player->GetCell();
    hintMove = move;
    hintTarget = player;
    if (move.action == SolverAction::Slide) {
        hintTarget = rules.Slide(player, move.direction, nullptr);
    } else {
        const Cell front{static_cast<std::uint32_t>(static_cast<std::int64_t>(player.x) + move.direction.dx),
                         static_cast<std::uint32_t>(static_cast<std::int64_t>(player.y) + move.direction.dy)};
        hintTarget = front;
        if (move.action == SolverAction::Push) {
            for (const PuzzleObjectFrozenFrog& frog : board.frogs) {
                if (frog.GetCell() == front) {
                    hintTarget = rules.Slide(front, move.direction, &frog);
                    break;
                }
            }
        }
    }
    hintShown = true;
    hintTurns = rules.turns;
    hintShownAt = Lumora::System::GetMilliseconds();
}

std::optional<SolverMove> ScenePuzzle::GetShownHint() const
{
    if (!hintShown) {
        return std::nullopt;
    }
    return hintMove;
}
