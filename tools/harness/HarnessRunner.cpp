#include "HarnessRunner.h"

#include "HarnessAllocations.h"
#include "HarnessEditor.h"
#include "HarnessMeasure.h"

#include "Application.h"
#include "CurrentStage.h"
#include "EndlessRecords.h"
#include "GameFolders.h"
#include "ResourceManager.h"
#include "SaveDataManager.h"
#include "SceneConfig.h"
#include "SceneEditor.h"
#include "ScenePuzzle.h"
#include "SceneRetryWait.h"
#include "SceneRoot.h"
#include "SceneEndless.h"
#include "SceneStageSelect.h"
#include "SceneStartup.h"
#include "SceneTitle.h"
#include "SoundLog.h"

#include <Lumora/Testing.h>
#include <Lumora/Text.h>

// By its folder: an engine-private header of the same name is on the include path too.
#include "../../scene/SceneFactory.h"
#include <algorithm>
#include <utility>
#include <vector>

#include <chrono>
#include <filesystem>
#include <cmath>
#include <cstdio>
#include <set>
#include <thread>
#include <tuple>

namespace {

// The longest real time `idle` waits for the loader.
constexpr auto kIdleTimeout = std::chrono::seconds(10);
// The longest real time `wait-solver` and `wait-editor` wait for the game's searches. Those run
// at background priority, so on a machine busy with other work (two sanitizer tests side by
// side) they get a small share of a core: a guard against a search that never ends, not a
// timing.
constexpr auto kBackgroundTimeout = std::chrono::seconds(40);
// The longest real time `wait-file` waits for another process's marker; that process may be
// starting the whole game on a busy machine.
constexpr auto kWaitFileTimeout = std::chrono::seconds(60);

class Runner {
public:
    Runner(Application& application, const HarnessRunOptions& options)
        : application_(application), options_(options)
    {
        // Ticks of the virtual performance counter per update.
        period_ = application_.GetCore()->GetPerformanceFrequency() / 60;
    }

    HarnessResult Run(const std::vector<HarnessCommand>& commands)
    {
        application_.BeginMainLoop();
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const HarnessCommand& command = commands[i];
            line_ = command.line;
            const bool ok = Execute(command);
            if (!ok) {
                return HarnessFailed;
            }
            if (quit_) {
                // The parser keeps expect-quit last, so an asked-for quit ends the script: at
                // the expect-quit, or at the command just before it (the press that chose
                // quit), which leaves it nothing to wait for. Any other quit leaves lines
                // unrun, and a script whose checks were skipped has not passed.
                const bool closing = i + 1 == commands.size() || i + 2 == commands.size();
                if (closing && commands.back().kind == HarnessCommand::Kind::ExpectQuit) {
                    return HarnessPassed;
                }
                Fail("the game quit here, which the script did not expect (expect-quit); "
                     "the lines after it were not run");
                return HarnessFailed;
            }
        }
        return HarnessPassed;
    }

private:
    // One pass of the game's loop; with `advance` the clock first moves one update period,
    // so the pass runs exactly one update. Returns false once the game has quit.
    bool Pass(bool advance)
    {
        if (application_.GetCore()->Run(0) == 0) {
            quit_ = true;
            return false;
        }
        if (advance) {
            Lumora::Testing::AdvanceClock(period_);
        }
        lastPassUpdates_ = application_.RunPass();
        const std::size_t known = history_.size();
        CollectSoundEvents(history_);
        if (trackDraws_) {
            for (const Lumora::Testing::RecordedDraw& draw : Lumora::Testing::GetLastFrame()) {
                if (draw.kind == Lumora::Testing::RecordedDraw::Kind::Texture ||
                    draw.kind == Lumora::Testing::RecordedDraw::Kind::Sprite) {
                    drawn_.insert({draw.texture, draw.source.x, draw.source.y});
                }
            }
        }
        sounds_.insert(sounds_.end(), history_.begin() + static_cast<std::ptrdiff_t>(known), history_.end());
        return true;
    }

    bool Update(std::uint32_t held)
    {
        Lumora::Testing::SetHeldButtons(held);
        const bool running = Pass(true);
        Lumora::Testing::SetHeldButtons(0);
        return running;
    }

    using Clock = std::chrono::steady_clock;

    static double Milliseconds(Clock::duration duration)
    {
        return std::chrono::duration<double, std::milli>(duration).count();
    }

    // Real time of each pass (one update and one draw) over `count` updates, reported as the
    // median and the 99th percentile (nearest rank) in milliseconds.
    bool MeasureFrames(const HarnessCommand& command)
    {
        std::vector<double> times;
        times.reserve(static_cast<std::size_t>(command.count));
        for (std::int64_t i = 0; i < command.count; ++i) {
            const Clock::time_point start = Clock::now();
            if (!Update(0)) {
                return Fail("the game quit while frames were measured");
            }
            times.push_back(Milliseconds(Clock::now() - start));
        }
        std::sort(times.begin(), times.end());
        const auto rank = [&](double fraction) {
            const auto index = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(times.size())));
            return times[std::clamp<std::size_t>(index, 1, times.size()) - 1];
        };
        std::printf("%s: %zu frames, median %.3f ms, p99 %.3f ms, max %.3f ms\n", command.name.c_str(),
                    times.size(), rank(0.5), rank(0.99), times.back());
        std::fflush(stdout);
        return true;
    }

    // Passes of the loop in real time (see RealTimePacer) until the last frame shows the
    // picture `textureFile`. `buttons` are held from the first pass until an update has run
    // with them. False after 10 s or when the game quits.
    bool RunUntilShown(RealTimePacer& pacer, const std::string& textureFile, std::uint32_t buttons,
                       std::int64_t& updates)
    {
        const Clock::time_point deadline = Clock::now() + kIdleTimeout;
        Lumora::Testing::SetHeldButtons(buttons);
        for (;;) {
            pacer.BeforePass();
            if (!Pass(false)) {
                Lumora::Testing::SetHeldButtons(0);
                return Fail("the game quit before " + textureFile + " showed");
            }
            updates += lastPassUpdates_;
            if (lastPassUpdates_ > 0) {
                Lumora::Testing::SetHeldButtons(0);
            }
            if (LastFrameShows(textureFile)) {
                pacer.AfterPass();
                return true;
            }
            if (Clock::now() > deadline) {
                Lumora::Testing::SetHeldButtons(0);
                return Fail(textureFile + " did not show within 10 s");
            }
            pacer.AfterPass();
        }
    }

    // Start-up as the player sees it, in ms since the process started: the first frame that
    // shows the first logo (uncovered by the loading overlay), then, with confirm pressed at
    // once to skip the logos, the first frame that shows the title menu.
    bool MeasureStartup(const HarnessCommand& command)
    {
        const double constructed = ProcessAgeMilliseconds();
        // Processor time of the start-up sequence on the main thread, which the first frame
        // waits for; on a busy machine it varies less than the wall clock.
        const double mainThreadCpu = ThreadCpuMilliseconds();
        const double processCpu = ProcessCpuMilliseconds();
        if (constructed < 0.0) {
            return Fail("cannot read the process's start time from /proc/self/stat");
        }
        RealTimePacer pacer;
        std::int64_t updates = 0;
        if (!RunUntilShown(pacer, "publisherlogo.png", 0, updates)) {
            return false;
        }
        const double logo = ProcessAgeMilliseconds();
        const std::int64_t logoUpdates = updates;
        if (!RunUntilShown(pacer, "title_menu_stick_tr.png", 1u << 16, updates)) {
            return false;
        }
        const double title = ProcessAgeMilliseconds();
        std::printf("%s: first logo %.0f ms, title menu %.0f ms after the process started "
                    "(start-up sequence done at %.0f ms, processor time %.0f ms on the main thread, "
                    "%.0f ms in all; %lld and %lld updates)\n",
                    command.name.c_str(), logo, title, constructed, mainThreadCpu, processCpu,
                    static_cast<long long>(logoUpdates), static_cast<long long>(updates));
        std::fflush(stdout);
        return true;
    }

    // Real time from the decide press on the title menu to the first frame of the stage
    // select that shows its list (its title picture is drawn only once the catalogue is
    // built and the screen takes input), the loop running in real time.
    bool MeasureSelect(const HarnessCommand& command)
    {
        if (CurrentSceneId() != SceneIdTitle) {
            return Fail("measure-select needs the title menu");
        }
        RealTimePacer pacer;
        std::int64_t updates = 0;
        const Clock::time_point start = Clock::now();
        if (!RunUntilShown(pacer, "stage_select_title.png", 1u << 16, updates)) {
            return false;
        }
        std::printf("%s: %.1f ms, %lld updates from the decide press to the stage list\n", command.name.c_str(),
                    Milliseconds(Clock::now() - start), static_cast<long long>(updates));
        std::fflush(stdout);
        return true;
    }

    // Heap allocations per frame, two ways over `count` frames each. First whole passes of
    // the game loop (update and draw, the engine's frame begin and end included; in the
    // headless engine the end of a frame also records every draw for the harness, which the
    // real program does not do). Then the game's own part: the same passes taken apart, with
    // only the scene tree's draw and update counted, as the puzzle screen's allocation test
    // counts them (the loading overlay, idle in steady play, is left out).
    bool MeasureAllocations(const HarnessCommand& command)
    {
        if (!AllocationCountingAvailable()) {
            return Fail("measure-allocations needs tomarugi-harness-counting, which counts allocations");
        }
        std::vector<AllocationCount> whole;
        std::vector<AllocationCount> game;
        whole.reserve(static_cast<std::size_t>(command.count));
        game.reserve(static_cast<std::size_t>(command.count));
        for (std::int64_t i = 0; i < command.count; ++i) {
            StartCountingAllocations();
            const bool running = Update(0);
            whole.push_back(StopCountingAllocations());
            if (!running) {
                return Fail("the game quit while allocations were counted");
            }
        }
        SceneRoot* root = application_.GetSceneRoot();
        Lumora::IRender* render = application_.GetRender();
        Lumora::IInputController* input = application_.GetInputController();
        for (std::int64_t i = 0; i < command.count && root != nullptr && render != nullptr; ++i) {
            if (application_.GetCore()->Run(0) == 0) {
                return Fail("the game quit while allocations were counted");
            }
            Lumora::Testing::AdvanceClock(period_);
            render->BeginFrame();
            StartCountingAllocations();
            root->Draw();
            AllocationCount pass = StopCountingAllocations();
            render->EndFrame();
            if (input != nullptr) {
                input->Refresh();
            }
            StartCountingAllocations();
            root->Update();
            const AllocationCount update = StopCountingAllocations();
            pass.calls += update.calls;
            pass.bytes += update.bytes;
            game.push_back(pass);
        }
        PrintAllocations(command.name + " (whole passes)", whole);
        PrintAllocations(command.name + " (scene update and draw)", game);
        return true;
    }

    static void PrintAllocations(const std::string& label, const std::vector<AllocationCount>& frames)
    {
        AllocationCount total;
        std::size_t most = 0;
        std::size_t framesAllocating = 0;
        for (const AllocationCount& frame : frames) {
            total.calls += frame.calls;
            total.bytes += frame.bytes;
            most = std::max(most, frame.calls);
            framesAllocating += frame.calls != 0 ? 1 : 0;
        }
        const double count = frames.empty() ? 1.0 : static_cast<double>(frames.size());
        std::printf("%s: %zu frames, %.2f allocations and %.0f bytes per frame, %zu frames allocated, "
                    "at most %zu in one\n",
                    label.c_str(), frames.size(), static_cast<double>(total.calls) / count,
                    static_cast<double>(total.bytes) / count, framesAllocating, most);
        std::fflush(stdout);
    }

    ScenePuzzle* CurrentPuzzle()
    {
        SceneRoot* root = application_.GetSceneRoot();
        return root != nullptr ? dynamic_cast<ScenePuzzle*>(root->GetFirstChild()) : nullptr;
    }

    // Real time from the decide press to the first update the puzzle screen runs in its
    // playing phase. Updates follow each other as fast as the loader lets them (1 ms apart,
    // as `idle` does), so the figure is the loading's wall time, not the virtual clock's.
    bool MeasureLoad(const HarnessCommand& command)
    {
        const Clock::time_point start = Clock::now();
        const Clock::time_point deadline = start + kIdleTimeout;
        if (!Update(1u << 16) || !Update(0)) {
            return Fail("the game quit after the decide press");
        }
        std::int64_t updates = 2;
        for (;;) {
            ScenePuzzle* puzzle = CurrentPuzzle();
            if (puzzle != nullptr && puzzle->GetPhase() == PuzzlePhasePlaying) {
                break;
            }
            if (Clock::now() > deadline) {
                return Fail("the puzzle was not playing 10 s after the decide press");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!Update(0)) {
                return Fail("the game quit while the stage loaded");
            }
            ++updates;
        }
        std::printf("%s: %.1f ms, %lld updates from the decide press to play\n", command.name.c_str(),
                    Milliseconds(Clock::now() - start), static_cast<long long>(updates));
        std::fflush(stdout);
        return true;
    }

    // Whether the current screen's background solver still has work for what it shows.
    bool SolverBusy()
    {
        SceneRoot* root = application_.GetSceneRoot();
        Scene* screen = root != nullptr ? root->GetFirstChild() : nullptr;
        if (auto* puzzle = dynamic_cast<ScenePuzzle*>(screen)) {
            return puzzle->IsSolverBusy();
        }
        if (auto* select = dynamic_cast<SceneStageSelect*>(screen)) {
            return select->IsSolverBusy();
        }
        return false;
    }

    // Until the puzzle of the board being made plays; boards are made in real time.
    bool WaitBoard()
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
        for (;;) {
            ScenePuzzle* puzzle = CurrentPuzzle();
            if (puzzle != nullptr && puzzle->GetPhase() == PuzzlePhasePlaying) {
                return true;
            }
            SceneRoot* root = application_.GetSceneRoot();
            auto* endless = root != nullptr ? dynamic_cast<SceneEndless*>(root->GetFirstChild()) : nullptr;
            if (endless != nullptr && endless->GetPhase() == EndlessChoosing) {
                return Fail("the endless screen stopped making without a board" +
                            (endless->GetMessage().empty() ? std::string() : ": " + endless->GetMessage()));
            }
            if (Clock::now() > deadline) {
                return Fail("no board was played 60 s after it was asked for");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!Update(0)) {
                return Fail("the game quit while the board was made");
            }
        }
    }

    bool WaitSolver()
    {
        const Clock::time_point deadline = Clock::now() + kBackgroundTimeout;
        while (SolverBusy()) {
            if (Clock::now() > deadline) {
                return Fail("the solver was still busy after 40 s");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!Update(0)) {
                return true;
            }
        }
        Update(0);
        return true;
    }

    Scene* CurrentScreen()
    {
        SceneRoot* root = application_.GetSceneRoot();
        return root != nullptr ? root->GetFirstChild() : nullptr;
    }

    bool Fail(const std::string& message)
    {
        std::fprintf(stderr, "tomarugi-harness: line %d: %s\n", line_, message.c_str());
        return false;
    }

    std::int32_t CurrentSceneId()
    {
        SceneRoot* root = application_.GetSceneRoot();
        Scene* screen = root != nullptr ? root->GetFirstChild() : nullptr;
        return screen != nullptr ? screen->GetSceneId() : -1;
    }

    bool Execute(const HarnessCommand& command)
    {
        using Kind = HarnessCommand::Kind;
        switch (command.kind) {
        case Kind::Wait:
            for (std::int64_t i = 0; i < command.count; ++i) {
                if (!Update(0)) {
                    return true;
                }
            }
            return true;
        case Kind::Frames:
            for (std::int64_t i = 0; i < command.count; ++i) {
                if (!Pass(false)) {
                    return true;
                }
            }
            return true;
        case Kind::Idle: {
            const auto deadline = std::chrono::steady_clock::now() + kIdleTimeout;
            while (application_.GetResourceManager()->IsBusy()) {
                if (std::chrono::steady_clock::now() > deadline) {
                    return Fail("the loader was still busy after 10 s");
                }
                if (!Update(0)) {
                    return true;
                }
                // Loads take real time; let the loader thread work between updates.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            Update(0);
            return true;
        }
        case Kind::Press:
            // Held for one update, then released for one, so that the next press of the
            // same button is seen going down again.
            if (Update(command.buttons)) {
                Update(0);
            }
            return true;
        case Kind::Hold:
            for (std::int64_t i = 0; i < command.count; ++i) {
                if (!Update(command.buttons)) {
                    return true;
                }
            }
            Update(0);
            return true;
        case Kind::MeasureFrames:
            return MeasureFrames(command);
        case Kind::MeasureLoad:
            return MeasureLoad(command);
        case Kind::MeasureStartup:
            return MeasureStartup(command);
        case Kind::MeasureSelect:
            return MeasureSelect(command);
        case Kind::MeasureAllocations:
            return MeasureAllocations(command);
        case Kind::MeasureMemory: {
            const ResidentMemory memory = ReadResidentMemory();
            if (memory.peakKilobytes == 0) {
                return Fail("cannot read the resident memory from /proc/self/status");
            }
            std::printf("%s: peak resident memory %.1f MiB, now %.1f MiB\n", command.name.c_str(),
                        static_cast<double>(memory.peakKilobytes) / 1024.0,
                        static_cast<double>(memory.currentKilobytes) / 1024.0);
            std::fflush(stdout);
            return true;
        }
        case Kind::Shot: {
            std::filesystem::path path(command.name);
            if (path.is_relative()) {
                path = options_.shotDirectory / path;
            }
            if (!options_.pixels) {
                return Fail("shot needs pixels; run the harness with --pixels");
            }
            if (!Lumora::Testing::SavePixelsPng(path.string().c_str())) {
                return Fail("could not write " + path.string());
            }
            return true;
        }
        case Kind::ExpectScene: {
            const std::int32_t id = CurrentSceneId();

            if (id != command.count) {
                return Fail("expected screen " + std::to_string(command.count) + ", found " +
                            (id < 0 ? std::string("none") : std::to_string(id)));
            }
            return true;
        }
        case Kind::ExpectQuit:
            for (std::int64_t i = 0; i < command.count; ++i) {
                if (!Update(0)) {
                    return true;
                }
            }
            // The game asks to end inside an update; the loop learns it at the next Run.
            if (application_.GetCore()->Run(0) == 0) {
                quit_ = true;
                return true;
            }
            return Fail("the game did not quit within " + std::to_string(command.count) + " updates");
        case Kind::ExpectSound:
            return ExpectSound(command);
        case Kind::ExpectPlaying: {
            for (auto event = history_.rbegin(); event != history_.rend(); ++event) {
                if (event->name != command.name || event->kind == HarnessSoundEvent::Kind::Volume) {
                    continue;
                }
                if (event->kind == HarnessSoundEvent::Kind::Play) {
                    return true;
                }
                return Fail(command.name + " was stopped after it last played");
            }
            return Fail(command.name + " never played");
        }
        case Kind::ClearSounds:
            sounds_.clear();
            return true;
        case Kind::ExpectSave:
            return ExpectSave(command);
        case Kind::ExpectStageKind:
            if (currentStageKind != command.count) {
                return Fail(std::string("the current stage kind is ") +
                            (currentStageKind == StageKind::Extra     ? "extra"
                             : currentStageKind == StageKind::Endless ? "endless"
                                                                      : "normal"));
            }
            return true;
        case Kind::EnterScene:
            return EnterScene(static_cast<std::int32_t>(command.count));
        case Kind::SetStage:
            currentStageKind = command.stageKind == 1 ? StageKind::Extra : StageKind::Normal;
            currentStageName = Lumora::Utf8ToShiftJis(command.stageName);
            return true;
        case Kind::ClearDraws:
            drawn_.clear();
            trackDraws_ = true;
            return true;
        case Kind::ExpectDrawn:
        case Kind::ExpectNotDrawn: {
            const bool seen = drawn_.count({command.name, command.sourceX, command.sourceY}) != 0;
            if (!trackDraws_) {
                return Fail("expect-drawn needs a clear-draws before it");
            }
            if (seen != (command.kind == Kind::ExpectDrawn)) {
                return Fail(command.name + " at source (" + std::to_string(command.sourceX) + ", " +
                            std::to_string(command.sourceY) + ") was " + (seen ? "" : "not ") +
                            "drawn since clear-draws");
            }
            return true;
        }
        case Kind::ExpectScreens: {
            SceneRoot* root = application_.GetSceneRoot();
            std::int64_t screens = 0;
            for (Scene* child = root != nullptr ? root->GetFirstChild() : nullptr; child != nullptr;
                 child = child->GetNextSibling()) {
                ++screens;
            }
            if (screens != command.count) {
                return Fail("expected " + std::to_string(command.count) + " screens, found " +
                            std::to_string(screens));
            }
            return true;
        }
        case Kind::ExpectText:
            return ExpectText(command);
        case Kind::ExpectStageName:
            if (currentStageName != Lumora::Utf8ToShiftJis(command.name)) {
                return Fail("the current stage name is '" + Lumora::ShiftJisToUtf8(currentStageName) + "'");
            }
            return true;
        case Kind::ExpectTextCount: {
            std::int64_t lines = 0;
            for (const Lumora::Testing::RecordedDraw& draw : Lumora::Testing::GetLastFrame()) {
                lines += draw.kind == Lumora::Testing::RecordedDraw::Kind::Text ? 1 : 0;
            }
            if (lines != command.count) {
                return Fail("expected " + std::to_string(command.count) + " text lines, found " +
                            std::to_string(lines));
            }
            return true;
        }
        case Kind::ExpectNumber:
            return ExpectNumber(command);
        case Kind::WaitSolver:
            return WaitSolver();
        case Kind::EndlessDate:
            SceneEndless::TodayOverride() = command.name;
            return true;
        case Kind::EndlessChoose:
        case Kind::EndlessId: {
            SceneRoot* root = application_.GetSceneRoot();
            auto* endless = root != nullptr ? dynamic_cast<SceneEndless*>(root->GetFirstChild()) : nullptr;
            if (endless == nullptr || (endless->GetPhase() != EndlessChoosing && endless->GetPhase() != EndlessDialling)) {
                return Fail(std::string(command.kind == Kind::EndlessId ? "endless-id" : "endless-choose") +
                            " needs the endless screen's list");
            }
            if (command.kind == Kind::EndlessId) {
                endless->EnterId(command.name);
            } else {
                endless->ChooseRow(command.name == "today"  ? EndlessRowToday
                                   : command.name == "easy" ? EndlessRowEasy
                                   : command.name == "normal" ? EndlessRowNormal
                                                              : EndlessRowHard);
            }
            return true;
        }
        case Kind::WaitBoard:
            return WaitBoard();
        case Kind::ExpectBoardId:
            if (currentStageKind != StageKind::Endless || currentStageName != command.name) {
                return Fail("the current stage is '" + Lumora::ShiftJisToUtf8(currentStageName) + "' of kind " +
                            std::to_string(static_cast<int>(currentStageKind)) + ", not endless board " +
                            command.name);
            }
            return true;
        case Kind::ExpectKept: {
            const std::string player = GetPlayerExtraStageFolder();
            const std::filesystem::path folder = player.empty() ? std::filesystem::path("data/stage/extra")
                                                                : std::filesystem::path(player);
            std::error_code error;
            if (!std::filesystem::is_regular_file(folder / (command.name + ".pzd"), error)) {
                return Fail((folder / (command.name + ".pzd")).string() + " is not there");
            }
            return true;
        }
        case Kind::ExpectHint: {
            ScenePuzzle* puzzle = CurrentPuzzle();
            if (puzzle == nullptr) {
                return Fail("expect-hint needs the puzzle screen");
            }
            const std::optional<SolverMove> hint = puzzle->GetShownHint();
            const std::string shown = hint ? FormatMoves({*hint}) : std::string("none");
            if (shown != command.name) {
                return Fail("expected the hint " + command.name + ", found " + shown);
            }
            return true;
        }
        case Kind::Editor:
        case Kind::ExpectEditor: {
            auto* editor = dynamic_cast<SceneEditor*>(CurrentScreen());
            if (editor == nullptr) {
                return Fail("editor commands need the stage editor screen");
            }
            std::string error;
            if (command.kind == Kind::Editor) {
                if (!RunEditorAction(*editor, command, error)) {
                    return Fail(error);
                }
                Update(0);
                return true;
            }
            return CheckEditor(*editor, command, options_.shotDirectory, error) || Fail(error);
        }
        case Kind::WaitEditor: {
            const Clock::time_point deadline = Clock::now() + kBackgroundTimeout;
            for (;;) {
                auto* editor = dynamic_cast<SceneEditor*>(CurrentScreen());
                if (editor == nullptr) {
                    return Fail("wait-editor needs the stage editor screen");
                }
                if (editor->ShownFigures().state != EditorFigures::State::Searching) {
                    Update(0); // one more pass, so that the last drawn frame shows them
                    return true;
                }
                if (Clock::now() > deadline) {
                    return Fail("the editor's figures were still searching after 40 s");
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (!Update(0)) {
                    return true;
                }
            }
        }
        case Kind::Type:
            Lumora::Testing::TypeText(TypedKeys(command.name));
            Update(0);
            return true;
        case Kind::PlayHint: {
            ScenePuzzle* puzzle = CurrentPuzzle();
            const std::optional<SolverMove> hint = puzzle != nullptr ? puzzle->GetShownHint() : std::nullopt;
            if (!hint) {
                return Fail("play-hint needs a hint on the puzzle screen");
            }
            const int direction = hint->direction == Up     ? ButtonUp
                                  : hint->direction == Down ? ButtonDown
                                  : hint->direction == Left ? ButtonLeft
                                                            : ButtonRight;
            // Pressed and released like `press`, so the next press goes down again.
            if (Update(1u << direction)) {
                Update(0);
            }
            if (hint->action != SolverAction::Slide) {
                if (Update(1u << (hint->action == SolverAction::Push ? ButtonPush : ButtonDefrost))) {
                    Update(0);
                }
            }
            return true;
        }
        case Kind::ExpectReplay: {
            ScenePuzzle* puzzle = CurrentPuzzle();
            if (puzzle == nullptr) {
                return Fail("expect-replay needs the puzzle screen");
            }
            const ReplayOwner owner = puzzle->GetReplayOwner();
            const std::string shown = puzzle->IsReplayNoticeShown()    ? "notice"
                                      : puzzle->IsWaitingForSolution() ? "waiting"
                                      : owner == ReplayOwner::Player   ? "player"
                                      : owner == ReplayOwner::Solver   ? "solver"
                                                                       : "none";
            if (shown != command.word) {
                return Fail("expected the replay " + command.word + ", found " + shown);
            }
            if (command.count >= 0 && puzzle->GetReplayMoveCount() != static_cast<std::size_t>(command.count)) {
                return Fail("expected a replay of " + std::to_string(command.count) + " moves, found " +
                            std::to_string(puzzle->GetReplayMoveCount()));
            }
            return true;
        }
        case Kind::WaitTurns: {
            for (int update = 0; update < 20000; ++update) {
                ScenePuzzle* puzzle = CurrentPuzzle();
                if (puzzle == nullptr) {
                    return Fail("wait-turns: the puzzle screen went away at " + std::to_string(update) + " updates");
                }
                const PuzzlerState state = puzzle->GetBoard().player->state;
                const bool atRest = state == PuzzlerState::Idle || state == PuzzlerState::Cleared;
                if (puzzle->GetTurns() == static_cast<std::uint64_t>(command.count) && atRest) {
                    return true;
                }
                if (puzzle->GetTurns() > static_cast<std::uint64_t>(command.count)) {
                    return Fail("wait-turns: the turn counter passed " + std::to_string(command.count) + " (" +
                                std::to_string(puzzle->GetTurns()) + ")");
                }
                if (!Update(0)) {
                    return Fail("wait-turns: the game quit");
                }
            }
            return Fail("wait-turns: the turn counter did not reach " + std::to_string(command.count));
        }
        case Kind::ExpectDeadEnd: {
            ScenePuzzle* puzzle = CurrentPuzzle();
            if (puzzle == nullptr) {
                return Fail("expect-dead-end needs the puzzle screen");
            }
            if (puzzle->IsDeadEndShown() != (command.count != 0)) {
                return Fail(std::string("the dead-end box is ") + (puzzle->IsDeadEndShown() ? "" : "not ") + "shown");
            }
            return true;
        }
        case Kind::MakeFile: {
            const std::filesystem::path path = options_.shotDirectory / command.name;
            std::FILE* file = std::fopen(path.c_str(), "wb");
            if (file == nullptr || std::fclose(file) != 0) {
                return Fail("could not make " + path.string());
            }
            return true;
        }
        case Kind::WaitFile: {
            // Real time: the other process runs at its own pace. The game here stands still,
            // so nothing it shows moves on while it waits.
            const std::filesystem::path path = options_.shotDirectory / command.name;
            const Clock::time_point deadline = Clock::now() + kWaitFileTimeout;
            std::error_code error;
            while (!std::filesystem::exists(path, error)) {
                if (Clock::now() > deadline) {
                    return Fail(path.string() + " did not appear within 60 s");
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            return true;
        }
        case Kind::ExpectTextColour:
            for (const Lumora::Testing::RecordedDraw& draw : Lumora::Testing::GetLastFrame()) {
                if (draw.kind == Lumora::Testing::RecordedDraw::Kind::Text &&
                    draw.destination.y == static_cast<float>(command.count)) {
                    if (draw.argb == command.buttons) {
                        return true;
                    }
                    char found[16];
                    std::snprintf(found, sizeof found, "%08X", static_cast<unsigned>(draw.argb));
                    return Fail("the text at y " + std::to_string(command.count) + " has colour " + found);
                }
            }
            return Fail("no text at y " + std::to_string(command.count));
        }
        return Fail("unhandled command");
    }

    bool ExpectText(const HarnessCommand& command)
    {
        const std::string wanted = Lumora::Utf8ToShiftJis(command.name);
        std::string seen;
        for (const Lumora::Testing::RecordedDraw& draw : Lumora::Testing::GetLastFrame()) {
            if (draw.kind != Lumora::Testing::RecordedDraw::Kind::Text ||
                (command.hasValue && draw.destination.y != static_cast<float>(command.count))) {
                continue;
            }
            if (draw.text == wanted) {
                return true;
            }
            seen += " '" + Lumora::ShiftJisToUtf8(draw.text) + "'";
        }
        return Fail("no text '" + command.name + "' at " +
                    (command.hasValue ? "y " + std::to_string(command.count) : std::string("any line")) +
                    (seen.empty() ? std::string(", no text there") : ", found" + seen));
    }

    bool ExpectNumber(const HarnessCommand& command)
    {
        // Digits are 20 texels apart in "numbers_32_azuki.png"; read them left to right.
        std::vector<std::pair<float, int>> digits;
        for (const Lumora::Testing::RecordedDraw& draw : Lumora::Testing::GetLastFrame()) {
            if (draw.kind == Lumora::Testing::RecordedDraw::Kind::Texture &&
                draw.texture.find("numbers_32_azuki.png") != std::string::npos &&
                draw.destination.y == static_cast<float>(command.count)) {
                digits.emplace_back(draw.destination.x, static_cast<int>(draw.source.x / 20.0f));
            }
        }
        std::sort(digits.begin(), digits.end());
        std::string shown;
        for (const auto& digit : digits) {
            shown += static_cast<char>('0' + digit.second);
        }
        const std::string wanted = std::to_string(static_cast<std::int64_t>(command.value));
        if (shown != wanted) {
            return Fail("expected the number " + wanted + " at y " + std::to_string(command.count) +
                        ", found " + (shown.empty() ? std::string("none") : shown));
        }
        return true;
    }

    bool ExpectSound(const HarnessCommand& command)
    {
        const HarnessSoundEvent::Kind kind = command.word == "play"   ? HarnessSoundEvent::Kind::Play
                                             : command.word == "stop" ? HarnessSoundEvent::Kind::Stop
                                                                      : HarnessSoundEvent::Kind::Volume;
        std::string seen;
        for (const HarnessSoundEvent& event : sounds_) {
            if (event.kind != kind || event.name != command.name) {
                continue;
            }
            if (!command.hasValue) {
                return true;
            }
            const double value = kind == HarnessSoundEvent::Kind::Volume ? event.volume : event.loop;
            if (std::fabs(value - command.value) <= 0.01) {
                return true;
            }
            seen += " " + std::to_string(value);
        }
        return Fail("no " + command.word + " event for " + command.name +
                    (command.hasValue ? " with " + std::to_string(command.value) : std::string()) +
                    (seen.empty() ? std::string() : " (seen:" + seen + ")"));
    }

    bool ExpectSave(const HarnessCommand& command)
    {
        SaveDataManager save;
        std::int32_t stored = 0;
        if (command.word == "endless-record") {
            stored = GetEndlessBestRecord(command.stageName);
        } else if (command.word == "record") {
            stored = save->GetBestRecord(command.stageKind, Lumora::Utf8ToShiftJis(command.stageName));
        } else if (command.word == "volume-bgm") {
            stored = save->GetVolumeBgm();
        } else if (command.word == "volume-se") {
            stored = save->GetVolumeSe();
        } else if (command.word == "stage-view") {
            stored = save->GetDaemonStageView() ? 1 : 0;
        } else if (command.word == "camera-mode") {
            stored = save->GetCameraMode();
        } else if (command.word == "camera-distance") {
            stored = save->GetCameraZDist();
        } else {
            stored = save->GetCameraHeight();
        }
        if (stored != command.value) {
            return Fail(command.word + " is " + std::to_string(stored) + " in tomarugi.save");
        }
        return true;
    }

    bool EnterScene(std::int32_t id)
    {
        SceneRoot* root = application_.GetSceneRoot();
        for (Scene* screen = root->GetFirstChild(); screen != nullptr; screen = screen->GetNextSibling()) {
            screen->Kill();
        }
        Scene* next = nullptr;
        switch (id) {
        case SceneIdStartup:
            next = new SceneStartup(&application_);
            break;
        case SceneIdTitle:
            next = new SceneTitle(&application_);
            break;
        case SceneIdConfig:
            next = new SceneConfig(&application_);
            break;
        case SceneIdEditor:
            next = CreateEditorScene(&application_);
            break;
        case SceneIdPuzzle:
            next = CreatePuzzleScene(&application_);
            break;
        case SceneIdEndless:
            next = CreateEndlessScene(&application_);
            break;
        default:
            next = new SceneRetryWait(&application_);
            break;
        }
        root->AddChild(next);
        return true;
    }

    Application& application_;
    HarnessRunOptions options_;
    std::uint64_t period_ = 0;
    std::int32_t lastPassUpdates_ = 0; // updates the last pass ran
    std::int32_t line_ = 0;
    bool quit_ = false;
    std::vector<HarnessSoundEvent> sounds_;  // since the last clear-sounds
    std::vector<HarnessSoundEvent> history_; // since the start
    // Pictures drawn since clear-draws: texture name and source corner.
    bool trackDraws_ = false;
    std::set<std::tuple<std::string, float, float>> drawn_;
};

} // namespace

HarnessResult RunHarnessScript(const std::vector<HarnessCommand>& commands,
                               const HarnessRunOptions& options)
{
    Lumora::Testing::HeadlessOptions headless;
    headless.pixels = options.pixels;
    Lumora::Testing::EnableHeadless(headless);
    HarnessResult result = HarnessPassed;
    {
        Application application;
        if (const char* failure = application.GetStartupFailure()) {
            std::fprintf(stderr, "tomarugi-harness: the game did not start: %s\n", failure);
            result = HarnessFailed;
        } else {
            Runner runner(application, options);
            result = runner.Run(commands);
        }
    }
    Lumora::Testing::DisableHeadless();
    return result;
}
