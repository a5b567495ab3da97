// libFuzzer target for the data pack reader. The input is the pack's bytes, handed to the
// file manager through a memory source with the password "fuzz"; when it is accepted,
// every entry is opened and read. Inputs starting with 'T' instead go straight to the
// file table parser (which otherwise sits behind authentication) and the path and text
// helpers, so the fuzzer can reach them without forging a Poly1305 tag.
#include "FileManager.h"
#include "PackFormat.h"
#include "PackPath.h"

#include <Lumora/Text.h>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

using namespace Lumora::Internal;

void FuzzTable(const std::uint8_t* data, std::size_t size)
{
    std::vector<PackEntry> entries;
    std::string error;
    ParsePackTable(std::span(data, size), 1u << 20, entries, error);
    for (const PackEntry& entry : entries) {
        if (NormalisePackPath(entry.name) != entry.name) {
            __builtin_trap(); // the parser accepted a name that is not in normal form
        }
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string normalised = NormalisePackPath(text);
    if (NormalisePackPath(normalised) != normalised) {
        __builtin_trap(); // normal form must be stable
    }
    Lumora::ShiftJisToUtf8(text);
    Lumora::Utf8ToShiftJis(text);
}

void FuzzPack(const std::uint8_t* data, std::size_t size)
{
    // Costly key derivations are legal but only slow the search; the header checks that
    // bound them are exercised on the way here either way.
    PackHeader header;
    std::string headerError;
    if (DecodePackHeader(std::span(data, size), size, header, headerError) &&
        (header.kdfOps > 2 || header.kdfMemoryKiB > 64)) {
        return;
    }
    auto* manager = new FileManager("");
    if (manager->SetPackSource(CreateMemoryPackSource(std::vector<std::uint8_t>(data, data + size)),
                               "fuzz.lpk", "fuzz", false)) {
        // Names to try: a few fixed ones, plus every entry through a fresh reader.
        std::string error;
        auto reader = PackReader::Open(CreateMemoryPackSource(std::vector<std::uint8_t>(data, data + size)),
                                       "fuzz", error);
        if (reader != nullptr) {
            for (const PackEntry& entry : reader->Entries()) {
                Lumora::IFile* file = manager->OpenFile(entry.name.c_str());
                if (file != nullptr) {
                    std::uint8_t buffer[512];
                    while (file->Read(buffer, sizeof(buffer)) > 0) {
                    }
                    if (file->GetPosition() != file->GetSize() ||
                        static_cast<std::uint32_t>(file->GetSize()) != entry.originalSize) {
                        __builtin_trap(); // delivered a size other than the table's
                    }
                    file->Release();
                }
            }
        }
    }
    manager->Release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0 && data[0] == 'T') {
        FuzzTable(data + 1, size - 1);
    } else {
        FuzzPack(data, size);
    }
    return 0;
}
