// puzzle/ScenePuzzle.cpp: loading, stage start, the update by phase and the in-game menu.
// The frame's drawing is in PuzzleDrawing.cpp.
#include "ScenePuzzle.h"

#include "CommonSounds.h"
#include "CurrentStage.h"
#include "EndlessRecords.h"
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
#include <fstream>
#include <iterator>
#include <cstdio>
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
// How long a replay's notice stays before the screen goes back, milliseconds.
constexpr std::uint32_t kNoticeMilliseconds = 2500;
// Rows of the notices in "puzzle_replay.png".
constexpr float kNoticeStageChanged = 96.0f;
constexpr float kNoticeNoSolution = 160.0f;

constexpr int kConfirmButton = 16;
constexpr int kCancelButton = 17;
constexpr int kMenuButton = 18;
// After a clear or a give-up, cancel keeps an endless board in the player's extra stages.
constexpr int kKeepButton = kCancelButton;

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
    startRequest = currentPuzzleStart;
    currentPuzzleStart = PuzzleStartPlay; // a retry from here plays

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
    loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_replay.png", &replayTexture));
    loader->AddRequestFor(LoadOwner(),
        new LoadRequest(options, sprites, "puzzle_logo_menu_solution.png", &menuSolutionTexture));
    // An endless board is in memory already (app/CurrentStage.h): no file to load.
    if (currentStageKind == StageKind::Endless) {
        loader->AddRequestFor(LoadOwner(), new LoadRequest(options, sprites, "puzzle_logo_menu_keep.png", &menuKeepTexture));
    } else if (currentStageKind != StageKind::Edited) { // an edited board is in memory already
        const char* stageDirectory = currentStageKind == StageKind::Extra ? "stage/extra" : "stage/normal";
        loader->AddRequestFor(LoadOwner(), new LoadRequest(options, stageDirectory, currentStageName.c_str(), &stageFile));
    }
}

std::span<const Lumora::ModelShaderDraw> ScenePuzzle::ModelShaderDraws()
{
    // Option bytes: skinned, textured, vertex colour, lit, ambient, fog, transparent.
    // tests/puzzlescene/PuzzleShaderDrawsTest.cpp checks this against what frames draw.
    static constexpr Lumora::ModelShaderDraw draws[] = {
        {{0, 0, 0, 1, 1, 1, 0}, 1}, // the floor's tiles, one instanced group
        {{0, 0, 0, 1, 1, 1, 0}, 0}, // lit rigid materials
        {{0, 0, 0, 0, 0, 1, 0}, 0}, // unlit rigid materials
        {{0, 0, 0, 1, 1, 1, 1}, 0}, // a frozen frog's ice
        {{1, 0, 0, 1, 1, 1, 0}, 0}, // lit skinned materials: the player
        {{1, 0, 0, 0, 0, 1, 0}, 0}, // the player's unlit ones
        {{1, 0, 0, 1, 1, 1, 1}, 0}, // a leaving frog's ice
        {{0, 0, 1, 1, 1, 1, 0}, 0}, // the icicles, tinted by vertex colours
        {{0, 0, 1, 1, 1, 1, 1}, 0}, // an icicle seen through where it would hide the player
    };
    return draws;
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
    Lumora::SafeRelease(replayTexture);
    Lumora::SafeRelease(menuSolutionTexture);
    // Forget this frame's queue before the actors in it go away.
    if (sceneManager != nullptr) {
        sceneManager->Reset();
    }
    Lumora::SafeRelease(stageFile);
    Lumora::SafeRelease(mapChipTexture);
    Lumora::SafeRelease(mapSprites);
    for (Lumora::ITexture** texture :
         {&menuKeepTexture, &panelTexture, &logoFrogTexture, &logoTurnTexture, &menuTitleTexture, &menuCloseTexture,
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
        bestRecord = currentStageKind == StageKind::Endless
                         ? static_cast<std::int64_t>(GetEndlessBestRecord(currentStageName))
                     : currentStageKind == StageKind::Edited
                         ? 0
                         : static_cast<std::int64_t>(save->GetBestRecord(currentStageKind, currentStageName));
        mapAlwaysShown = save->GetDaemonStageView();
    }

    PuzzleBoard& board = rules.board;
    // The file's bytes are read whole: their hash keys the moves stored with a record, so
    // a replay is never played on a file edited since.
    std::vector<std::uint8_t> bytes;
    if (currentStageKind == StageKind::Endless) {
        // Made on the endless screen, with its fewest turns known from the start.
        board.BuildBoard(currentEndlessBoard);
        bytes = currentEndlessBoard.ToBytes(); // the bytes a kept copy of the board holds
        fewestTurns = currentEndlessFewestTurns > 0 ? currentEndlessFewestTurns : -1;
        endlessIdText = "ID " + currentStageName;
    } else if (currentStageKind == StageKind::Edited) {
        board.BuildBoard(currentEditedStage);
        bytes = currentEditedStage.ToBytes();
    } else if (stageFile == nullptr && currentStageKind == StageKind::Extra) {
        // Extra stages are files on disk in the folders the stage select listed (the pack
        // holds none): the player's own file of that name, else the shipped one.
        StageDataReader stage;
        const std::string path = ExtraStageFilePath(currentStageName);
        if (stage.ReadFromPath(path.c_str())) {
            std::ifstream file(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        board.BuildBoard(stage);
    } else {
        if (stageFile != nullptr && stageFile->GetSize() > 0) {
            bytes.resize(static_cast<std::size_t>(stageFile->GetSize()));
            const std::int32_t got = stageFile->Read(bytes.data(), stageFile->GetSize());
            bytes.resize(static_cast<std::size_t>(std::max<std::int32_t>(got, 0)));
            stageFile->Seek(0);
        }
        board.BuildBoard(stageFile);
    }
    stageHash = StageFileHash(bytes.data(), bytes.size());
    startBoard = board;
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
        if (!leavingFrogActors.empty() && leavingFrogActors.front() != nullptr) {
            leaveLength = leavingFrogActors.front()->GetAnimationLength(1);
        }
    }

    startMessage->Activate();
    // The search runs beside the frames, below them: on a busy machine frames come first.
    const auto background = [] { Lumora::System::SetThreadBackground(); };
    analyser = std::make_unique<PositionAnalyser>(GameSolveOptions(), background);
    analyser->Prepare(board); // the request after a turn then allocates nothing here
    startAnalyser = std::make_unique<PositionAnalyser>(GameSolveOptions(), background);
    startAnalyser->Analyse(board, 0);
    // The start's solution is copied in whenever its search ends, in the middle of play:
    // room made now keeps that frame free of allocations (a longer one allocates once).
    startSolution.reserve(PlayedMoves::kReservedMoves);

    if (startRequest == PuzzleStartReplayBest && !board.tiles.empty() && !board.frogs.empty()) {
        replayLeavesScreen = true;
        BeginReplayOfBest();
    } else if (startRequest == PuzzleStartSolution && !board.tiles.empty() && !board.frogs.empty()) {
        replayLeavesScreen = true;
        RequestSolution(true);
    }
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
        case PuzzlePhaseGivenUp: {
            const PuzzleButtons buttons = ReadButtons();
            if (buttons.Pressed(kConfirmButton)) {
                LeaveForStageSelect();
            } else if (buttons.Pressed(ButtonHint)) {
                // The solution from the start, then back to this screen.
                phaseToReturnTo = PuzzlePhaseGivenUp;
                phase = PuzzlePhasePlaying;
                RequestSolution(true);
            } else if (buttons.Pressed(kKeepButton)) {
                KeepEndlessBoard();
            }
            break;
        }
        case PuzzlePhaseCleared: {
            const PuzzleButtons buttons = ReadButtons();
            if (replayOwner != ReplayOwner::None && buttons.Pressed(kCancelButton)) {
                EndReplay(); // cancel ends a replay at any time, its clear included
            } else if (messageQueue->IsRunning() && messageQueue->IsEmpty() && buttons.Pressed(kConfirmButton)) {
                if (replayOwner != ReplayOwner::None) {
                    EndReplay();
                } else {
                    LeaveForStageSelect();
                }
            } else if (replayOwner == ReplayOwner::None && buttons.Pressed(kKeepButton)) {
                KeepEndlessBoard();
            }
            break;
        }
        default:
            break;
        }
    }
    return Scene::Update();
}

void ScenePuzzle::UpdatePlaying()
{
    PuzzlerNuiko& player = *rules.board.player;
    const bool replaying = replayOwner != ReplayOwner::None || solutionWanted || noticeShown;
    if (replaying && player.state != PuzzlerState::Cleared) {
        UpdateReplay();
        return;
    }
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
        if (!replaying && currentStageKind != StageKind::Edited &&
            (bestRecord <= 0 || static_cast<std::int64_t>(rules.turns) < bestRecord)) {
            // The box follows what the file really holds: another copy of the game on the
            // same save file may have stored a better record since this stage started.
            const RecordStore stored = StoreRecordIfBetter();
            if (stored == RecordStore::Stored) {
                messageQueue->Push(std::make_shared<Dialogue>(DialogueKindNewRecord, render, 0));
            } else if (stored == RecordStore::Failed) {
                // Not a new record yet: it waits in memory for the next write the file takes.
                auto notSaved = std::make_shared<Dialogue>(DialogueKindRecordNotSaved, render, 0);
                notSaved->SetPicture(solverTexture, Lumora::Math::Rect(0.0f, 320.0f, 256.0f, 64.0f));
                messageQueue->Push(notSaved);
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
    playedMoves.BeforeStep(rules);
    const StepResult result = rules.Step(buttons);
    playedMoves.AfterStep(rules);
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
    if (currentStageKind == StageKind::Endless) {
        SaveDataManager save;
        const RecordStore stored =
            playedMoves.IsCompleteFor(rules)
                ? save->SetBestRecordWithMoves(StageKind::Endless, currentStageName,
                                               static_cast<std::int32_t>(rules.turns), stageHash,
                                               FormatMoves(playedMoves.Moves()))
                : SetEndlessBestRecord(currentStageName, static_cast<std::int32_t>(rules.turns));
        if (stored == RecordStore::Stored) {
            bestRecord = static_cast<std::int64_t>(rules.turns);
        } else if (stored == RecordStore::Kept) {
            bestRecord = static_cast<std::int64_t>(GetEndlessBestRecord(currentStageName));
        }
        return stored;
    }
    SaveDataManager save;
    // The moves go with the record when every turn was written down (always, in play).
    const RecordStore stored =
        playedMoves.IsCompleteFor(rules)
            ? save->SetBestRecordWithMoves(currentStageKind, currentStageName, static_cast<std::int32_t>(rules.turns),
                                           stageHash, FormatMoves(playedMoves.Moves()))
            : save->SetBestRecord(currentStageKind, currentStageName, static_cast<std::int32_t>(rules.turns));
    if (stored != RecordStore::Kept) {
        // Stored, or kept in memory by the save manager until the file takes it.
        bestRecord = static_cast<std::int64_t>(rules.turns);
    } else {
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
        input->MoveCursor(0, menuCursor, currentStageKind == StageKind::Endless ? MainMenuItemCount + 1 : MainMenuItemCount);
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
            case MainMenuSolution:
                menuPage = MenuPageClosed;
                menuCursor = 0;
                phaseToReturnTo = PuzzlePhasePlaying;
                RequestSolution(false);
                break;
            case MainMenuKeep:
                KeepEndlessBoard();
                menuPage = MenuPageClosed;
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
    // An endless board goes back to the endless screen, the list it came from; a test play
    // to the editor it came from, board and history as they were.
    Scene* next = currentStageKind == StageKind::Endless  ? CreateEndlessScene(GetApplication())
                  : currentStageKind == StageKind::Edited ? CreateEditorScene(GetApplication())
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

void ScenePuzzle::KeepEndlessBoard()
{
    if (currentStageKind != StageKind::Endless || endlessKept) {
        return;
    }
    std::string where;
    endlessKept = KeepPlayerStage(currentStageName + ".pzd", currentEndlessBoard.ToBytes(), where);
    // One line on the screen says what became of it (ASCII paths; a path the font cannot
    // show is still told on stderr).
    endlessKeepText = endlessKept ? "Kept: " + currentStageName + ".pzd (extra stages)" : "Cannot keep: " + where;
    if (!endlessKept) {
        std::fprintf(stderr, "tomarugi: %s\n", endlessKeepText.c_str());
    }
    if (commonSounds.decision != nullptr) {
        commonSounds.decision->Play(0, 0);
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
    if (analyser == nullptr || phase != PuzzlePhasePlaying || replayOwner != ReplayOwner::None) {
        return false; // a replay asks nothing of the solver
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
            startSolution = answer.moves;
        }
        startAnswered = true;
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

void ScenePuzzle::StartReplay(ReplayOwner owner, std::vector<SolverMove> moves)
{
    replayOwner = owner;
    replaySpeed = 1;
    playback = MovePlayback(std::move(moves), rules.turns);
    hintShown = false;
    hintRequested = false;
    deadEndShown = false;
}

void ScenePuzzle::BeginReplayOfBest()
{
    SaveDataManager save;
    BestMoves stored;
    std::vector<SolverMove> moves;
    // Moves stored for another file of this name, or that do not clear this board in their
    // turns, are never played: the notice says why and the screen goes back.
    if (!save->GetBestMoves(currentStageKind, currentStageName, stored) || stored.fileHash != stageHash ||
        !ParseMoves(stored.moves, moves) || moves.size() != static_cast<std::size_t>(stored.turns) ||
        !MovesFit(rules.board, moves)) {
        ShowReplayNotice(kNoticeStageChanged);
        return;
    }
    StartReplay(ReplayOwner::Player, std::move(moves));
}

void ScenePuzzle::RequestSolution(bool fromStart)
{
    solutionWanted = true;
    solutionFromStart = fromStart;
    hintShown = false;
    deadEndShown = false;
    if (!replayLeavesScreen) {
        playToReturnTo = std::make_unique<PuzzleRules>(rules);
    }
    if (fromStart && (rules.turns != 0 || rules.board.player->state != PuzzlerState::Idle)) {
        soundPlayer.Stop(PuzzleSound::FrogDrag);
        rules.board = startBoard;
        rules.turns = 0;
        rules.slideOffset = {};
        rules.leaveClock = 0.0f;
    }
}

void ScenePuzzle::ShowReplayNotice(float sourceY)
{
    solutionWanted = false;
    replayOwner = ReplayOwner::None;
    noticeShown = true;
    noticeSourceY = sourceY;
    noticeShownAt = Lumora::System::GetMilliseconds();
}

void ScenePuzzle::UpdateReplay()
{
    const PuzzleButtons player = ReadButtons();
    if (noticeShown) {
        if (Lumora::System::GetMilliseconds() - noticeShownAt >= kNoticeMilliseconds ||
            player.Pressed(kConfirmButton) || player.Pressed(kCancelButton)) {
            EndReplay();
        }
        return;
    }
    if (player.Pressed(kCancelButton)) {
        EndReplay();
        return;
    }
    // The camera stays the player's: held, its button and the directions go to the rules'
    // camera adjustment, and the replay waits.
    const std::uint32_t cameraButtons = PuzzleButtons::Bit(ButtonCamera) | PuzzleButtons::Bit(ButtonUp) |
                                        PuzzleButtons::Bit(ButtonDown) | PuzzleButtons::Bit(ButtonLeft) |
                                        PuzzleButtons::Bit(ButtonRight);
    const bool adjustingCamera = player.Held(ButtonCamera);
    const PuzzleButtons camera{player.pressed & cameraButtons, player.held & cameraButtons};
    if (solutionWanted) {
        UpdateSolver(false);
        if (!IsSettled()) {
            rules.Step(adjustingCamera ? camera : PuzzleButtons{}); // the motion under way ends first
            return;
        }
        if (solutionFromStart ? startAnswered
                              : (analysis.has_value() && analysedTurns == rules.turns)) {
            solutionWanted = false;
            std::vector<SolverMove> moves;
            if (solutionFromStart) {
                moves = startSolution;
            } else if (analysis->outcome == SolveOutcome::Solved) {
                moves = analysis->moves;
            }
            if (moves.empty()) {
                ShowReplayNotice(kNoticeNoSolution); // unclearable from here, or beyond the budget
            } else {
                StartReplay(ReplayOwner::Solver, std::move(moves));
            }
        } else if (adjustingCamera) {
            rules.Step(camera);
        }
        return;
    }
    if (!adjustingCamera) {
        if (player.Pressed(ButtonLeft)) {
            replaySpeed = std::max(1, replaySpeed / 2);
        }
        if (player.Pressed(ButtonRight)) {
            replaySpeed = std::min(4, replaySpeed * 2);
        }
    }
    // Faster speeds run more rule updates per screen update; the draws between them are
    // given their frog animation here, as the drawing pass would.
    for (std::int32_t i = 0; i < replaySpeed && rules.board.player->state != PuzzlerState::Cleared; ++i) {
        if (i > 0) {
            rules.AdvanceFrogs(leaveLength);
        }
        rules.Step(adjustingCamera ? camera : playback.NextButtons(rules));
    }
}

void ScenePuzzle::EndReplay()
{
    soundPlayer.Stop(PuzzleSound::FrogDrag);
    replayOwner = ReplayOwner::None;
    solutionWanted = false;
    noticeShown = false;
    replaySpeed = 1;
    playback = MovePlayback();
    if (replayLeavesScreen) {
        LeaveForStageSelect();
        return;
    }
    if (playToReturnTo != nullptr) {
        rules = std::move(*playToReturnTo);
        playToReturnTo.reset();
    }
    menuPage = MenuPageClosed;
    menuCursor = 0;
    phase = phaseToReturnTo;
    messageQueue = std::make_shared<DialogueQueue>();
    if (phase == PuzzlePhaseGivenUp) {
        messageQueue->Push(std::make_shared<Dialogue>(DialogueKindGaveUp, GetRender(), 0));
        messageQueue->Start();
    }
}
