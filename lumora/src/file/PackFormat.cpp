#include "PackFormat.h"

#include "PackPath.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace Lumora::Internal {
namespace {

void PutU16(std::uint8_t* out, std::uint16_t value)
{
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::uint8_t* out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void PutU64(std::uint8_t* out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint16_t GetU16(const std::uint8_t* in)
{
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

std::uint32_t GetU32(const std::uint8_t* in)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | in[i];
    }
    return value;
}

std::uint64_t GetU64(const std::uint8_t* in)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | in[i];
    }
    return value;
}

// Header byte offsets.
constexpr std::size_t kMagicAt = 0;
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kFlagsAt = 12;
constexpr std::size_t kSaltAt = 16;
constexpr std::size_t kKdfAlgorithmAt = 32;
constexpr std::size_t kKdfOpsAt = 36;
constexpr std::size_t kKdfMemoryAt = 40;
constexpr std::size_t kTableSizeAt = 44;
constexpr std::size_t kTableOffsetAt = 48;
constexpr std::size_t kTableNonceAt = 56;
static_assert(kTableNonceAt + kPackNonceSize == kPackHeaderSize);
static_assert(kTableSizeAt == kPackEntryBindingSize);

} // namespace

std::array<std::uint8_t, kPackHeaderSize> EncodePackHeader(const PackHeader& header)
{
    std::array<std::uint8_t, kPackHeaderSize> bytes{};
    std::copy(kPackMagic.begin(), kPackMagic.end(), bytes.begin() + kMagicAt);
    PutU32(&bytes[kVersionAt], kPackVersion);
    PutU32(&bytes[kFlagsAt], 0);
    std::copy(header.salt.begin(), header.salt.end(), bytes.begin() + kSaltAt);
    PutU32(&bytes[kKdfAlgorithmAt], header.kdfAlgorithm);
    PutU32(&bytes[kKdfOpsAt], header.kdfOps);
    PutU32(&bytes[kKdfMemoryAt], header.kdfMemoryKiB);
    PutU32(&bytes[kTableSizeAt], header.tableSealedSize);
    PutU64(&bytes[kTableOffsetAt], header.tableOffset);
    std::copy(header.tableNonce.begin(), header.tableNonce.end(), bytes.begin() + kTableNonceAt);
    return bytes;
}

bool DecodePackHeader(std::span<const std::uint8_t> bytes, std::uint64_t packSize,
                      PackHeader& header, std::string& error)
{
    if (bytes.size() < kPackHeaderSize || packSize < kPackHeaderSize) {
        error = "too short to be a data pack (truncated?)";
        return false;
    }
    if (!std::equal(kPackMagic.begin(), kPackMagic.end(), bytes.begin() + kMagicAt)) {
        error = "not a data pack (wrong magic bytes)";
        return false;
    }
    const std::uint32_t version = GetU32(&bytes[kVersionAt]);
    if (version != kPackVersion) {
        error = "unsupported pack version " + std::to_string(version);
        return false;
    }
    if (GetU32(&bytes[kFlagsAt]) != 0) {
        error = "damaged header (unknown flags)";
        return false;
    }
    std::copy_n(bytes.begin() + kSaltAt, kPackSaltSize, header.salt.begin());
    header.kdfAlgorithm = GetU32(&bytes[kKdfAlgorithmAt]);
    header.kdfOps = GetU32(&bytes[kKdfOpsAt]);
    header.kdfMemoryKiB = GetU32(&bytes[kKdfMemoryAt]);
    header.tableSealedSize = GetU32(&bytes[kTableSizeAt]);
    header.tableOffset = GetU64(&bytes[kTableOffsetAt]);
    std::copy_n(bytes.begin() + kTableNonceAt, kPackNonceSize, header.tableNonce.begin());

    if (header.kdfAlgorithm != kPackKdfArgon2id13) {
        error = "damaged header (unknown key derivation)";
        return false;
    }
    if (header.kdfOps < kPackKdfMinOps || header.kdfOps > kPackKdfMaxOps ||
        header.kdfMemoryKiB < kPackKdfMinMemoryKiB || header.kdfMemoryKiB > kPackKdfMaxMemoryKiB) {
        error = "damaged header (key derivation cost out of range)";
        return false;
    }
    // The table holds at least its entry count, and lies wholly inside the pack, after the
    // header. Comparisons are arranged so that no sum can overflow.
    if (header.tableSealedSize < kPackTagSize + 4 || header.tableOffset < kPackHeaderSize ||
        header.tableOffset > packSize || header.tableSealedSize > packSize - header.tableOffset) {
        error = "truncated or damaged (the file table lies outside the pack)";
        return false;
    }
    return true;
}

bool InitialiseSodium()
{
    return sodium_init() >= 0;
}

bool DerivePackKey(std::string_view password, const PackHeader& header, PackKey& key)
{
    if (!InitialiseSodium()) {
        return false;
    }
    return crypto_pwhash(key.data(), key.size(), password.data(), password.size(),
                         header.salt.data(), header.kdfOps,
                         static_cast<std::size_t>(header.kdfMemoryKiB) * 1024,
                         crypto_pwhash_ALG_ARGON2ID13) == 0;
}

std::vector<std::uint8_t> PackEntryAssociatedData(std::span<const std::uint8_t> headerBytes,
                                                  std::string_view name)
{
    std::vector<std::uint8_t> data(kPackEntryBindingSize + name.size());
    std::memcpy(data.data(), headerBytes.data(), kPackEntryBindingSize);
    if (!name.empty()) {
        std::memcpy(data.data() + kPackEntryBindingSize, name.data(), name.size());
    }
    return data;
}

std::vector<std::uint8_t> EncodePackTable(const std::vector<PackEntry>& entries)
{
    std::vector<std::uint8_t> table(4);
    PutU32(table.data(), static_cast<std::uint32_t>(entries.size()));
    for (const PackEntry& entry : entries) {
        const std::size_t at = table.size();
        table.resize(at + kPackTableRecordFixedSize + entry.name.size());
        std::uint8_t* record = &table[at];
        PutU16(record, static_cast<std::uint16_t>(entry.name.size()));
        std::memcpy(record + 2, entry.name.data(), entry.name.size());
        record += 2 + entry.name.size();
        record[0] = entry.method;
        record[1] = record[2] = record[3] = 0;
        PutU64(record + 4, entry.offset);
        PutU32(record + 12, entry.sealedSize);
        PutU32(record + 16, entry.originalSize);
        std::memcpy(record + 20, entry.nonce.data(), kPackNonceSize);
    }
    return table;
}

bool ParsePackTable(std::span<const std::uint8_t> table, std::uint64_t tableOffset,
                    std::vector<PackEntry>& entries, std::string& error)
{
    entries.clear();
    if (table.size() < 4) {
        error = "damaged file table (too short)";
        return false;
    }
    const std::uint32_t count = GetU32(table.data());
    // Every record takes at least its fixed part and one name byte: bound the count by the
    // table's length before reserving anything.
    if (count > (table.size() - 4) / (kPackTableRecordFixedSize + 1)) {
        error = "damaged file table (more entries than it can hold)";
        return false;
    }
    entries.reserve(count);
    std::unordered_set<std::string_view> names;
    names.reserve(count);
    std::size_t at = 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (table.size() - at < 2) {
            error = "damaged file table (cut off)";
            return false;
        }
        const std::size_t nameLength = GetU16(&table[at]);
        if (nameLength == 0 || nameLength > kPackMaxNameLength ||
            table.size() - at < kPackTableRecordFixedSize + nameLength) {
            error = "damaged file table (bad name length)";
            return false;
        }
        PackEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(&table[at + 2]), nameLength);
        const std::uint8_t* record = &table[at + 2 + nameLength];
        entry.method = record[0];
        entry.offset = GetU64(record + 4);
        entry.sealedSize = GetU32(record + 12);
        entry.originalSize = GetU32(record + 16);
        std::memcpy(entry.nonce.data(), record + 20, kPackNonceSize);
        at += kPackTableRecordFixedSize + nameLength;

        if (NormalisePackPath(entry.name) != entry.name) {
            error = "damaged file table (malformed name)";
            return false;
        }
        if (record[1] != 0 || record[2] != 0 || record[3] != 0) {
            error = "damaged file table (reserved bytes set)";
            return false;
        }
        if (entry.sealedSize < kPackTagSize || entry.offset < kPackHeaderSize ||
            entry.offset > tableOffset || entry.sealedSize > tableOffset - entry.offset) {
            error = "damaged file table (an entry lies outside the pack)";
            return false;
        }
        const std::uint64_t storedSize = entry.sealedSize - kPackTagSize;
        const bool sizeFits =
            entry.originalSize <= kPackMaxEntrySize &&
            ((entry.method == kPackMethodStored && entry.originalSize == storedSize) ||
             (entry.method == kPackMethodZlib &&
              entry.originalSize <= storedSize * kZlibMaxExpansion + 64));
        if (!sizeFits) {
            error = "damaged file table (bad entry size or method)";
            return false;
        }
        entries.push_back(std::move(entry));
    }
    if (at != table.size()) {
        error = "damaged file table (trailing bytes)";
        entries.clear();
        return false;
    }
    for (const PackEntry& entry : entries) {
        if (!names.insert(entry.name).second) {
            error = "damaged file table (a name appears twice)";
            entries.clear();
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> SealPackBytes(std::span<const std::uint8_t> plain,
                                        std::span<const std::uint8_t> associatedData,
                                        const std::array<std::uint8_t, kPackNonceSize>& nonce,
                                        const PackKey& key)
{
    std::vector<std::uint8_t> sealed(plain.size() + kPackTagSize);
    unsigned long long sealedLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(sealed.data(), &sealedLength, plain.data(),
                                               plain.size(), associatedData.data(),
                                               associatedData.size(), nullptr, nonce.data(),
                                               key.data());
    sealed.resize(static_cast<std::size_t>(sealedLength));
    return sealed;
}

bool OpenPackBytes(std::span<const std::uint8_t> sealed,
                   std::span<const std::uint8_t> associatedData,
                   const std::array<std::uint8_t, kPackNonceSize>& nonce, const PackKey& key,
                   std::vector<std::uint8_t>& plain)
{
    if (sealed.size() < kPackTagSize) {
        return false;
    }
    plain.resize(sealed.size() - kPackTagSize);
    unsigned long long plainLength = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(plain.data(), &plainLength, nullptr,
                                                   sealed.data(), sealed.size(),
                                                   associatedData.data(), associatedData.size(),
                                                   nonce.data(), key.data()) != 0) {
        plain.clear();
        return false;
    }
    plain.resize(static_cast<std::size_t>(plainLength));
    return true;
}

void FillRandom(std::span<std::uint8_t> bytes)
{
    InitialiseSodium();
    randombytes_buf(bytes.data(), bytes.size());
}

} // namespace Lumora::Internal
