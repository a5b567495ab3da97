// Reads a data pack (.lpk, see PackFormat.h): opens and authenticates its file table with
// the password, then decrypts and inflates single entries on request.
//
// The bytes come from a PackSource: a file on disk (read with pread, so any thread may
// read at once) or a block of memory (tests, fuzzing). A PackReader is immutable after
// Open and safe to use from several threads.
#pragma once

#include "PackFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Lumora::Internal {

class PackSource {
public:
    virtual ~PackSource() = default;
    // Total size in bytes.
    virtual std::uint64_t Size() const = 0;
    // Copies exactly `length` bytes at `offset`; false when they cannot all be read.
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const = 0;
};

// A pack file on disk (UTF-8 path); null with a reason when it cannot be opened.
std::unique_ptr<PackSource> OpenPackFileSource(const std::string& utf8Path, std::string& error);
// Pack bytes held in memory.
std::unique_ptr<PackSource> CreateMemoryPackSource(std::vector<std::uint8_t> bytes);

class PackReader {
public:
    // Reads the header, derives the key and opens the file table. Null with a one-phrase
    // reason (no file name) in `error` for anything but an intact pack and its password.
    static std::unique_ptr<PackReader> Open(std::unique_ptr<PackSource> source,
                                            std::string_view password, std::string& error);
    ~PackReader();

    // The entry stored under a normalised name (exact bytes), or null.
    const PackEntry* Find(std::string_view normalisedName) const;
    // Every entry, in the order the table lists them.
    const std::vector<PackEntry>& Entries() const { return entries_; }
    // Decrypts and inflates one entry into `bytes`. False with a reason when its bytes
    // cannot be read or fail authentication or inflation; `bytes` is then empty.
    bool ReadEntry(const PackEntry& entry, std::vector<std::uint8_t>& bytes,
                   std::string& error) const;

    PackReader(const PackReader&) = delete;
    PackReader& operator=(const PackReader&) = delete;

private:
    PackReader() = default;

    std::unique_ptr<PackSource> source_;
    std::array<std::uint8_t, kPackHeaderSize> headerBytes_{};
    PackKey key_{};
    std::vector<PackEntry> entries_;
    std::unordered_map<std::string_view, std::size_t> index_; // views into entries_ names
};

} // namespace Lumora::Internal
