// DecodeRecord.h: what the recording stand-in for Common.lmp remembers of its last call.
#pragma once

#include <cstdint>

struct DecodeRecord {
    std::int32_t calls;           // ShaderDecode calls since the library was loaded
    char* output;                 // the output buffer it was given
    std::uint32_t* size;          // the size variable it was given
    std::uint32_t sizeOnEntry;    // what that variable held on entry
    const void* blob;             // the blob address
    std::uint32_t blobSize;       // the blob size in bytes
};

// What the recording ShaderDecode writes into the buffer, and the size it stores.
inline constexpr char RecordedMarker[] = "recorded by the stand-in";

// The stand-in's second export: its record (valid while the library stays loaded).
typedef const DecodeRecord* (*RecordedDecodeFunction)();
