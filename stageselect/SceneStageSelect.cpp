#include "SceneStageSelect.h"

#include "CommonGraphics.h"
#include "CommonSounds.h"
#include "CurrentStage.h"
#include "FlatFill.h"
#include "GameFolders.h"
#include "ResourceManager.h"
#include "SceneFactory.h"
#include "SceneTitle.h"
#include "SolverBudget.h"

#include <Lumora/System.h>

#include <algorithm>

namespace {

constexpr std::int32_t kDecideButton = 16;
constexpr std::int32_t kCancelButton = 17;
// The replay of the best record (H, pad L1) and the solver's solution (V, pad Y).
constexpr std::int32_t kReplayButton = 20;
constexpr std::int32_t kSolutionButton = 19;
constexpr float kLineHeight = 32.0f;        // pixels per list line
constexpr std::int32_t kListLeft = 16;      // pixels
constexpr std::uint32_t kChosenLine = 0xFF000000;  // opaque black
constexpr std::uint32_t kOtherLine = 0x88000000;   // dimmed black
constexpr std::size_t kExtensionLength = 4;        // ".pzd"
constexpr float kDigitWidth = 20.0f;               // pixels per digit of the number font
// Marks in "stageselect_marks.png", 32 x 32 each.
const Lumora::Math::Rect kStarMark(0.0f, 0.0f, 32.0f, 32.0f);
const Lumora::Math::Rect kCrossMark(32.0f, 0.0f, 32.0f, 32.0f);
const Lumora::Math::Rect kQuestionMark(64.0f, 0.0f, 32.0f, 32.0f);

void DrawMark(Lumora::IRender* render, Lumora::ITexture* texture, const Lumora::Math::Rect& source, float x, float y)
{
    render->DrawTexture(Lumora::Math::Rect(x, y, 32.0f, 32.0f), 0xFFFFFFFF, source, texture, 0,
                        Lumora::Math::Point2D{});
}

std::int32_t DigitCount(std::int32_t value)
{
    std::int32_t digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

void DrawPicture(Lumora::IRender* render, Lumora::ITexture* texture, const Lumora::Math::Rect& destination)
{
    render->DrawTexture(destination, 0xFFFFFFFF,
                        Lumora::Math::Rect(0.0f, 0.0f, destination.width, destination.height), texture, 0,
                        Lumora::Math::Point2D{});
}

void PlaySound(Lumora::ISound* sound)
{
    if (sound != nullptr) {
        sound->Play(0, 0);
    }
}

} // namespace

SceneStageSelect::SceneStageSelect(Application* application) : Scene(application)
{
    if (ResourceManager* loader = GetResourceManager()) {
        const struct {
            const char* name;
            Lumora::ITexture** target;
        } pictures[] = {
            {"stageselect_logo_bestrecord.png", &bestRecordLogo},
            {"stageselect_logo_frog.png", &frogLogo},
            {"stageselect_logo_width.png", &widthLogo},
            {"stageselect_logo_height.png", &heightLogo},
            {"stage_select_title.png", &titleLogo},
            {"stageselect_logo_fewest.png", &fewestLogo},
            {"stageselect_marks.png", &marks},
            {"puzzle_replay.png", &replayTags},
        };
        for (const auto& picture : pictures) {
            loader->AddRequestFor(LoadOwner(), new LoadRequest(kPixelLoadOptions, "graphic/sprite", picture.name, picture.target));
        }
    }
    numberRenderer = std::make_shared<NumberRenderer>(GetRender());
    background = std::make_shared<BackGroundTileRender>(GetRender());
    wipe = std::make_shared<EffectWipe>(GetRender(), 1);
    phase = StageSelectLoading;
    cursor = 0;
    RequestNormalStageFiles(catalogue, GetResourceManager(), LoadOwner());
}

SceneStageSelect::~SceneStageSelect()
{
    // Stops a search in progress and stores the answers found so far.
    solver.reset();
    Lumora::SafeRelease(fewestLogo);
    Lumora::SafeRelease(marks);
    Lumora::SafeRelease(replayTags);
    // The catalogue releases the stage files as it goes.
    Lumora::SafeRelease(bestRecordLogo);
    Lumora::SafeRelease(frogLogo);
    Lumora::SafeRelease(widthLogo);
    Lumora::SafeRelease(heightLogo);
    Lumora::SafeRelease(titleLogo);
    numberRenderer.reset();
    wipe.reset();
    background.reset();
}

bool SceneStageSelect::Update()
{
    if (phase == StageSelectLoading) {
        ResourceManager* loader = GetResourceManager();
        if (loader == nullptr || !loader->IsBusy()) {
            if (currentStageKind == StageKind::Normal) {
                BuildNormalCatalogue(catalogue);
            } else {
                BuildExtraCatalogue(catalogue);
            }
            StartFewestTurns();
            phase = StageSelectSelecting;
        }
    } else if (phase == StageSelectSelecting) {
        UpdateSelecting();
        TakeFewestTurns();
    }
    return Scene::Update();
}

void SceneStageSelect::UpdateSelecting()
{
    Lumora::IInputController* input = GetInputController();
    if (input == nullptr) {
        return;
    }
    const auto count = static_cast<std::int32_t>(catalogue.stageNames.size());
    input->MoveCursor(0, cursor, count);

    if (input->GetState(Lumora::InputPressed, kDecideButton) && count > 0 && cursor >= 0 && cursor < count) {
        PlaySound(commonSounds.decision);
        currentStageName = catalogue.stageNames[static_cast<std::size_t>(cursor)];
        Leave(CreatePuzzleScene(GetApplication()));
        // Decide wins over a cancel in the same tick: one successor only.
        return;
    }
    // The replay of the best, and the solver's solution: the puzzle screen driven by moves.
    const StageInfo info = ChosenStageInfo();
    const bool replay = input->GetState(Lumora::InputPressed, kReplayButton) && info.hasReplay;
    const bool solution = input->GetState(Lumora::InputPressed, kSolutionButton) && info.bestRecord > 0;
    if ((replay || solution) && count > 0 && cursor >= 0 && cursor < count) {
        PlaySound(commonSounds.decision);
        currentStageName = catalogue.stageNames[static_cast<std::size_t>(cursor)];
        currentPuzzleStart = replay ? PuzzleStartReplayBest : PuzzleStartSolution;
        Leave(CreatePuzzleScene(GetApplication()));
        return;
    }
    if (input->GetState(Lumora::InputPressed, kCancelButton)) {
        PlaySound(commonSounds.cancel);
        Leave(new SceneTitle(GetApplication()));
    }
}

void SceneStageSelect::StartFewestTurns()
{
    if (currentStageKind != StageKind::Extra) {
        for (auto& [name, info] : catalogue.stageInfos) {
            info.fewestTurns = NormalStageFewestTurns(name);
        }
        return;
    }
    std::vector<StageSolveJob> jobs;
    jobs.reserve(catalogue.stageNames.size());
    for (std::size_t i = 0; i < catalogue.stageNames.size(); ++i) {
        jobs.push_back({i, catalogue.stageNames[i], ExtraStageFilePath(catalogue.stageNames[i])});
    }
    if (jobs.empty()) {
        return;
    }
    // Below the frames in priority: scrolling the list never waits for a search.
    solver = std::make_unique<StageSolverWorker>(StageKind::Extra, std::move(jobs), LoadFewestTurns(StageKind::Extra),
                                                 GameSolveOptions(), [] { Lumora::System::SetThreadBackground(); });
}

void SceneStageSelect::TakeFewestTurns()
{
    if (solver == nullptr) {
        return;
    }
    solver->SetCursor(static_cast<std::size_t>(std::max(cursor, 0)));
    for (const auto& [index, value] : solver->TakeAnswers()) {
        if (index < catalogue.stageNames.size()) {
            const auto found = catalogue.stageInfos.find(catalogue.stageNames[index]);
            if (found != catalogue.stageInfos.end()) {
                found->second.fewestTurns = value;
            }
        }
    }
}

bool SceneStageSelect::IsSolverBusy() const
{
    return solver != nullptr && solver->IsBusy();
}

void SceneStageSelect::Leave(Scene* successor)
{
    phase = StageSelectExiting;
    Kill();
    if (successor == nullptr) {
        return;
    }
    if (Scene* parent = GetParent()) {
        parent->AddChild(successor);
    } else {
        successor->Release();
    }
}

void SceneStageSelect::Draw()
{
    Lumora::IRender* render = GetRender();
    if (render != nullptr) {
        render->SetBlendMode(Lumora::IRender::BlendNormal);
        if (phase == StageSelectLoading) {
            DrawFlatFill(render, Lumora::Math::Rect(0.0f, 0.0f, 640.0f, 480.0f), kBackgroundTexelX);
        } else if (phase == StageSelectSelecting) {
            DrawSelecting(render);
        }
    }
    Scene::Draw();
}

StageInfo SceneStageSelect::ChosenStageInfo() const
{
    const auto count = static_cast<std::int32_t>(catalogue.stageNames.size());
    if (!catalogue.stageInfos.empty() && cursor >= 0 && cursor < count) {
        const auto found = catalogue.stageInfos.find(catalogue.stageNames[static_cast<std::size_t>(cursor)]);
        if (found != catalogue.stageInfos.end()) {
            return found->second;
        }
    }
    return {};
}

void SceneStageSelect::DrawSelecting(Lumora::IRender* render)
{
    background->Draw();
    DrawFlatFill(render, Lumora::Math::Rect(320.0f, 0.0f, 320.0f, 480.0f), kPanelTexelX);
    // The highlight lies under the first list line, which is always the chosen stage.
    DrawFlatFill(render, Lumora::Math::Rect(0.0f, 32.0f, 320.0f, 32.0f), kPanelTexelX);

    render->SetBlendMode(Lumora::IRender::BlendSmooth);
    DrawPicture(render, titleLogo, Lumora::Math::Rect(320.0f, 0.0f, 256.0f, 64.0f));

    const auto count = static_cast<std::int32_t>(catalogue.stageNames.size());
    const StageInfo info = ChosenStageInfo();
    if (replayTags != nullptr) {
        // The key tags right of the captions they belong to: the replay by the best record,
        // the solution by the fewest turns.
        if (info.hasReplay) {
            render->DrawTexture(Lumora::Math::Rect(456.0f, 64.0f, 128.0f, 32.0f), 0xFFFFFFFF,
                                Lumora::Math::Rect(0.0f, 256.0f, 128.0f, 32.0f), replayTags, 0,
                                Lumora::Math::Point2D{});
        }
        if (info.bestRecord > 0) {
            render->DrawTexture(Lumora::Math::Rect(456.0f, 320.0f, 128.0f, 32.0f), 0xFFFFFFFF,
                                Lumora::Math::Rect(128.0f, 256.0f, 128.0f, 32.0f), replayTags, 0,
                                Lumora::Math::Point2D{});
        }
    }
    DrawPicture(render, bestRecordLogo, Lumora::Math::Rect(320.0f, 64.0f, 128.0f, 32.0f));
    numberRenderer->Draw(info.bestRecord, 320, 96, 255, false);
    DrawPicture(render, frogLogo, Lumora::Math::Rect(320.0f, 128.0f, 128.0f, 32.0f));
    numberRenderer->Draw(info.frogCount, 320, 160, 255, false);
    DrawPicture(render, widthLogo, Lumora::Math::Rect(320.0f, 192.0f, 128.0f, 32.0f));
    numberRenderer->Draw(info.width, 320, 224, 255, false);
    DrawPicture(render, heightLogo, Lumora::Math::Rect(320.0f, 256.0f, 128.0f, 32.0f));
    numberRenderer->Draw(info.height, 320, 288, 255, false);
    DrawFewestTurns(render, info);

    render->SetBlendMode(Lumora::IRender::BlendNormal);
    // The font is made on a helper thread during the start-up; this waits only if the
    // screen opens before it is done (see CommonGraphics.h).
    Lumora::IFont* font = WaitForCommonFont();
    if (font != nullptr && font->IsInvalid() == 0) {
        font->Begin(0);
        // Lines before the cursor are not shown: the chosen stage is the top line at y = 32.
        for (std::int32_t i = std::max(cursor, 0); i < count; ++i) {
            const std::string& name = catalogue.stageNames[static_cast<std::size_t>(i)];
            const std::string text =
                name.size() >= kExtensionLength ? name.substr(0, name.size() - kExtensionLength) : std::string();
            const auto y = static_cast<std::int32_t>(static_cast<float>(i - cursor + 1) * kLineHeight);
            font->DrawText(text.c_str(), kListLeft, y, i == cursor ? kChosenLine : kOtherLine, 0xFFFFFFFF);
        }
        font->End();
        font->Render();
    }
    wipe->Draw();
}

void SceneStageSelect::DrawFewestTurns(Lumora::IRender* render, const StageInfo& info)
{
    DrawPicture(render, fewestLogo, Lumora::Math::Rect(320.0f, 320.0f, 128.0f, 32.0f));
    if (info.fewestTurns >= 1) {
        numberRenderer->Draw(info.fewestTurns, 320, 352, 255, false);
    } else {
        DrawMark(render, marks, info.fewestTurns == kFewestTurnsUnclearable ? kCrossMark : kQuestionMark, 320.0f,
                 352.0f);
    }
    // The star: the best record matches the fewest turns possible.
    if (info.bestRecord > 0 && info.bestRecord == info.fewestTurns) {
        DrawMark(render, marks, kStarMark, 320.0f + kDigitWidth * static_cast<float>(DigitCount(info.bestRecord)) + 4.0f,
                 96.0f);
    }
}
