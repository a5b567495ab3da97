// Fuzzes everything that reads outside stage bytes: both readers (an engine file in memory
// and a real file by path) must agree; the text format must parse or refuse cleanly; the
// board, a few rule steps and a bounded solve must cope with whatever the stage holds.
#include "PuzzleBoard.h"
#include "PuzzleRules.h"
#include "PuzzleSolver.h"
#include "StageDataReader.h"
#include "StageText.h"

#include "MemoryFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string ScratchPath()
{
    return "/tmp/tomarugi-stage-fuzz-" + std::to_string(getpid()) + ".pzd";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MemoryFile file(std::vector<std::uint8_t>(data, data + size), size % 7 == 0 ? 3 : 0);
    StageDataReaderLumora fromStream(&file);

    static const std::string path = ScratchPath();
    if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
        StageDataReader fromPath;
        if (!fromPath.ReadFromPath(path.c_str()) || fromPath.reserved != fromStream.reserved ||
            fromPath.width != fromStream.width || fromPath.height != fromStream.height ||
            fromPath.cells != fromStream.cells) {
            std::abort();
        }
    }
    if (fromStream.cells.size() != std::size_t{fromStream.width} * fromStream.height) {
        std::abort();
    }

    // The same bytes as a text source.
    StageDataReader parsed;
    std::string title;
    StageTextError error;
    if (ParseStageText(std::string(reinterpret_cast<const char*>(data), size), parsed, title, error)) {
        bool representable = false;
        const std::string again = FormatStageText(parsed, title, representable);
        StageDataReader reparsed;
        if (!representable || !ParseStageText(again, reparsed, title, error) ||
            reparsed.GetCells() != parsed.GetCells()) {
            std::abort();
        }
    }

    // Play a little on whatever stage the bytes made; small stages only, so that the
    // fuzzer spends its time on many inputs rather than on a few large boards.
    if (std::size_t{fromStream.width} * fromStream.height > 1024) {
        return 0;
    }
    PuzzleRules rules;
    rules.board.BuildBoard(fromStream);
    for (int update = 0; update < 64; ++update) {
        const int button = data[update % (size == 0 ? 1 : size)] % 24;
        rules.AdvanceFrogs(5.0f);
        rules.Step(PuzzleButtons::Press({button < 4 ? button : 16 + button % 4}));
    }
    SolveOptions options;
    options.maxStates = 500;
    SolvePuzzle(rules.board, options);
    return 0;
}
