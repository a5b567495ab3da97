// Lumora/Directory.h: listing the entries of a folder on disk by wildcard pattern.
//
// Names cross the operating-system boundary here: the game passes and receives Shift-JIS
// bytes (code page 932), the disk holds UTF-8 names on Linux; the conversion is done inside
// with Lumora/Text.h. To open a found entry, join the folder and the name and convert the
// path with ShiftJisToUtf8.
//
// Matching follows the wildcard rules of the game's original platform: '*' matches any run
// of characters (also none), '?' exactly one character, ASCII letters match regardless of
// case, and every other character only itself. Characters, not bytes, are matched, so '?'
// stands for one whole Japanese character.
//
// What the caller must handle: the result is in the order the file system returns the
// entries (no sorting), and entries are not filtered by type (a folder whose name matches
// is listed too; reading it as a file simply fails). "." and ".." are never listed.
// A name on disk that has no exact Shift-JIS form (not valid UTF-8, or a character code
// page 932 lacks) is left out: a lossy stand-in could neither be opened again nor keep its
// save record apart from another such name.
//
// FindFilesInFolder takes the folder as the operating system spells it (UTF-8 bytes on Linux,
// passed through unconverted), for folders the game did not name itself: the player's data
// folder comes from the environment and may hold characters Shift-JIS lacks.
//
// PlayerDataFolder and IsFolderWritable tell where a game may keep what it writes: beside the
// program when that folder is writable, else in the player's own data folder, following the
// XDG base directory rules on Linux.
//
// Thread-safe; nothing is kept between calls.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Lumora {

// The names (not paths) of the entries of `directory` matching `pattern`, both Shift-JIS;
// a relative directory is taken from the process's current directory. Empty when the
// folder is missing, unreadable or has no match, or when either argument is null or has
// no exact UTF-8 form.
std::vector<std::string> FindFiles(const char* directory, const char* pattern);

// As FindFiles, with the folder as an operating-system path (not converted); names found are
// Shift-JIS as with FindFiles. Empty when the folder is missing, unreadable or has no match.
std::vector<std::string> FindFilesInFolder(const std::string& folder, const char* pattern);

// True when this process may create and replace files in the folder `folder` (an
// operating-system path; "" is the current directory): it exists, is a folder, and the
// process has write and search rights on it on a file system mounted for writing.
bool IsFolderWritable(const std::string& folder);

// The player's own data folder for the program `application` (plain ASCII, e.g. "tomarugi"):
// "$XDG_DATA_HOME/<application>" when XDG_DATA_HOME holds an absolute path, else
// "$HOME/.local/share/<application>". Nothing is created. When neither variable gives an
// absolute path the result is "" and `problem` says so in words (for one line to the player).
std::string PlayerDataFolder(const char* application, std::string& problem);

// Writes `size` bytes as the whole new contents of the file at `path` (an operating-system
// path) so that a crash or a kill at any moment leaves either the old file or the complete
// new one, never a part: the bytes go to a temporary file in the same folder, are flushed
// to the disk, and the temporary file is renamed over `path`. The folder must exist. On
// failure false, `problem` says why in words (for one line to the player), the old file is
// untouched and no temporary file is left behind.
bool ReplaceFileAtomically(const std::string& path, const void* data, std::size_t size, std::string& problem);

// True when the whole of `name` matches `pattern` by the rules above (both Shift-JIS).
bool MatchesWildcard(const std::string& name, const std::string& pattern);

} // namespace Lumora
