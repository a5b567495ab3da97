// editor/SceneEditor.h: the stage editor screen (the title's つくる entry).
//
// Pages: Open (a new board of a chosen size, or any listed extra stage), Edit (the board seen
// from above in the stage map's chips, a cursor, the palette and the live figures), the
// editor menu, Resize, Name (typing the name to save under) and yes/no questions (save
// over a file, leave with unsaved changes).
//
// The board, its cursor and its undo history live in a program-wide session, not in the
// scene: a test play hands the board to the puzzle screen (current stage kind Edited) and
// ends this scene; the puzzle screen's way out makes a new SceneEditor, which finds the
// session as it was. Leaving for the title ends the session.
//
// Buttons: arrows move; confirm (Z / pad A) places the palette's piece; cancel (X / B) makes
// the cell ice, then a hole; V / Y held with left or right changes the piece; C / pad X opens
// the menu; U / left shoulder undoes, R / right shoulder redoes. Main thread only; the
// figures are found on a BackgroundWorker (LiveFigures) and never waited for.
#pragma once

#include "LiveFigures.h"
#include "Scene.h"
#include "StageEditor.h"

#include <Lumora/ITexture.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SceneEditor : public Scene {
public:
    enum Page : std::int32_t {
        PageLoading = 0,
        PageOpen = 1,
        PageEdit = 2,
        PageMenu = 3,
        PageResize = 4,
        PageName = 5,
        PageConfirmOverwrite = 6,
        PageConfirmLeave = 7,
    };
    // Items of the editor menu, by cursor value.
    enum MenuItem : std::int32_t {
        MenuResume = 0,
        MenuTestPlay = 1,
        MenuSave = 2,
        MenuUndo = 3,
        MenuRedo = 4,
        MenuResize = 5,
        MenuOpen = 6,
        MenuLeave = 7,
        MenuItemCount = 8,
    };

    explicit SceneEditor(Application* application);
    ~SceneEditor() override;

    bool Update() override;
    void Draw() override;
    std::int32_t GetSceneId() override { return SceneIdEditor; }

    // For the harness and the tests: what the player sees and the moves a player makes.
    Page GetPage() const { return page_; }
    StageEditor& Editor();
    EditorPiece GetPiece() const;
    void SetPiece(EditorPiece piece);
    // The figures as shown (Searching until the newest board is rated).
    EditorFigures ShownFigures() const;
    // The one-line message under the board or the name field ("" when none), UTF-8.
    const std::string& GetMessage() const { return message_; }
    // The name being typed, UTF-8.
    const std::string& GetTypedName() const { return typedName_; }
    // Starts a test play of the board (as the menu's entry does).
    void StartTestPlay();
    // Opens the name page (as the menu's save entry does).
    void BeginSave();
    // Opens the listed extra stage `index` of the open page, or a new board when -1.
    void OpenChoice(std::int32_t index);
    // A new `width` x `height` board (as the open page's first line).
    void StartNewBoard(std::uint32_t width, std::uint32_t height);
    // The Shift-JIS names of the extra stages listed on the open page.
    const std::vector<std::string>& ListedStages() const { return listedStages_; }
    // Call after changing the board through Editor(): asks for its figures.
    void BoardChanged();

private:
    void UpdateOpen();
    void UpdateEdit();
    void UpdateMenu();
    void UpdateResize();
    void UpdateName();
    void UpdateConfirm();
    void ChooseMenu(std::int32_t item);
    void SaveUnder(const std::string& shiftJisName);
    void ListStages();
    void LeaveForTitle();
    void Leave(Scene* next);

    void DrawBoard();
    void DrawPanel();
    void DrawOpen();
    void DrawMenu();
    void DrawOverlayLines(const std::vector<std::string>& lines, std::int32_t cursor);
    void DrawPieceChip(float x, float y, EditorPiece piece);
    void DrawChip(float x, float y, float size, float sourceX, float sourceY, std::uint32_t argb);
    void DrawFill(float x, float y, float width, float height, std::uint32_t argb);

    Page page_ = PageLoading;
    Page afterLoading_ = PageOpen;
    Page confirmReturn_ = PageEdit; // where "no" on a question goes back to
    std::int32_t leaveAction_ = 0;  // on "yes" to leaving: 0 title, 1 open page
    std::int32_t cursor_ = 0;       // menu, open list, question
    std::uint32_t newWidth_ = 8;
    std::uint32_t newHeight_ = 8;
    std::string message_;
    std::string typedName_;
    std::string pendingName_; // Shift-JIS, awaiting the overwrite answer
    std::vector<std::string> listedStages_;
    std::uint64_t requestedRevision_ = 0;
    Lumora::ITexture* mapChipTexture_ = nullptr; // the stage map's chips
    Lumora::ITexture* ringTexture_ = nullptr;    // "puzzle_solver.png": the map's ring
    std::unique_ptr<LiveFigures> figures_;
};
