// editor/StageFiles.h: naming and saving the stages a player builds.
//
// A stage's name is its file name without ".pzd", in Shift-JIS like every stage name (the
// save database keys records by those bytes, the font draws them). The player types UTF-8
// (SDL text input); CheckStageName turns it into Shift-JIS or says in one line why it
// cannot be a name. Saved stages go to the player's own extra folder (app/GameFolders),
// written whole or not at all (Lumora::ReplaceFileAtomically).
//
// Messages are UTF-8 for the screen to convert; main thread only.
#pragma once

#include "StageDataReader.h"

#include <cstddef>
#include <functional>
#include <string>

// The room for a name on one line of the stage select's list: 304 px from its left margin
// to the panel, in its 32-pixel font.
inline constexpr std::size_t kStageListLinePixels = 304;
// A name's width on that line as the list draws it, from the font's advances: a two-byte
// character 32 px, a one-byte one 16 px, the wide letters M, W, m, w, @, % and & 28 px.
std::size_t StageNameListWidth(const std::string& shiftJis);

// Checks a typed name. True with `shiftJis` set to the name's bytes; false with `message`
// saying why when the name is empty (or blank), wider than the list's line, holds '/' or a
// control character, starts with '.' (a hidden file), or has a character that Shift-JIS
// cannot hold.
bool CheckStageName(const std::string& utf8, std::string& shiftJis, std::string& message);

// The first of "マイステージ 001", "マイステージ 002", ... (as Shift-JIS) that `taken` says
// is free; `taken` receives a file name with ".pzd". Gives up after 999 (returns "").
std::string NextFreeStageName(const std::function<bool(const std::string& fileName)>& taken);

// Writes `stage` as `<folder>/<name>.pzd` (`folder` an operating-system path, made when
// missing; `shiftJisName` without the extension), replacing any file of that name whole.
// False with `message` (starting "ほぞんできません") when the folder cannot be made or
// written; nothing is then changed.
bool SaveStageFile(const std::string& folder, const std::string& shiftJisName, const StageDataReader& stage,
                   std::string& message);
