// stageselect/SceneEndless.h: the endless stages screen, between the title and a puzzle.
//
// A list on the left: today's board, a new easy, normal or hard board, entering an ID, then
// the boards played most recently (up to 20, newest first, from the save file). The panel
// on the right shows what the row under the cursor leads to: a recent board's ID, fewest
// turns, best record and star; the ID being dialled; the progress of a board being made.
// Up and down move the cursor; decide acts on the row; cancel goes back to the title.
//
// Entering an ID: a dial of nine characters ("2A-048213"): left and right pick a character,
// up and down turn it, decide plays the ID, cancel leaves the dial. A keyboard may also type
// the ID as it was shared (SDL text input runs while the dial is open): each character that
// fits the character under the caret (case does not matter) is put there and the caret
// moves on, "-" jumps past the dash, Backspace steps back, Enter plays and Escape leaves.
// Typed characters that fit nowhere leave the keys their meaning (Z plays, X goes back). A
// mistyped ID leaves one line on the panel and nothing else happens.
//
// Making a board runs on the screen's background worker (puzzle/BackgroundWorker.h) at
// background priority, its helpers too; the screen keeps drawing and shows the candidates
// judged. Cancel stops it at once and returns to the list; leaving the screen cancels and
// joins. A board made becomes the current stage (kind Endless, name = its ID) and its
// puzzle starts. Main thread only, apart from the worker's job.
#pragma once

#include "BackGroundTileRender.h"
#include "BackgroundWorker.h"
#include "EffectWipe.h"
#include "EndlessBoard.h"
#include "EndlessRecords.h"
#include "NumberRenderer.h"
#include "Scene.h"

#include <Lumora/ITexture.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

enum EndlessPhase : std::int32_t {
    EndlessLoading = 0,  // waiting for the loader
    EndlessChoosing = 1, // the list takes input
    EndlessDialling = 2, // the ID dial takes input
    EndlessMaking = 3,   // a board is being made; cancel goes back
    EndlessExiting = 4,  // killed itself; the successor is in place
};

// Rows of the list before the recent boards.
enum EndlessRow : std::int32_t {
    EndlessRowToday = 0,
    EndlessRowEasy = 1,
    EndlessRowNormal = 2,
    EndlessRowHard = 3,
    EndlessRowEnterId = 4,
    EndlessFixedRows = 5,
};

class SceneEndless : public Scene {
public:
    explicit SceneEndless(Application* application);
    ~SceneEndless() override;

    bool Update() override;
    void Draw() override;
    std::int32_t GetSceneId() override { return SceneIdEndless; }

    std::int32_t GetPhase() const { return phase; }
    std::int32_t GetCursor() const { return cursor; }
    // The one-line message on the panel ("" when none), as UTF-8.
    const std::string& GetMessage() const { return message; }
    // The ID being made or dialled, "" otherwise.
    std::string GetPendingId() const;
    // Test and harness hook: plays `text` as if dialled and decided (a bad ID shows its
    // message, as a dialled one would). Only in the choosing or dialling phase.
    void EnterId(const std::string& text);
    // Test and harness hook: decides `row` (EndlessRow) as the decide button would, in the
    // choosing phase only.
    void ChooseRow(std::int32_t row);
    // The day the screen takes as today; the harness sets a fixed one. "YYYY-MM-DD".
    static std::string& TodayOverride();

private:
    void UpdateChoosing();
    void UpdateDialling();
    // Text input runs exactly while the dial is open.
    void SyncTextInput();
    // Puts `typed` into the dial; true when any of it was ID input (or Enter, Escape),
    // `decide` / `cancel` set by Enter / Escape.
    bool TypeIntoDial(const std::string& typed, bool& decide, bool& cancel);
    void UpdateMaking();
    void StartMaking(const EndlessId& id);
    void DecideRow(std::int32_t row);
    void Leave(Scene* successor);
    void DrawList(Lumora::IRender* render, Lumora::IFont* font);
    void DrawPanel(Lumora::IRender* render, Lumora::IFont* font);

    std::int32_t phase = EndlessLoading;
    std::int32_t cursor = 0;
    std::vector<EndlessRecordRow> recent; // newest first
    EndlessId today;
    std::string todayText; // "YYYY-MM-DD"
    std::string message;   // UTF-8; "" when none

    // The dial: nine characters, the caret on one of the editable ones (0, 1, 3..8).
    std::string dial = "2A-000000";
    bool typing = false; // text input started by this screen
    std::int32_t caret = 0;

    // The board being made. The worker's job writes `made` under `madeMutex`.
    struct Made {
        std::uint64_t job = 0;
        EndlessOutcome outcome = EndlessOutcome::Cancelled;
        EndlessBoard board;
    };
    std::optional<EndlessId> making;
    std::uint64_t makingJob = 0; // the newest making's number; older results are ignored
    std::atomic<std::uint64_t> judged{0};
    std::mutex madeMutex;
    std::optional<Made> made; // guarded by madeMutex
    std::uint32_t makingFrames = 0; // updates since making started, for the spinner

    Lumora::ITexture* marks = nullptr; // "stageselect_marks.png": star, cross, question
    std::shared_ptr<NumberRenderer> numberRenderer;
    std::shared_ptr<EffectWipe> wipe;
    std::shared_ptr<BackGroundTileRender> background;
    // Last member: destroyed first, so its job is cancelled and joined while the slots it
    // writes still exist.
    std::unique_ptr<BackgroundWorker> worker;
};
