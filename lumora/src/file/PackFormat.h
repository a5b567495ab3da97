// The data pack format (.lpk), shared by the engine's reader and the packer tool.
// docs/PACK.md describes the layout byte for byte; this header is its single source in code.
//
//   header (80 bytes) | sealed entries ... | sealed file table
//
// A key is derived from the password with Argon2id (libsodium crypto_pwhash) using the salt
// and cost in the header. The file table and every entry are sealed with
// XChaCha20-Poly1305 (IETF) under that key, each with its own random 24-byte nonce. The
// table's associated data is the whole header; an entry's is the header's first 44 bytes
// (magic to KDF cost) followed by the entry's name, so an entry cannot be moved to another
// name or pack. Integers are little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Lumora::Internal {

inline constexpr std::array<std::uint8_t, 8> kPackMagic{'L', 'U', 'M', 'O', 'R', 'A', 'P', 'K'};
inline constexpr std::uint32_t kPackVersion = 1;
inline constexpr std::size_t kPackHeaderSize = 80;
inline constexpr std::size_t kPackEntryBindingSize = 44; // header bytes bound to each entry
inline constexpr std::size_t kPackSaltSize = 16;
inline constexpr std::size_t kPackNonceSize = 24;
inline constexpr std::size_t kPackTagSize = 16;
inline constexpr std::size_t kPackKeySize = 32;

inline constexpr std::uint32_t kPackKdfArgon2id13 = 2;
// Accepted key-derivation cost. The floor is Argon2id's own minimum; the ceilings keep a
// hostile header from asking for seconds of work or gigabytes of memory before anything
// has been authenticated.
inline constexpr std::uint32_t kPackKdfMinOps = 1;
inline constexpr std::uint32_t kPackKdfMaxOps = 16;
inline constexpr std::uint32_t kPackKdfMinMemoryKiB = 8;
inline constexpr std::uint32_t kPackKdfMaxMemoryKiB = 256 * 1024;
// What the packer writes by default: about 15 ms on a desktop core.
inline constexpr std::uint32_t kPackKdfDefaultOps = 2;
inline constexpr std::uint32_t kPackKdfDefaultMemoryKiB = 8 * 1024;

inline constexpr std::uint8_t kPackMethodStored = 0;
inline constexpr std::uint8_t kPackMethodZlib = 1;

// Longest entry name in bytes, and the largest entry (IFile positions are 32-bit).
inline constexpr std::size_t kPackMaxNameLength = 1024;
inline constexpr std::uint32_t kPackMaxEntrySize = 0x7FFFFFFF;
// zlib cannot expand data by more than about 1032:1; an entry that claims more is damaged.
inline constexpr std::uint64_t kZlibMaxExpansion = 1032;

// Fixed bytes of one table record besides its name: name length (2), method (1),
// reserved (3), offset (8), sealed size (4), original size (4), nonce (24).
inline constexpr std::size_t kPackTableRecordFixedSize = 46;

struct PackHeader {
    std::array<std::uint8_t, kPackSaltSize> salt{};
    std::uint32_t kdfAlgorithm = kPackKdfArgon2id13;
    std::uint32_t kdfOps = kPackKdfDefaultOps;
    std::uint32_t kdfMemoryKiB = kPackKdfDefaultMemoryKiB;
    std::uint32_t tableSealedSize = 0;  // bytes, tag included
    std::uint64_t tableOffset = 0;      // from the start of the pack
    std::array<std::uint8_t, kPackNonceSize> tableNonce{};
};

struct PackEntry {
    std::string name;                   // full path inside the pack, Shift-JIS, "/" separated
    std::uint8_t method = kPackMethodStored;
    std::uint64_t offset = 0;           // of the sealed bytes, from the start of the pack
    std::uint32_t sealedSize = 0;       // stored bytes plus the tag
    std::uint32_t originalSize = 0;     // bytes after decryption and inflation
    std::array<std::uint8_t, kPackNonceSize> nonce{};
};

using PackKey = std::array<std::uint8_t, kPackKeySize>;

// Serialises a header into its 80 bytes.
std::array<std::uint8_t, kPackHeaderSize> EncodePackHeader(const PackHeader& header);
// Parses and checks the 80 header bytes (magic, version, flags, KDF choice and cost, and
// that the table lies inside a pack of `packSize` bytes). False with a reason otherwise.
bool DecodePackHeader(std::span<const std::uint8_t> bytes, std::uint64_t packSize,
                      PackHeader& header, std::string& error);

// Derives the pack key from the password; false only when libsodium cannot run
// (initialisation failed or the memory could not be had).
bool DerivePackKey(std::string_view password, const PackHeader& header, PackKey& key);

// The associated data an entry is sealed with.
std::vector<std::uint8_t> PackEntryAssociatedData(std::span<const std::uint8_t> headerBytes,
                                                  std::string_view name);

// Serialises the file table (plain text, before sealing).
std::vector<std::uint8_t> EncodePackTable(const std::vector<PackEntry>& entries);
// Parses the plain table. Every count and size is checked against the table's own length
// and against the pack (entries must lie between the header and `tableOffset`) before
// anything is allocated; names must be unique and already in normal form.
bool ParsePackTable(std::span<const std::uint8_t> table, std::uint64_t tableOffset,
                    std::vector<PackEntry>& entries, std::string& error);

// Seals or opens one message with XChaCha20-Poly1305. Open fails (false) when the key,
// nonce, associated data or any ciphertext byte differs from what was sealed.
std::vector<std::uint8_t> SealPackBytes(std::span<const std::uint8_t> plain,
                                        std::span<const std::uint8_t> associatedData,
                                        const std::array<std::uint8_t, kPackNonceSize>& nonce,
                                        const PackKey& key);
bool OpenPackBytes(std::span<const std::uint8_t> sealed,
                   std::span<const std::uint8_t> associatedData,
                   const std::array<std::uint8_t, kPackNonceSize>& nonce, const PackKey& key,
                   std::vector<std::uint8_t>& plain);

// Fills `bytes` with random bytes from the system's generator.
void FillRandom(std::span<std::uint8_t> bytes);

// Whether libsodium is ready; initialises it on first use (thread-safe).
bool InitialiseSodium();

} // namespace Lumora::Internal
