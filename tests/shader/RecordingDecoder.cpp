// A stand-in for Common.lmp that decodes nothing: its ShaderDecode records the arguments
// it was given, writes a marker text into the buffer and reports failure (Tessera ignores
// the result). The record is read through RecordedDecode by a test that keeps the library
// loaded between calls.
#include "DecodeRecord.h"

#include <cstring>

namespace {
DecodeRecord record;
}

extern "C" __attribute__((visibility("default"))) std::int32_t ShaderDecode(char* output, std::uint32_t* size,
                                                                             const void* blob, std::uint32_t blobSize)
{
    record = DecodeRecord{record.calls + 1, output, size, *size, blob, blobSize};
    std::memcpy(output, RecordedMarker, sizeof(RecordedMarker));
    *size = sizeof(RecordedMarker) - 1;
    return 0;
}

extern "C" __attribute__((visibility("default"))) const DecodeRecord* RecordedDecode()
{
    return &record;
}
