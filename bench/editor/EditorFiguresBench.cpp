// The editor's live figures as the builder meets them: each shipped stage (up to 32 x 32)
// is opened in the editor, then RUNS edits are made (an icicle placed on a free ice cell,
// then undone, in turn), and for each the time from the edit's request to the figures of
// that board being ready for the screen (LiveFigures::Latest answering for its revision) is
// taken; the median and the largest per stage are printed. Also a burst: ten edits posted
// 1 ms apart, timed from the last one, to show that the abandoned searches cost nothing.
//
//     build/bench/editor/editor_figures_bench [RUNS]
#include "LiveFigures.h"
#include "StageEditor.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double WaitFor(const LiveFigures& figures, std::uint64_t revision, Clock::time_point from)
{
    for (;;) {
        const EditorFigures latest = figures.Latest();
        if (latest.revision == revision && latest.state != EditorFigures::State::Searching) {
            return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

// A free ice cell to put the icicle on (none: the first cell).
void PickCell(StageEditor& editor)
{
    for (std::uint32_t y = 0; y < editor.Height(); ++y) {
        for (std::uint32_t x = 0; x < editor.Width(); ++x) {
            if (editor.CellAt(x, y) == StageCell{1, 0}) {
                editor.SetCursor(x, y);
                return;
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    std::vector<std::filesystem::path> files;
    for (const char* folder : {TOMARUGI_STAGE_DIR, TOMARUGI_EXTRA_STAGE_DIR}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() == ".pzd") {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    LiveFigures figures;
    std::printf("%-28s %7s %6s %10s %10s %12s\n", "stage", "size", "frogs", "median ms", "max ms", "burst ms");
    for (const auto& file : files) {
        StageDataReader stage;
        stage.ReadFromPath(file.c_str());
        StageEditor editor;
        std::string why;
        if (!editor.Open(stage, why)) {
            continue;
        }
        int frogs = 0;
        for (const StageCell& cell : editor.Stage().cells) {
            frogs += cell.object == 2 ? 1 : 0;
        }
        PickCell(editor);
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            if (run % 2 == 0) {
                editor.Place(EditorPiece::Icicle);
            } else {
                editor.Undo();
            }
            const Clock::time_point edited = Clock::now();
            figures.Request(editor.Stage(), editor.Revision());
            times.push_back(WaitFor(figures, editor.Revision(), edited));
        }
        Clock::time_point last;
        for (int edit = 0; edit < 10; ++edit) {
            edit % 2 == 0 ? editor.Place(EditorPiece::Icicle) : editor.Undo();
            last = Clock::now();
            figures.Request(editor.Stage(), editor.Revision());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const double burst = WaitFor(figures, editor.Revision(), last);
        std::sort(times.begin(), times.end());
        const std::string size = std::to_string(editor.Width()) + "x" + std::to_string(editor.Height());
        std::printf("%-28s %7s %6d %10.2f %10.2f %12.2f\n", file.stem().string().c_str(), size.c_str(), frogs,
                    times[times.size() / 2], times.back(), burst);
    }
    return 0;
}
