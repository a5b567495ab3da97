// Writing data packs (.lpk): the packer tool's library, also used by the tests, the
// benchmarks and to make fuzz seeds. The reader lives in the engine (lumora/src/file).
#pragma once

#include "PackFormat.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace Tomarugi::Pack {

struct PackInputFile {
    std::string name;                 // name inside the pack: Shift-JIS, "/" separated
    std::vector<std::uint8_t> bytes;
};

struct PackWriterOptions {
    std::uint32_t kdfOps = Lumora::Internal::kPackKdfDefaultOps;
    std::uint32_t kdfMemoryKiB = Lumora::Internal::kPackKdfDefaultMemoryKiB;
    int compressionLevel = 9;         // zlib 1..9; an entry is stored raw when that is smaller
};

// Builds the bytes of a pack holding `files` (names are normalised first; two files with
// the same normalised name, an empty name, a name over 1024 bytes or a file over 2 GiB - 1
// are refused). False with a reason in `error`.
bool BuildPack(const std::vector<PackInputFile>& files, std::string_view password,
               const PackWriterOptions& options, std::vector<std::uint8_t>& pack,
               std::string& error);

// BuildPack, then writes the pack to `outPath` through a temporary file renamed into place,
// so a failed run never leaves a half-written pack behind.
bool WritePack(const std::filesystem::path& outPath, const std::vector<PackInputFile>& files,
               std::string_view password, const PackWriterOptions& options, std::string& error);

// True when the pack at `packPath` opens with `password`, was made with the key
// derivation cost in `options`, and holds exactly `files` (same normalised names in the
// same order, same bytes). Used to leave an up-to-date pack untouched, so that builds that
// depend on its time stamp do not redo work.
bool PackHolds(const std::filesystem::path& packPath, const std::vector<PackInputFile>& files,
               std::string_view password, const PackWriterOptions& options);

// Reads every regular file under `directory` (recursively, in byte order of their paths).
// Each file's name is its path relative to `directory`, converted from UTF-8 to Shift-JIS;
// a name that Shift-JIS cannot hold is an error.
bool CollectDirectory(const std::filesystem::path& directory, std::vector<PackInputFile>& files,
                      std::string& error);

} // namespace Tomarugi::Pack
