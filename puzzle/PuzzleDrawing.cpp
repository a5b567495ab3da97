// puzzle/PuzzleDrawing.cpp: the puzzle screen's frame.
//
// Every 3D object is placed anew each frame from its cell (20 world units a cell, rows along
// -Z) with the same actor sequence: ResetTransform, [SetAnimation], [RotateY], Translate,
// UpdateTransform, Render. The frog animations of the rules advance here, once per drawn
// frame, so a frog pushed or thawed before the menu opened finishes behind the menu.
//
// Floor tiles, icicles and frozen frogs that the camera cannot show are not queued at all
// (FindVisibleCells): on a large board the renderer would only cull them again, one by one.
//
// Steady play allocates nothing: the actors and the map batch were made at stage start with
// room for every object, and the leave-animation callback captures one pointer, which
// std::function keeps without the heap.
#include "ScenePuzzle.h"

#include "CommonGraphics.h"
#include "CurrentStage.h"

#include <Lumora/System.h>
#include <Lumora/Text.h>

#include <algorithm>
#include <cmath>

namespace {

using Lumora::Math::Rect;
using Lumora::Math::Vector3D;
using Lumora::Math::Vector4D;

constexpr std::uint32_t kOpaque = 0xFFFFFFFF;

// The line offering to keep an endless board, in Shift-JIS, converted once.
const std::string& KeepHintText()
{
    static const std::string text = Lumora::Utf8ToShiftJis("X: のこす  Keep this board");
    return text;
}
constexpr std::uint32_t kDimmed = 0x88FFFFFF;    // menu items away from the cursor
constexpr std::uint32_t kMapTranslucent = 0xDAFFFFFF; // the stage map shown all the time
constexpr float kMapChip = 16.0f;                // pixels per map cell
constexpr std::int32_t kFloorCode = 1;           // the only floor code drawn
constexpr float kIcicleSeeThroughAlpha = 0.6f;
// World units from the eye to a frozen frog's cell point beyond which the frog is drawn with
// the model of fewer triangles. There its 13-unit block is under 17 pixels tall (45-degree
// view on 480 lines) and a third fogged; nearer, the fewer steps round its curves would show.
constexpr float kFarFrogDistance = 450.0f;
constexpr double kIdleChangeSeconds = 15.0;
constexpr std::int32_t kLeaveAnimation = 1;

// Idle animations by variant, and the animation of every other player state.
constexpr std::int32_t kIdleAnimations[3] = {0, 6, 7};
constexpr std::int32_t kMovingAnimation = 3;
constexpr std::int32_t kPushingAnimation = 4;
constexpr std::int32_t kDefrostingAnimation = 5;
constexpr std::int32_t kClearedAnimation = 1;
constexpr std::int32_t kGivenUpAnimation = 2;

void DrawPicture(Lumora::IRender* render, Lumora::ITexture* texture, float x, float y, float width,
                 float height, std::uint32_t argb)
{
    render->DrawTexture(Rect(x, y, width, height), argb, Rect(0.0f, 0.0f, width, height), texture, 0,
                        Lumora::Math::Point2D{});
}

// A menu picture: 256 x 32 at x = 30.
void DrawMenuPicture(Lumora::IRender* render, Lumora::ITexture* texture, float y, std::uint32_t argb)
{
    DrawPicture(render, texture, 30.0f, y, 256.0f, 32.0f, argb);
}

void PlaceActor(Lumora::IActor* actor, float x, float z)
{
    actor->ResetTransform();
    actor->Translate(x, 0.0f, z);
    actor->UpdateTransform();
    actor->Render();
}

float WorldX(std::uint32_t column)
{
    return static_cast<float>(column) * CellSize;
}

float WorldZ(std::uint32_t row)
{
    return -(static_cast<float>(row) * CellSize);
}

} // namespace

std::int32_t PlayerFacingAngle(const Direction& facing)
{
    double degrees = 0.0;
    if (facing.dx < 0) {
        degrees = 90.0;
    } else if (facing.dx > 0) {
        degrees = 270.0;
    }
    if (facing.dy < 0) {
        degrees = 180.0;
    } else if (facing.dy > 0) {
        degrees = 0.0;
    }
    return static_cast<std::int32_t>(degrees * 65536.0 / 360.0);
}

void ScenePuzzle::Draw()
{
    Lumora::IRender* render = GetRender();
    if (render != nullptr) {
        if (phase == PuzzlePhaseLoading) {
            render->DrawTexture(Rect(0.0f, 0.0f, 640.0f, 480.0f), kOpaque, Rect(320.0f, 0.0f, 1.0f, 1.0f),
                                commonGraphics.softCircle, 0, Lumora::Math::Point2D{});
        } else if (phase >= PuzzlePhaseStarting && phase <= PuzzlePhaseCleared) {
            Draw3D();
            DrawStageMap();
            DrawMenu();
            DrawBottomPanel();
            DrawSolverBoxes();
            DrawReplay();
            wipe->Draw();
            startMessage->Draw();
            messageQueue->Draw();
            DrawEndlessLabels();
        }
    }
    Scene::Draw();
}

void ScenePuzzle::DrawEndlessLabels()
{
    if (endlessIdText.empty()) {
        return;
    }
    Lumora::IFont* font = WaitForCommonFont();
    if (font == nullptr || font->IsInvalid() != 0) {
        return;
    }
    font->Begin(0);
    // Top left, over the 3D view and the stage map alike: the ID to tell a friend.
    font->DrawText(endlessIdText.c_str(), 8, 8, 0xFF000000, 0xFFFFFFFF);
    if (!endlessKeepText.empty()) {
        font->DrawText(endlessKeepText.c_str(), 8, 40, 0xFF000000, 0xFFFFFFFF);
    } else if (phase == PuzzlePhaseCleared || phase == PuzzlePhaseGivenUp) {
        // The menu's last item keeps it while playing; after the end, cancel does.
        font->DrawText(KeepHintText().c_str(), 8, 40, 0xFF000000, 0xFFFFFFFF);
    }
    font->End();
    font->Render();
}

void ScenePuzzle::Draw3D()
{
    if (sceneManager == nullptr) {
        return;
    }
    sceneManager->Reset();
    sceneManager->SetBackgroundColor(0xFFEEF1FF, 1);
    if (camera != nullptr) {
        camera->Apply();
        eyeThisFrame = camera->ComputeView().eye;
    }
    sceneManager->SetDirectionalLight(Vector3D(0.0f, -0.5f, 0.7f), Vector3D(0.8f, 0.8f, 0.8f));
    sceneManager->SetAmbientLight(Vector3D(0.2f, 0.2f, 0.2f), Vector3D(0.5f, 0.5f, 0.5f));
    sceneManager->Begin(0);
    DrawFloors();
    DrawIcicles();
    DrawFrogs();
    DrawPlayer();
    sceneManager->End();
    sceneManager->Render(0);
}

void ScenePuzzle::DrawFloors()
{
    const PuzzleBoard& board = rules.board;
    // Cell (x, y) is drawn at (x * 20, 0, -y * 20), row by row in index order. Only the cells
    // that the camera can show are walked: a 255 x 255 board queues the thousand or so tiles
    // in view instead of 65,025. Cells inside keep their index order, and a small board lies
    // wholly inside, so what is drawn does not change.
    const std::size_t columns = board.width != 0 ? board.width : board.tiles.size();
    const std::size_t rows = columns != 0 ? (board.tiles.size() + columns - 1) / columns : 0;
    const VisibleCells cells = FindVisibleCells(floorModel, columns, rows);
    if (!cells.any) {
        return;
    }
    for (std::size_t row = cells.firstRow; row <= cells.lastRow; ++row) {
        for (std::size_t column = cells.firstColumn; column <= cells.lastColumn; ++column) {
            const std::size_t index = row * columns + column;
            if (index >= board.tiles.size()) {
                return; // a short last row
            }
            if (board.tiles[index] == kFloorCode && index < floorActors.size() && floorActors[index] != nullptr) {
                PlaceActor(floorActors[index], WorldX(static_cast<std::uint32_t>(column)),
                           WorldZ(static_cast<std::uint32_t>(row)));
            }
        }
    }
}

ScenePuzzle::VisibleCells ScenePuzzle::FindVisibleCells(Lumora::IModel* model, std::size_t columns,
                                                        std::size_t rows) const
{
    VisibleCells cells;
    // The scene manager gives the ground rectangle outside which an unturned actor of the
    // model would be culled anyway (conservative: nothing it would draw lies outside).
    Lumora::Math::Rect ground;
    if (columns == 0 || rows == 0 || !sceneManager->GetVisibleGround(model, 0.0f, ground)) {
        return cells;
    }
    // Cells whose point lies in [low, high] world units along an axis, clamped to [0, count).
    const auto cellRange = [](double low, double high, std::size_t count, std::size_t& first, std::size_t& last) {
        const double lowCell = std::max(std::ceil(low / CellSize), 0.0);
        const double highCell = std::min(std::floor(high / CellSize), static_cast<double>(count) - 1.0);
        if (!(lowCell <= highCell)) {
            return false;
        }
        first = static_cast<std::size_t>(lowCell);
        last = static_cast<std::size_t>(highCell);
        return true;
    };
    // Rows run along -Z: row y lies at Z = -y * 20.
    cells.any = cellRange(ground.x, static_cast<double>(ground.x) + ground.width, columns, cells.firstColumn,
                          cells.lastColumn) &&
                cellRange(-(static_cast<double>(ground.y) + ground.height), -static_cast<double>(ground.y), rows,
                          cells.firstRow, cells.lastRow);
    return cells;
}

void ScenePuzzle::DrawIcicles()
{
    const PuzzleBoard& board = rules.board;
    const std::uint32_t playerRow = board.player->y;
    const bool seeThroughCamera = camera != nullptr && camera->mode == CameraMode::Auto;
    const Vector4D seeThrough(1.0f, 1.0f, 1.0f, kIcicleSeeThroughAlpha);
    // Icicles the camera cannot show are skipped, material settings included: an icicle's
    // settings are made anew each time it is drawn.
    const VisibleCells cells = FindVisibleCells(icicleModel, board.width, board.height);
    for (std::size_t i = 0; i < board.icicles.size() && i < icicleActors.size(); ++i) {
        Lumora::IActor* actor = icicleActors[i];
        const PuzzleObjectIcicle& icicle = board.icicles[i];
        if (actor == nullptr || !cells.Contains(icicle.x, icicle.y)) {
            continue;
        }
        PlaceActor(actor, WorldX(icicle.x), WorldZ(icicle.y));
        // Greater rows lie towards the following camera: those icicles would hide the player.
        const bool hidesPlayer = seeThroughCamera && icicle.y > playerRow;
        const std::int32_t meshes = actor->GetMeshCount();
        for (std::int32_t mesh = 0; mesh < meshes; ++mesh) {
            const std::int32_t materials = actor->GetMaterialCount(mesh);
            for (std::int32_t material = 0; material < materials; ++material) {
                actor->SetMaterialTransparent(mesh, material, 0);
                if (hidesPlayer) {
                    actor->SetMaterialTransparent(mesh, material, 1);
                    actor->SetMaterialColor(mesh, material, seeThrough);
                }
            }
        }
    }
}

void ScenePuzzle::DrawFrogs()
{
    std::vector<PuzzleObjectFrozenFrog>& frogs = rules.board.frogs;
    // Frozen frogs the camera cannot show are not queued; sliding and leaving frogs always
    // run their animation step, which belongs to the rules.
    const VisibleCells cells = FindVisibleCells(frozenFrogModel, rules.board.width, rules.board.height);
    // From the last frog to the first: a defrost that ends here erases its frog, which moves
    // only the frogs above it, already drawn.
    for (std::size_t i = frogs.size(); i-- > 0;) {
        if (i >= frogs.size()) {
            continue; // more than one frog left in one go
        }
        PuzzleObjectFrozenFrog& frog = frogs[i];
        Lumora::IActor* leavingActor = i < leavingFrogActors.size() ? leavingFrogActors[i] : nullptr;
        switch (frog.state) {
        case FrogState::Sliding: {
            const Vector3D at = rules.AdvanceSlidingFrog(frog);
            if (Lumora::IActor* frozenActor = FrozenFrogActor(i, at.x, at.z)) {
                PlaceActor(frozenActor, at.x, at.z);
            }
            break;
        }
        case FrogState::Leaving: {
            const float length = leavingActor != nullptr ? leavingActor->GetAnimationLength(kLeaveAnimation) : 0.0f;
            rules.AdvanceLeavingFrog(frog, length, [leavingActor](const PuzzleObjectFrozenFrog& leaving, float clock) {
                if (leavingActor == nullptr) {
                    return;
                }
                leavingActor->ResetTransform();
                leavingActor->SetAnimation(kLeaveAnimation, clock);
                leavingActor->Translate(WorldX(leaving.x), 0.0f, WorldZ(leaving.y));
                leavingActor->UpdateTransform();
                leavingActor->Render();
            });
            break;
        }
        default:
            if (cells.Contains(frog.x, frog.y)) {
                if (Lumora::IActor* frozenActor = FrozenFrogActor(i, WorldX(frog.x), WorldZ(frog.y))) {
                    PlaceActor(frozenActor, WorldX(frog.x), WorldZ(frog.y));
                }
            }
            break;
        }
    }
}

Lumora::IActor* ScenePuzzle::FrozenFrogActor(std::size_t frog, float x, float z) const
{
    const float dx = x - eyeThisFrame.x;
    const float dy = eyeThisFrame.y; // the frog's cell point lies at height 0
    const float dz = z - eyeThisFrame.z;
    if (frog < frozenFrogFarActors.size() && dx * dx + dy * dy + dz * dz > kFarFrogDistance * kFarFrogDistance) {
        return frozenFrogFarActors[frog];
    }
    return frog < frozenFrogActors.size() ? frozenFrogActors[frog] : nullptr;
}

void ScenePuzzle::DrawPlayer()
{
    const PuzzlerNuiko& player = *rules.board.player;
    playerClock += 1.0f;
    std::int32_t animation = 0;
    switch (player.state) {
    case PuzzlerState::Idle:
        animation = kIdleAnimations[idleVariant >= 0 && idleVariant < 3 ? idleVariant : 0];
        break;
    case PuzzlerState::Moving:
        animation = kMovingAnimation;
        break;
    case PuzzlerState::Pushing:
        animation = kPushingAnimation;
        break;
    case PuzzlerState::Defrosting:
        animation = kDefrostingAnimation;
        break;
    case PuzzlerState::Cleared:
        animation = kClearedAnimation;
        break;
    case PuzzlerState::GivenUp:
        animation = kGivenUpAnimation;
        break;
    default:
        animation = -1; // not drawn
        break;
    }
    if (animation >= 0 && playerActor != nullptr) {
        playerActor->ResetTransform();
        playerActor->SetAnimation(animation, playerClock);
        playerActor->RotateY(PlayerFacingAngle(player.facing));
        playerActor->Translate(player.position.x, 0.0f, player.position.z);
        playerActor->UpdateTransform();
        playerActor->Render();
        if (playerActor->GetAnimationLength(animation) < playerClock) {
            playerClock = 0.0f;
            if (player.state == PuzzlerState::Idle) {
                const std::uint32_t now = Lumora::System::GetMilliseconds();
                // Unsigned difference: right across the clock's wrap.
                if (static_cast<double>(now - idleSince) / 1000.0 > kIdleChangeSeconds) {
                    idleVariant = (idleVariant + 1) % 3;
                    idleSince = now;
                }
            }
        }
    }
    if (player.state != PuzzlerState::Idle) {
        idleSince = Lumora::System::GetMilliseconds();
    }
}

void ScenePuzzle::DrawStageMap()
{
    if (mapSprites == nullptr || (menuPage != MenuPageStageView && !mapAlwaysShown)) {
        return;
    }
    const PuzzleBoard& board = rules.board;
    const std::uint32_t argb = mapAlwaysShown ? kMapTranslucent : kOpaque;
    const auto square = [this](std::uint32_t x, std::uint32_t y) {
        return Rect((static_cast<float>(x) - static_cast<float>(mapColumn)) * kMapChip,
                    (static_cast<float>(y) - static_cast<float>(mapRow)) * kMapChip, kMapChip, kMapChip);
    };
    mapSprites->Begin();
    if (board.width != 0) {
        for (std::size_t index = 0; index < board.tiles.size(); ++index) {
            if (board.tiles[index] == kFloorCode) {
                mapSprites->DrawSquare(square(static_cast<std::uint32_t>(index % board.width),
                                              static_cast<std::uint32_t>(index / board.width)),
                                       Rect(0.0f, 0.0f, 16.0f, 16.0f), argb);
            }
        }
    }
    for (const PuzzleObjectIcicle& icicle : board.icicles) {
        mapSprites->DrawSquare(square(icicle.x, icicle.y), Rect(16.0f, 16.0f, 16.0f, 16.0f), argb);
    }
    for (const PuzzleObjectFrozenFrog& frog : board.frogs) {
        mapSprites->DrawSquare(square(frog.x, frog.y), Rect(16.0f, 0.0f, 16.0f, 16.0f), argb);
    }
    mapSprites->DrawSquare(square(board.player->x, board.player->y), Rect(0.0f, 16.0f, 16.0f, 16.0f), argb);
    mapSprites->End();
    mapSprites->Render();
    if (hintShown && solverTexture != nullptr) {
        // The ring on the hinted move's target cell, over the chips.
        Lumora::IRender* render = GetRender();
        render->SetBlendMode(1);
        render->DrawTexture(square(hintTarget.x, hintTarget.y), kOpaque, Rect(192.0f, 240.0f, 16.0f, 16.0f),
                            solverTexture, 0, Lumora::Math::Point2D{});
    }
}

void ScenePuzzle::DrawMenu()
{
    Lumora::IRender* render = GetRender();
    const auto item = [this](std::int32_t index) { return menuCursor == index ? kOpaque : kDimmed; };
    switch (menuPage) {
    case MenuPageMain:
        DrawMenuPicture(render, menuTitleTexture, 32.0f, kOpaque);
        DrawMenuPicture(render, menuCloseTexture, 64.0f, item(MainMenuClose));
        DrawMenuPicture(render, menuRetryTexture, 96.0f, item(MainMenuRetry));
        DrawMenuPicture(render, menuGiveUpTexture, 128.0f, item(MainMenuGiveUp));
        DrawMenuPicture(render, menuStageViewTexture, 160.0f, item(MainMenuStageView));
        DrawMenuPicture(render, menuCameraTexture, 192.0f, item(MainMenuCamera));
        DrawMenuPicture(render, menuSolutionTexture, 224.0f, item(MainMenuSolution));
        if (currentStageKind == StageKind::Endless) {
            DrawMenuPicture(render, menuKeepTexture, 256.0f, item(MainMenuKeep));
        }
        break;
    case MenuPageConfirmRetry:
    case MenuPageConfirmGiveUp:
        DrawMenuPicture(render, confirmationTexture, 32.0f, kOpaque);
        DrawMenuPicture(render, noTexture, 64.0f, item(0));
        DrawMenuPicture(render, yesTexture, 96.0f, item(1));
        break;
    case MenuPageCameraSelect:
        DrawMenuPicture(render, menuCameraTexture, 32.0f, kOpaque);
        DrawMenuPicture(render, menuCameraAutoTexture, 64.0f, item(0));
        DrawMenuPicture(render, menuCameraTopViewTexture, 96.0f, item(1));
        break;
    default:
        break; // closed; the stage view shows the map instead
    }
}

void ScenePuzzle::DrawBottomPanel()
{
    const PuzzleBoard& board = rules.board;
    const PuzzlerState state = board.player->state;
    if (state == PuzzlerState::Cleared || state == PuzzlerState::GivenUp) {
        return;
    }
    Lumora::IRender* render = GetRender();
    render->SetBlendMode(1);
    DrawPicture(render, panelTexture, 0.0f, 380.0f, 640.0f, 100.0f, kOpaque);
    DrawPicture(render, logoFrogTexture, 30.0f, 390.0f, 256.0f, 32.0f, kOpaque);
    numberRenderer->Draw(static_cast<std::int32_t>(board.frogs.size()), 200, 422, 255, true);
    DrawPicture(render, logoTurnTexture, 300.0f, 390.0f, 256.0f, 32.0f, kOpaque);
    numberRenderer->Draw(static_cast<std::int32_t>(static_cast<std::uint32_t>(rules.turns)), 300, 422, 255, false);
}

void ScenePuzzle::DrawSolverBoxes()
{
    const PuzzlerState state = rules.board.player->state;
    if (solverTexture == nullptr || phase != PuzzlePhasePlaying || state == PuzzlerState::Cleared ||
        state == PuzzlerState::GivenUp) {
        return;
    }
    Lumora::IRender* render = GetRender();
    render->SetBlendMode(1);
    if (hintShown) {
        // The plate at (208, 312), just above the bottom panel; on it the arrow of the
        // direction and the picture of the kind (slide, push, thaw).
        constexpr float kBoxX = 208.0f;
        constexpr float kBoxY = 312.0f;
        render->DrawTexture(Rect(kBoxX, kBoxY, 224.0f, 64.0f), kOpaque, Rect(0.0f, 128.0f, 224.0f, 64.0f),
                            solverTexture, 0, Lumora::Math::Point2D{});
        float arrow = 0.0f; // up
        if (hintMove.direction == Down) {
            arrow = 48.0f;
        } else if (hintMove.direction == Left) {
            arrow = 96.0f;
        } else if (hintMove.direction == Right) {
            arrow = 144.0f;
        }
        render->DrawTexture(Rect(kBoxX + 70.0f, kBoxY + 8.0f, 48.0f, 48.0f), kOpaque, Rect(arrow, 192.0f, 48.0f, 48.0f),
                            solverTexture, 0, Lumora::Math::Point2D{});
        const Rect kind = hintMove.action == SolverAction::Push      ? Rect(96.0f, 240.0f, 96.0f, 32.0f)
                          : hintMove.action == SolverAction::Defrost ? Rect(0.0f, 272.0f, 96.0f, 32.0f)
                                                                     : Rect(0.0f, 240.0f, 96.0f, 32.0f);
        render->DrawTexture(Rect(kBoxX + 122.0f, kBoxY + 16.0f, 96.0f, 32.0f), kOpaque, kind, solverTexture, 0,
                            Lumora::Math::Point2D{});
    }
    if (deadEndShown) {
        // In the message boxes' look, but it stays: fades in and remains until the menu opens.
        deadEndAlpha = std::min(deadEndAlpha + 10, 255);
        render->DrawTexture(Rect(192.0f, 304.0f, 256.0f, 64.0f), NumberRenderer::ColourForAlpha(deadEndAlpha),
                            Rect(0.0f, 64.0f, 256.0f, 64.0f), solverTexture, 0, Lumora::Math::Point2D{});
    } else {
        deadEndAlpha = 0;
    }
}

void ScenePuzzle::DrawReplay()
{
    Lumora::IRender* render = GetRender();
    if (replayTexture == nullptr || render == nullptr) {
        return;
    }
    render->SetBlendMode(1);
    const auto draw = [&](float x, float y, float sourceX, float sourceY, float width, float height) {
        render->DrawTexture(Rect(x, y, width, height), kOpaque, Rect(sourceX, sourceY, width, height), replayTexture, 0,
                            Lumora::Math::Point2D{});
    };
    // Top right, clear of the stage map at the top left: whose replay, its speed, the keys.
    constexpr float kCaptionX = 354.0f;
    constexpr float kCaptionY = 12.0f;
    const bool solver = replayOwner == ReplayOwner::Solver || solutionWanted;
    if (replayOwner != ReplayOwner::None || solutionWanted) {
        draw(kCaptionX, kCaptionY, 0.0f, solver ? 32.0f : 0.0f, 256.0f, 32.0f);
        if (replayOwner != ReplayOwner::None) {
            const float speed = replaySpeed >= 4 ? 128.0f : replaySpeed >= 2 ? 64.0f : 0.0f;
            draw(kCaptionX, kCaptionY + 32.0f, speed, 64.0f, 64.0f, 32.0f);
            draw(kCaptionX, kCaptionY + 64.0f, 0.0f, 224.0f, 256.0f, 32.0f);
        }
    }
    if (noticeShown) {
        // Where the dead-end box goes, below the start message that opens every stage.
        draw(192.0f, 304.0f, 0.0f, noticeSourceY, 256.0f, 64.0f);
    }
    if (phase == PuzzlePhaseGivenUp && menuSolutionTexture != nullptr && solverTexture != nullptr) {
        // The offer after a give up: the hint key's tag, its cut edge under "show the solution".
        render->DrawTexture(Rect(136.0f, 284.0f, 68.0f, 64.0f), kOpaque, Rect(0.0f, 128.0f, 68.0f, 64.0f),
                            solverTexture, 0, Lumora::Math::Point2D{});
        DrawPicture(render, menuSolutionTexture, 192.0f, 300.0f, 256.0f, 32.0f, kOpaque);
    }
}
