// Lumora/IFileManager.h: access to the data pack and its current directory.
//
// A file manager opens files from the password-protected data pack set with SetPackFile.
// Paths inside the pack use "/" ("font\\" is accepted and normalised); names are Shift-JIS
// bytes. The current directory is shared by every caller of one file manager.
#pragma once

#include <Lumora/Base.h>
#include <Lumora/IFile.h>

#include <cstdint>

namespace Lumora {

class IFileManager : public IInterface {
public:
    // Opens the pack "<name>.lpk" beside the program with the password. `slot` is 0.
    // Returns false, and says why on stderr, when the pack is missing, damaged or the
    // password is wrong; nothing is read from such a pack.
    virtual bool SetPackFile(std::int32_t slot, const char* name, const char* password) = 0;
    // Sets the directory inside the pack that OpenFile names are relative to; "" or null
    // is the root.
    virtual void SetCurrentDirectory(const char* directory) = 0;
    // Opens a file relative to the current directory; null when there is no such file.
    // The caller owns the reference.
    virtual IFile* OpenFile(const char* name) = 0;
};

} // namespace Lumora
