// app/GameFolders.h: where the game keeps what it writes, and where it finds extra stages.
//
// The save file "tomarugi.save" and F12 screenshots stay beside the program (the current
// directory, which main made the program's folder) while that folder can be written, as a
// game unpacked into a folder of the player's own. An installed game's folder belongs to
// the system and cannot be written: then both go to the player's data folder,
// "$XDG_DATA_HOME/tomarugi" (by default "~/.local/share/tomarugi"), which is made on the
// first run together with a copy of the shipped save file (settings row included), so the
// player starts from the shipped defaults and every record of every later run is kept.
//
// Extra stages come from two folders: "data/stage/extra" beside the program (the stages
// that ship with the game) and "stage/extra" in the player's data folder (the player's
// own, listed whether or not the save lives there). A name found in both is the player's
// file, listed once.
//
// When no place for the save file can be written (the player's folder is a file, cannot be
// made, or the environment names none), one line on stderr says why; the game goes on,
// reading the shipped save file beside the program and keeping nothing. Nothing that exists
// is overwritten: a save file already in the player's folder is used as it is, even one that
// is not a database (the save manager then says once that it cannot be written).
//
// Main thread only; PrepareGameFolders runs once at start-up, before the save file is used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Decides where the save file and screenshots go (see above) and tells the save manager
// and the engine. Call it with the program's folder as the current directory.
void PrepareGameFolders();

// The player's data folder as the operating system spells it; "" before PrepareGameFolders
// or when the environment names none. It need not exist.
const std::string& GetPlayerFolder();

// The player's own extra stage folder ("stage/extra" in the player's data folder); "" when
// there is no player folder.
std::string GetPlayerExtraStageFolder();

// The path to open for the extra stage `name` (Shift-JIS, as listed): the player's file when
// one of that name exists, else the one in "data/stage/extra" beside the program.
std::string ExtraStageFilePath(const std::string& name);

// Writes a stage file the player keeps (a kept endless board) as `fileName` (ASCII) into the
// player's extra stage folder, or into "data/stage/extra" beside the program when there is
// no player folder: first to a temporary file in the same folder, then renamed over the
// target, so a half-written file is never listed. True when it is there; `where` names the
// file written, or says what failed.
bool KeepPlayerStage(const std::string& fileName, const std::vector<std::uint8_t>& bytes, std::string& where);
