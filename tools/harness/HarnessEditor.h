// tools/harness/HarnessEditor.h: the harness's `editor` and `expect-editor` commands (see
// HarnessScript.h), run on the stage editor screen.
#pragma once

#include "HarnessScript.h"

#include <filesystem>
#include <string>

class SceneEditor;

// Does what an `editor` command says, as a player's presses would; the caller then runs one
// update. False with `error` for a bad argument.
bool RunEditorAction(SceneEditor& editor, const HarnessCommand& command, std::string& error);
// Checks what an `expect-editor` command says; a relative FILE is taken from `base` (the
// folder the harness was started in). False with `error` saying what was found.
bool CheckEditor(SceneEditor& editor, const HarnessCommand& command, const std::filesystem::path& base,
                 std::string& error);
// `type`'s text with <enter>, <esc> and <bs> turned into the engine's control characters.
std::string TypedKeys(const std::string& scriptText);
