#include "SceneEditor.h"

#include "CommonGraphics.h"
#include "CommonSounds.h"
#include "CurrentStage.h"
#include "FlatFill.h"
#include "GameFolders.h"
#include "LoadRequest.h"
#include "ResourceManager.h"
#include "SceneTitle.h"
#include "StageCatalogue.h"
#include "StageFiles.h"
// Quoted by its folder: the engine has a private header of the same name on the include path.
#include "../scene/SceneFactory.h"

#include <Lumora/Directory.h>
#include <Lumora/System.h>
#include <Lumora/Text.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

namespace {

using Lumora::Math::Rect;

// Buttons 0..3 are the directions, read through MoveCursor and MoveCursorHorizontal.
constexpr std::int32_t kConfirm = 16;
constexpr std::int32_t kCancel = 17;
constexpr std::int32_t kMenu = 18;     // C, pad X
constexpr std::int32_t kPieceHold = 19; // V, pad Y: held with left/right changes the piece
constexpr std::int32_t kUndo = 21;     // U, pad left shoulder
constexpr std::int32_t kRedo = 22;     // R, pad right shoulder

constexpr std::uint32_t kOpaque = 0xFFFFFFFF;
constexpr std::uint32_t kInk = 0xFF1E2A44;       // text on the light panels
constexpr std::uint32_t kDimInk = 0x881E2A44;    // other lines of a list
constexpr std::uint32_t kOutline = 0xFFFFFFFF;
constexpr std::uint32_t kHoleColour = 0xFF2B3550; // the water under the ice
constexpr std::uint32_t kCursorColour = 0xFF1E2A44;

// The board's square on the screen; cells are as large as fit, at most 32 px.
constexpr float kBoardLeft = 8.0f;
constexpr float kBoardTop = 40.0f;
constexpr float kBoardSpan = 384.0f;
constexpr float kPanelLeft = 400.0f;
constexpr std::int32_t kLineHeight = 28;

// Chips in "mapchips.png" (16 x 16 each), as the puzzle's stage map draws them.
constexpr float kIceChipX = 0.0f, kIceChipY = 0.0f;
constexpr float kFrogChipX = 16.0f, kFrogChipY = 0.0f;
constexpr float kStartChipX = 0.0f, kStartChipY = 16.0f;
constexpr float kIcicleChipX = 16.0f, kIcicleChipY = 16.0f;

const char* const kPieceNames[EditorPieceCount] = {"こおり", "あな", "カエル", "あなの カエル", "つらら", "スタート"};
const char* const kMenuNames[SceneEditor::MenuItemCount] = {
    "つづける", "テストプレイ", "ほぞん", "もどす (U)", "やりなおす (R)", "おおきさ", "ひらく", "おわる"};

// What lives on between the editor's screens: a test play ends the screen, not the work.
struct EditorSession {
    bool active = false;
    StageEditor editor;
    EditorPiece piece = EditorPiece::FrogOnIce;
    std::string name; // Shift-JIS, without ".pzd": the name it was saved or opened under
};

EditorSession& Session()
{
    static EditorSession session;
    return session;
}


std::string FiguresNumber(const EditorFigures& figures, std::uint64_t value)
{
    switch (figures.state) {
    case EditorFigures::State::Rated:
        return std::to_string(value);
    case EditorFigures::State::Unsolvable:
        return "×";
    default:
        return "?";
    }
}

bool PlayerFileExists(const std::string& shiftJisName)
{
    const std::string folder = GetPlayerExtraStageFolder();
    std::error_code error;
    return !folder.empty() &&
        std::filesystem::exists(folder + "/" + Lumora::ShiftJisToUtf8(shiftJisName) + ".pzd", error);
}

} // namespace

SceneEditor::SceneEditor(Application* application) : Scene(application)
{
    figures_ = std::make_unique<LiveFigures>(Lumora::System::SetThreadBackground);
    if (ResourceManager* loader = GetResourceManager()) {
        loader->AddRequestFor(LoadOwner(),
            new LoadRequest(kPixelLoadOptions, "graphic/sprite/mapchip", "mapchips.png", &mapChipTexture_));
        loader->AddRequestFor(LoadOwner(),
            new LoadRequest(kPixelLoadOptions, "graphic/sprite", "puzzle_solver.png", &ringTexture_));
    }
    EditorSession& session = Session();
    if (session.active) {
        afterLoading_ = PageEdit; // back from a test play
    } else {
        session = EditorSession();
        afterLoading_ = PageOpen;
        ListStages();
    }
    if (currentStageKind == StageKind::Edited) {
        currentStageKind = StageKind::Normal;
    }
}

SceneEditor::~SceneEditor()
{
    figures_.reset(); // joins the search before anything it could touch goes
    if (Lumora::System::IsTextInputActive()) {
        Lumora::System::StopTextInput();
    }
    Lumora::SafeRelease(mapChipTexture_);
    Lumora::SafeRelease(ringTexture_);
}

StageEditor& SceneEditor::Editor() { return Session().editor; }

EditorPiece SceneEditor::GetPiece() const { return Session().piece; }

void SceneEditor::SetPiece(EditorPiece piece) { Session().piece = piece; }

EditorFigures SceneEditor::ShownFigures() const
{
    EditorFigures shown = figures_->Latest();
    if (shown.revision != Session().editor.Revision()) {
        shown = EditorFigures(); // the newest board has not been asked for yet
    }
    return shown;
}

void SceneEditor::BoardChanged()
{
    const StageEditor& editor = Session().editor;
    if (requestedRevision_ != editor.Revision()) {
        requestedRevision_ = editor.Revision();
        figures_->Request(editor.Stage(), editor.Revision());
    }
}

void SceneEditor::ListStages()
{
    listedStages_ = Lumora::FindFiles(kExtraStageFolder, kStageFilePattern);
    const std::string playerFolder = GetPlayerExtraStageFolder();
    if (!playerFolder.empty()) {
        for (const std::string& name : Lumora::FindFilesInFolder(playerFolder, kStageFilePattern)) {
            listedStages_.push_back(name);
        }
    }
    std::sort(listedStages_.begin(), listedStages_.end(), ExtraStageNameLess);
    listedStages_.erase(std::unique(listedStages_.begin(), listedStages_.end()), listedStages_.end());
}

void SceneEditor::OpenChoice(std::int32_t index)
{
    EditorSession& session = Session();
    message_.clear();
    if (index < 0) {
        session.editor.NewBoard(newWidth_, newHeight_);
        session.name.clear();
    } else if (static_cast<std::size_t>(index) < listedStages_.size()) {
        const std::string& file = listedStages_[static_cast<std::size_t>(index)];
        StageDataReader stage;
        std::string why;
        if (!stage.ReadFromPath(ExtraStageFilePath(file).c_str())) {
            message_ = "よめません (cannot read the file)";
            return;
        }
        if (!session.editor.Open(stage, why)) {
            message_ = "ひらけません (" + why + ")";
            return;
        }
        // A shipped stage is offered under its own name; saving puts the copy in the
        // player's folder, where it is the one played.
        session.name = file.size() > 4 ? file.substr(0, file.size() - 4) : file;
    } else {
        return;
    }
    session.active = true;
    page_ = PageEdit;
    BoardChanged();
}

void SceneEditor::StartNewBoard(std::uint32_t width, std::uint32_t height)
{
    newWidth_ = width;
    newHeight_ = height;
    OpenChoice(-1);
}

void SceneEditor::Leave(Scene* next)
{
    Kill();
    if (next != nullptr && GetParent() != nullptr) {
        GetParent()->AddChild(next);
    } else if (next != nullptr) {
        next->Release();
    }
}

void SceneEditor::LeaveForTitle()
{
    Session() = EditorSession();
    Leave(new SceneTitle(GetApplication()));
}

void SceneEditor::StartTestPlay()
{
    const StagePlayability playability = Session().editor.Playability();
    if (!playability.hasFrog || !playability.hasStart) {
        message_ = !playability.hasFrog ? "カエルが いないので あそべません (no frog)"
                                         : "スタートが ないので あそべません (no start)";
        page_ = PageEdit;
        return;
    }
    currentStageKind = StageKind::Edited;
    currentEditedStage = Session().editor.Stage();
    currentStageName.clear();
    Leave(CreatePuzzleScene(GetApplication()));
}

void SceneEditor::BeginSave()
{
    EditorSession& session = Session();
    typedName_ = Lumora::ShiftJisToUtf8(session.name);
    if (typedName_.empty()) {
        // With a pad alone nothing can be typed: the next free default name is offered.
        typedName_ = Lumora::ShiftJisToUtf8(NextFreeStageName([](const std::string& file) {
            return PlayerFileExists(file.substr(0, file.size() - 4));
        }));
    }
    message_.clear();
    page_ = PageName;
    Lumora::System::StartTextInput();
}

void SceneEditor::SaveUnder(const std::string& shiftJisName)
{
    EditorSession& session = Session();
    std::string problem;
    if (!SaveStageFile(GetPlayerExtraStageFolder(), shiftJisName, session.editor.Stage(), problem)) {
        message_ = problem; // the board stays as it is; nothing is lost
        page_ = PageEdit;
        return;
    }
    session.editor.MarkSaved();
    session.name = shiftJisName;
    message_ = "ほぞんしました: " + Lumora::ShiftJisToUtf8(shiftJisName);
    if (!session.editor.Playability().Playable()) {
        message_ += session.editor.Playability().hasFrog ? " (スタートが ありません)" : " (カエルが いません)";
    }
    page_ = PageEdit;
}

bool SceneEditor::Update()
{
    if (!alive_) {
        return Scene::Update();
    }
    switch (page_) {
    case PageLoading: {
        ResourceManager* loader = GetResourceManager();
        if (loader == nullptr || !loader->IsBusy()) {
            page_ = afterLoading_;
            if (page_ == PageEdit) {
                BoardChanged();
            }
        }
        break;
    }
    case PageOpen:
        UpdateOpen();
        break;
    case PageEdit:
        UpdateEdit();
        break;
    case PageMenu:
        UpdateMenu();
        break;
    case PageResize:
        UpdateResize();
        break;
    case PageName:
        UpdateName();
        break;
    case PageConfirmOverwrite:
    case PageConfirmLeave:
        UpdateConfirm();
        break;
    }
    return Scene::Update();
}

void SceneEditor::UpdateOpen()
{
    Lumora::IInputController* input = GetInputController();
    if (input == nullptr) {
        return;
    }
    // Line 0 is the new board (left/right: width, with V held: height); then the stages.
    const auto count = static_cast<std::int32_t>(listedStages_.size()) + 1;
    input->MoveCursor(0, cursor_, count);
    if (cursor_ == 0) {
        const bool height = input->GetState(Lumora::InputHeld, kPieceHold);
        std::int32_t side = static_cast<std::int32_t>(height ? newHeight_ : newWidth_) - StageEditor::MinSide;
        input->MoveCursorHorizontal(0, side, StageEditor::MaxSide - StageEditor::MinSide + 1);
        (height ? newHeight_ : newWidth_) = static_cast<std::uint32_t>(side + StageEditor::MinSide);
    }
    if (input->GetState(Lumora::InputPressed, kConfirm)) {
        if (commonSounds.decision != nullptr) {
            commonSounds.decision->Play(0, 0);
        }
        OpenChoice(cursor_ - 1);
        cursor_ = 0;
    } else if (input->GetState(Lumora::InputPressed, kCancel)) {
        if (Session().active) {
            page_ = PageEdit; // came from the menu's open: back to the board
        } else {
            LeaveForTitle();
        }
    }
}

void SceneEditor::UpdateEdit()
{
    Lumora::IInputController* input = GetInputController();
    if (input == nullptr) {
        return;
    }
    StageEditor& editor = Session().editor;
    if (input->GetState(Lumora::InputHeld, kPieceHold)) {
        auto piece = static_cast<std::int32_t>(Session().piece);
        input->MoveCursorHorizontal(0, piece, EditorPieceCount);
        Session().piece = static_cast<EditorPiece>(piece);
    } else {
        auto x = static_cast<std::int32_t>(editor.CursorX());
        auto y = static_cast<std::int32_t>(editor.CursorY());
        input->MoveCursorHorizontal(0, x, static_cast<std::int32_t>(editor.Width()));
        input->MoveCursor(0, y, static_cast<std::int32_t>(editor.Height()));
        editor.SetCursor(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
    }
    bool edited = false;
    if (input->GetState(Lumora::InputPressed, kConfirm)) {
        edited = editor.Place(Session().piece);
    } else if (input->GetState(Lumora::InputPressed, kCancel)) {
        edited = editor.Erase();
    } else if (input->GetState(Lumora::InputPressed, kUndo)) {
        edited = editor.Undo();
    } else if (input->GetState(Lumora::InputPressed, kRedo)) {
        edited = editor.Redo();
    } else if (input->GetState(Lumora::InputPressed, kMenu)) {
        page_ = PageMenu;
        cursor_ = 0;
        if (commonSounds.decision != nullptr) {
            commonSounds.decision->Play(0, 0);
        }
    }
    if (edited) {
        message_.clear();
    }
    BoardChanged();
}

void SceneEditor::ChooseMenu(std::int32_t item)
{
    StageEditor& editor = Session().editor;
    message_.clear();
    switch (item) {
    case MenuResume:
        page_ = PageEdit;
        break;
    case MenuTestPlay:
        StartTestPlay();
        break;
    case MenuSave:
        BeginSave();
        break;
    case MenuUndo:
        editor.Undo();
        break;
    case MenuRedo:
        editor.Redo();
        break;
    case MenuResize:
        newWidth_ = editor.Width();
        newHeight_ = editor.Height();
        page_ = PageResize;
        break;
    case MenuOpen:
    case MenuLeave:
        leaveAction_ = item == MenuLeave ? 0 : 1;
        if (editor.IsModified()) {
            confirmReturn_ = PageMenu;
            page_ = PageConfirmLeave;
            cursor_ = 0;
        } else if (leaveAction_ == 0) {
            LeaveForTitle();
        } else {
            ListStages();
            page_ = PageOpen;
            cursor_ = 0;
        }
        break;
    default:
        break;
    }
    BoardChanged();
}

void SceneEditor::UpdateMenu()
{
    Lumora::IInputController* input = GetInputController();
    if (input == nullptr) {
        return;
    }
    input->MoveCursor(0, cursor_, MenuItemCount);
    if (input->GetState(Lumora::InputPressed, kConfirm)) {
        if (commonSounds.decision != nullptr) {
            commonSounds.decision->Play(0, 0);
        }
        ChooseMenu(cursor_);
    } else if (input->GetState(Lumora::InputPressed, kCancel) || input->GetState(Lumora::InputPressed, kMenu)) {
        page_ = PageEdit;
    }
}

void SceneEditor::UpdateResize()
{
    Lumora::IInputController* input = GetInputController();
    if (input == nullptr) {
        return;
    }
    // Left/right the width, up/down the height (up makes it taller, as a list grows down).
    std::int32_t width = static_cast<std::int32_t>(newWidth_) - StageEditor::MinSide;
    std::int32_t height = StageEditor::MaxSide - static_cast<std::int32_t>(newHeight_);
    const std::int32_t range = StageEditor::MaxSide - StageEditor::MinSide + 1;
    input->MoveCursorHorizontal(0, width, range);
    input->MoveCursor(0, height, range);
    newWidth_ = static_cast<std::uint32_t>(width + StageEditor::MinSide);
    newHeight_ = static_cast<std::uint32_t>(StageEditor::MaxSide - height);
    if (input->GetState(Lumora::InputPressed, kConfirm)) {
        Session().editor.Resize(newWidth_, newHeight_);
        page_ = PageEdit;
        BoardChanged();
    } else if (input->GetState(Lumora::InputPressed, kCancel)) {
        page_ = PageMenu;
    }
}

void SceneEditor::UpdateName()
{
    const std::string typed = Lumora::System::TakeTypedText();
    bool accept = false;
    bool cancel = false;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const char c = typed[i];
        if (c == '\b') {
            // Drops the last UTF-8 character: its continuation bytes, then its lead byte.
            while (!typedName_.empty() && (static_cast<unsigned char>(typedName_.back()) & 0xC0) == 0x80) {
                typedName_.pop_back();
            }
            if (!typedName_.empty()) {
                typedName_.pop_back();
            }
        } else if (c == '\r') {
            accept = true;
            break;
        } else if (c == '\x1b') {
            cancel = true;
            break;
        } else {
            typedName_ += c; // control characters stay in and are refused by the check
        }
    }
    Lumora::IInputController* input = GetInputController();
    if (typed.empty() && input != nullptr) {
        // A pad has no keys to type with: its confirm takes the name shown, cancel goes back.
        accept = input->GetState(Lumora::InputPressed, kConfirm);
        cancel = !accept && input->GetState(Lumora::InputPressed, kCancel);
    }
    if (cancel) {
        Lumora::System::StopTextInput();
        message_.clear();
        page_ = PageEdit;
        return;
    }
    if (!accept) {
        return;
    }
    std::string name;
    if (!CheckStageName(typedName_, name, message_)) {
        return; // the message shows; the player keeps typing
    }
    Lumora::System::StopTextInput();
    if (PlayerFileExists(name)) {
        pendingName_ = name;
        confirmReturn_ = PageEdit;
        page_ = PageConfirmOverwrite;
        cursor_ = 0;
        return;
    }
    SaveUnder(name);
}

void SceneEditor::UpdateConfirm()
{
    Lumora::IInputController* input = GetInputController();
    if (input == nullptr) {
        return;
    }
    input->MoveCursor(0, cursor_, 2);
    const bool yes = input->GetState(Lumora::InputPressed, kConfirm) && cursor_ == 1;
    const bool no = (input->GetState(Lumora::InputPressed, kConfirm) && cursor_ == 0) ||
        input->GetState(Lumora::InputPressed, kCancel);
    if (no) {
        page_ = confirmReturn_;
        cursor_ = 0;
        return;
    }
    if (!yes) {
        return;
    }
    if (page_ == PageConfirmOverwrite) {
        SaveUnder(pendingName_);
    } else if (leaveAction_ == 0) {
        LeaveForTitle();
    } else {
        ListStages();
        page_ = PageOpen;
        cursor_ = 0;
    }
}

void SceneEditor::DrawFill(float x, float y, float width, float height, std::uint32_t argb)
{
    if (Lumora::IRender* render = GetRender()) {
        render->DrawTexture(Rect(x, y, width, height), argb, Rect(kBackgroundTexelX, 0.0f, 1.0f, 1.0f),
                            commonGraphics.softCircle, 0, Lumora::Math::Point2D{});
    }
}

void SceneEditor::DrawChip(float x, float y, float size, float sourceX, float sourceY, std::uint32_t argb)
{
    if (Lumora::IRender* render = GetRender(); render != nullptr && mapChipTexture_ != nullptr) {
        render->DrawTexture(Rect(x, y, size, size), argb, Rect(sourceX, sourceY, 16.0f, 16.0f), mapChipTexture_, 0,
                            Lumora::Math::Point2D{});
    }
}

void SceneEditor::DrawPieceChip(float x, float y, EditorPiece piece)
{
    constexpr float kSize = 24.0f;
    const StageCell cell = CellOfPiece(piece);
    if (cell.floor != 0) {
        DrawChip(x, y, kSize, kIceChipX, kIceChipY, kOpaque);
    } else {
        DrawFill(x, y, kSize, kSize, kHoleColour);
    }
    switch (static_cast<StageObject>(cell.object)) {
    case StageObject::FrozenFrog:
        DrawChip(x, y, kSize, kFrogChipX, kFrogChipY, cell.floor != 0 ? kOpaque : 0xB0FFFFFF);
        break;
    case StageObject::Icicle:
        DrawChip(x, y, kSize, kIcicleChipX, kIcicleChipY, kOpaque);
        break;
    case StageObject::PlayerStart:
        DrawChip(x, y, kSize, kStartChipX, kStartChipY, kOpaque);
        break;
    default:
        break;
    }
}

void SceneEditor::DrawBoard()
{
    const StageEditor& editor = Session().editor;
    const float cell = std::min(32.0f, std::floor(kBoardSpan / static_cast<float>(std::max(editor.Width(), editor.Height()))));
    const float left = kBoardLeft + (kBoardSpan - cell * static_cast<float>(editor.Width())) / 2.0f;
    const float top = kBoardTop + (kBoardSpan - cell * static_cast<float>(editor.Height())) / 2.0f;
    DrawFill(left - 2.0f, top - 2.0f, cell * static_cast<float>(editor.Width()) + 4.0f,
             cell * static_cast<float>(editor.Height()) + 4.0f, kHoleColour);
    for (std::uint32_t y = 0; y < editor.Height(); ++y) {
        for (std::uint32_t x = 0; x < editor.Width(); ++x) {
            const StageCell here = editor.CellAt(x, y);
            const float px = left + cell * static_cast<float>(x);
            const float py = top + cell * static_cast<float>(y);
            if (here.floor != 0) {
                DrawChip(px, py, cell, kIceChipX, kIceChipY, kOpaque);
            }
            switch (static_cast<StageObject>(here.object)) {
            case StageObject::FrozenFrog:
                // A frog over a hole is drawn paler: nothing but water under it.
                DrawChip(px, py, cell, kFrogChipX, kFrogChipY, here.floor != 0 ? kOpaque : 0xB0FFFFFF);
                break;
            case StageObject::Icicle:
                DrawChip(px, py, cell, kIcicleChipX, kIcicleChipY, kOpaque);
                break;
            case StageObject::PlayerStart:
                DrawChip(px, py, cell, kStartChipX, kStartChipY, kOpaque);
                break;
            default:
                break;
            }
        }
    }
    // The cursor: the stage map's ring (the hint's mark) on its cell, in a dark frame so that
    // it shows on ice and on water alike.
    const float cx = left + cell * static_cast<float>(editor.CursorX());
    const float cy = top + cell * static_cast<float>(editor.CursorY());
    DrawFill(cx - 2.0f, cy - 2.0f, cell + 4.0f, 2.0f, kCursorColour);
    DrawFill(cx - 2.0f, cy + cell, cell + 4.0f, 2.0f, kCursorColour);
    DrawFill(cx - 2.0f, cy - 2.0f, 2.0f, cell + 4.0f, kCursorColour);
    DrawFill(cx + cell, cy - 2.0f, 2.0f, cell + 4.0f, kCursorColour);
    if (Lumora::IRender* render = GetRender(); render != nullptr && ringTexture_ != nullptr) {
        render->DrawTexture(Rect(cx, cy, cell, cell), kOpaque, Rect(192.0f, 240.0f, 16.0f, 16.0f), ringTexture_, 0,
                            Lumora::Math::Point2D{});
    }
}

void SceneEditor::DrawPanel()
{
    Lumora::IFont* font = GetFont();
    if (font == nullptr || font->IsInvalid() != 0) {
        return;
    }
    const EditorSession& session = Session();
    const StageEditor& editor = session.editor;
    const EditorFigures figures = ShownFigures();
    const auto px = static_cast<std::int32_t>(kPanelLeft) + 12;
    std::int32_t y = 8;
    auto line = [&](const std::string& utf8, std::uint32_t colour = kInk) {
        font->DrawText(Lumora::Utf8ToShiftJis(utf8).c_str(), px, y, colour, kOutline);
        y += kLineHeight;
    };
    font->Begin(0);
    line("つくる " + std::to_string(editor.Width()) + "×" + std::to_string(editor.Height()) +
         (editor.IsModified() ? " *" : ""));
    // The palette's piece: its chip, then its name (V held with left/right changes it).
    DrawPieceChip(static_cast<float>(px), static_cast<float>(y), session.piece);
    font->DrawText(Lumora::Utf8ToShiftJis("V←→ " + std::string(kPieceNames[static_cast<int>(session.piece)])).c_str(),
                   px + 30, y, kInk, kOutline);
    y += kLineHeight;
    y += kLineHeight / 2;
    line("てすう " + FiguresNumber(figures, figures.fewestTurns));
    line("おす " + FiguresNumber(figures, figures.pushes));
    line("さいしょの わな " + FiguresNumber(figures, figures.deadFirstMoves));
    line("わなの ばしょ " + FiguresNumber(figures, figures.trappedPositions));
    line("こたえの かず " + FiguresNumber(figures, figures.shortestSolutions));
    static const char* const kTiers[] = {"-", "やさしい", "ふつう", "むずかしい"};
    const bool searching =
        figures.state == EditorFigures::State::Searching || figures.state == EditorFigures::State::TooBig;
    line("めやす " + std::string(searching ? "?" : kTiers[static_cast<int>(figures.tier)]));
    // The keys, under the board.
    font->DrawText(Lumora::Utf8ToShiftJis("Z おく  X けす  C メニュー").c_str(), 12, 428, kDimInk, kOutline);
    font->DrawText(Lumora::Utf8ToShiftJis("U もどす  R やりなおす").c_str(), 12, 452, kDimInk, kOutline);
    font->End();
    font->Render();
}

void SceneEditor::DrawOverlayLines(const std::vector<std::string>& lines, std::int32_t cursor)
{
    Lumora::IRender* render = GetRender();
    Lumora::IFont* font = GetFont();
    const float height = static_cast<float>(lines.size() * kLineHeight + 24);
    const float top = std::max(8.0f, (480.0f - height) / 2.0f);
    // A framed panel; the chosen line on a band of the background's colour, as on the title.
    DrawFill(62.0f, top - 2.0f, 516.0f, height + 4.0f, kCursorColour);
    DrawFlatFill(render, Rect(64.0f, top, 512.0f, height), kPanelTexelX);
    if (cursor >= 0) {
        DrawFill(72.0f, top + 10.0f + static_cast<float>(cursor * kLineHeight), 496.0f,
                 static_cast<float>(kLineHeight), kOpaque);
    }
    if (font == nullptr || font->IsInvalid() != 0) {
        return;
    }
    font->Begin(0);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool chosen = cursor < 0 || static_cast<std::size_t>(cursor) == i;
        font->DrawText(Lumora::Utf8ToShiftJis(lines[i]).c_str(), 88, static_cast<std::int32_t>(top) + 12 + static_cast<std::int32_t>(i) * kLineHeight,
                       chosen ? kInk : kDimInk, kOutline);
    }
    font->End();
    font->Render();
}

void SceneEditor::DrawOpen()
{
    // Seven lines of the list show, the chosen one among them.
    std::vector<std::string> lines{"あたらしく: " + std::to_string(newWidth_) + " × " + std::to_string(newHeight_) +
                                   "  (←→ / V+←→)"};
    constexpr std::int32_t kShown = 9;
    const std::int32_t first = std::max(0, cursor_ - kShown + 1);
    for (std::int32_t i = first; i < static_cast<std::int32_t>(listedStages_.size()) && i < first + kShown; ++i) {
        const std::string& name = listedStages_[static_cast<std::size_t>(i)];
        lines.push_back(Lumora::ShiftJisToUtf8(name.substr(0, name.size() - 4)));
    }
    const std::int32_t chosen = cursor_ == 0 ? 0 : cursor_ - first + 1;
    DrawOverlayLines(lines, chosen);
}

void SceneEditor::DrawMenu()
{
    std::vector<std::string> lines(kMenuNames, kMenuNames + MenuItemCount);
    DrawOverlayLines(lines, cursor_);
}

void SceneEditor::Draw()
{
    Lumora::IRender* render = GetRender();
    if (render == nullptr) {
        Scene::Draw();
        return;
    }
    render->SetBlendMode(Lumora::IRender::BlendNormal);
    DrawFlatFill(render, Rect(0.0f, 0.0f, 640.0f, 480.0f), kBackgroundTexelX);
    if (page_ == PageLoading) {
        Scene::Draw();
        return;
    }
    if (page_ == PageOpen) {
        DrawOpen();
        Scene::Draw();
        return;
    }
    DrawFlatFill(render, Rect(kPanelLeft, 0.0f, 640.0f - kPanelLeft, 480.0f), kPanelTexelX);
    DrawBoard();
    DrawPanel();
    // The one-line message (saved, refused, cannot be played) on a band over the keys'
    // lines at the bottom, until the next edit; the name page shows its own.
    if (Lumora::IFont* font = GetFont();
        font != nullptr && font->IsInvalid() == 0 && !message_.empty() && page_ != PageName) {
        DrawFlatFill(render, Rect(0.0f, 426.0f, 640.0f, 54.0f), kPanelTexelX);
        font->Begin(0);
        font->DrawText(Lumora::Utf8ToShiftJis(message_).c_str(), 12, 440, kInk, kOutline);
        font->End();
        font->Render();
    }
    switch (page_) {
    case PageMenu:
        DrawMenu();
        break;
    case PageResize:
        DrawOverlayLines({"おおきさ (3 〜 32)", "はば ←→ " + std::to_string(newWidth_), "たかさ ↑↓ " + std::to_string(newHeight_),
                          "Z: きめる  X: やめる"},
                         -1);
        break;
    case PageName:
        DrawOverlayLines({"なまえ:", typedName_ + "_", message_.empty() ? " " : message_,
                          "Enter: ほぞん  Esc: やめる"},
                         -1);
        break;
    case PageConfirmOverwrite:
    case PageConfirmLeave:
        DrawOverlayLines({page_ == PageConfirmOverwrite ? "おなじ なまえの ファイルに うわがき しますか"
                                                        : "ほぞんしていません。やめますか",
                          "いいえ", "はい"},
                         cursor_ + 1);
        break;
    default:
        break;
    }
    Scene::Draw();
}
