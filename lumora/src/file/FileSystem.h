// The engine's file module as the core sees it: the file manager (data pack and current
// directory), plain files on disk, and files made from bytes in memory.
//
// Every IFile these return holds its whole content in memory; the caller owns one
// reference. Failures return null; a refused pack or a damaged entry is also reported on
// stderr in one line that names the pack file.
#pragma once

#include <Lumora/IFile.h>
#include <Lumora/IFileManager.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Lumora::Internal {

// A file manager whose packs "<name>.lpk" are looked up in `packDirectory` (UTF-8; null or
// "" is the process's current directory). The caller owns the reference.
IFileManager* CreateFileManager(const char* packDirectory);

// The name under which `manager` opens the file `name` opens now, whatever its current
// directory is set to later: "/<current directory>/<name>" for the engine's own file
// manager, `name` itself for any other (they have no directories of their own).
std::string AbsolutePackName(IFileManager& manager, const char* name);

// Reads the whole plain file at `utf8Path`; null when it cannot be opened, is not a regular
// file, or is larger than 2 GiB - 1. GetName gives the file's own name in Shift-JIS.
IFile* OpenDiskFile(const char* utf8Path);

// A file over `bytes` (at most 2 GiB - 1, else null); `name` (Shift-JIS) is what GetName
// returns, null meaning "".
IFile* CreateMemoryFile(const char* name, std::vector<std::uint8_t> bytes);

} // namespace Lumora::Internal
