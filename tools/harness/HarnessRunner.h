// tools/harness/HarnessRunner.h: runs a parsed script against the real game program in the
// engine's headless mode, in the current directory (where "tomarugi.save" lives).
#pragma once

#include "HarnessScript.h"

#include <filesystem>
#include <vector>

struct HarnessRunOptions {
    bool pixels = false;               // render frames for real so `shot` has pixels
    std::filesystem::path shotDirectory; // where relative `shot`, `make-file` and `wait-file`
                                         // names are (the folder the harness was started in)
};

// Exit codes of the harness.
enum HarnessResult : int {
    HarnessPassed = 0,      // every line ran, or the game quit at the closing expect-quit
    HarnessFailed = 1,      // an expectation failed, `idle` timed out, the game did not start,
                            // or it quit before the script's end without an expect-quit
    HarnessBadScript = 2,   // the script or the command line is wrong
};

HarnessResult RunHarnessScript(const std::vector<HarnessCommand>& commands,
                               const HarnessRunOptions& options);
