// Lumora/IFileManager.h: access to the data pack and its current directory.
//
// A file manager opens files from the password-protected data pack set with SetPackFile
// (format: docs/PACK.md). Paths inside the pack use "/"; "\\" is accepted as a separator
// ("font\\" is the font folder), repeated, leading and trailing separators are ignored, and
// "." and ".." work as on disk. Names are Shift-JIS bytes and must match byte for byte
// (case matters); separators are recognised Shift-JIS-aware, so a two-byte character whose
// second byte is 0x5C is never split.
//
// Threads: one file manager may be used from several threads at once (the resource loader
// and the main thread). The current directory is shared by every caller, so a thread that
// sets it and then opens a file must not race another thread that sets it too.
//
// OpenFile decrypts, checks and inflates the whole entry into memory before it returns; the
// returned file no longer depends on the manager or the pack file. The caller owns it.
#pragma once

#include <Lumora/Base.h>
#include <Lumora/IFile.h>

#include <cstdint>

namespace Lumora {

class IFileManager : public IInterface {
public:
    // Opens the pack "<name>.lpk" beside the program with the password. `slot` is 0.
    // Returns false, and says why on stderr, when the pack is missing, damaged or the
    // password is wrong; nothing is read from such a pack. A refused pack also drops the
    // pack that was open before: files only ever come from the pack last asked for.
    virtual bool SetPackFile(std::int32_t slot, const char* name, const char* password) = 0;
    // Sets the directory inside the pack that OpenFile names are relative to; "" or null
    // is the root.
    virtual void SetCurrentDirectory(const char* directory) = 0;
    // Opens a file relative to the current directory (a name starting with a separator is
    // taken from the root); null when there is no pack, no such file, or the entry is
    // damaged (that last case is also reported on stderr). The caller owns the reference.
    virtual IFile* OpenFile(const char* name) = 0;

    // Why the last SetPackFile refused its pack: "<pack file>: <reason>" on one line, no
    // newline ("" after a success). Owned by the manager; valid until the next
    // SetPackFile. For a caller that reports the failure in its own words.
    virtual const char* GetPackError() { return ""; }
    // Whether SetPackFile writes its refusal to stderr (true, the default). A caller that
    // reports GetPackError itself turns this off first, so the reason is told once. Damaged
    // entries met later by OpenFile are reported either way.
    virtual void SetPackErrorReport(bool toStderr) { (void)toStderr; }
};

} // namespace Lumora
