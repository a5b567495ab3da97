// Lumora/IFile.h: one open file, inside the data pack or on disk.
//
// Opened by IFileManager::OpenFile; the caller owns the reference. A file is a byte
// stream with a position; reading past the end delivers fewer bytes, then 0.
// The engine's files hold their whole content in memory: once opened, a file depends on
// nothing else (not on the file manager, the pack or the disk file). One file object is
// read by one thread at a time; AddRef/Release may come from any thread.
#pragma once

#include <Lumora/Base.h>

#include <cstdint>

namespace Lumora {

class IFile : public IInterface {
public:
    // Copies up to `size` bytes from the current position into `buffer` and advances the
    // position; returns the number of bytes delivered (0 at the end, 0 for size <= 0 or a
    // null buffer).
    virtual std::int32_t Read(void* buffer, std::int32_t size) = 0;
    // Total length in bytes.
    virtual std::int32_t GetSize() = 0;
    // Current position in bytes from the start.
    virtual std::int32_t GetPosition() = 0;
    // Moves to an absolute position, clamped to 0..GetSize(); returns the new position.
    virtual std::int32_t Seek(std::int32_t position) = 0;
    // The file's name as it was opened (Shift-JIS, without the directory).
    virtual const char* GetName() = 0;
};

} // namespace Lumora
