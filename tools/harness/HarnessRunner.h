// tools/harness/HarnessRunner.h: runs a parsed script against the real game program in the
// engine's headless mode, in the current directory (where "tomarugi.save" lives).
#pragma once

#include "HarnessScript.h"

#include <filesystem>
#include <vector>

struct HarnessRunOptions {
    bool pixels = false;               // render frames for real so `shot` has pixels
    std::filesystem::path shotDirectory; // where relative `shot` names are written
};

// Exit codes of the harness.
enum HarnessResult : int {
    HarnessPassed = 0,      // the script ended, or the game quit
    HarnessFailed = 1,      // an expectation failed, `idle` timed out, or the game did not start
    HarnessBadScript = 2,   // the script or the command line is wrong
};

HarnessResult RunHarnessScript(const std::vector<HarnessCommand>& commands,
                               const HarnessRunOptions& options);
