// ShaderBlobTable.h: how Tessera's 128 encoded shader variants are laid out.
//
// The blobs come in 16 sets of 8. Options 3 to 6 choose the set, options 0 to 2 the
// variant inside it, through the tables below. This header is shared by the plug-in, which
// picks a blob, and by tools/shaderpack, which generates the blobs in the same order, so
// the two cannot disagree about which variant lives where.
#pragma once

#include <cstdint>

namespace Tessera {

inline constexpr int VariantCount = 8;
inline constexpr int SetCount = 16;

// Variant key: 1, plus 2 for option 0, plus 4 for option 1, plus 8 for option 2. The
// variant index is the key's position in this table.
inline constexpr std::uint8_t VariantKeys[VariantCount] = {1, 5, 13, 9, 3, 7, 15, 11};

// Options 3 to 6 of each set, by set index, as a mask: bit 0 = option 3, bit 1 = option 4,
// bit 2 = option 5, bit 3 = option 6. None first, then one, two, three and all four on.
inline constexpr std::uint8_t SetOptionMasks[SetCount] = {
    0x0, 0x1, 0x2, 0x4, 0x8,      // none; 3; 4; 5; 6
    0x3, 0x5, 0x9, 0x6, 0xA, 0xC, // 3,4; 3,5; 3,6; 4,5; 4,6; 5,6
    0xE, 0xD, 0xB, 0x7,           // 4,5,6; 3,5,6; 3,4,6; 3,4,5
    0xF};                         // 3,4,5,6

// One set: the byte sizes of its eight blobs and their addresses, by variant index.
struct BlobSet {
    std::uint32_t sizes[VariantCount];
    const std::uint8_t* addresses[VariantCount];
};

// The blobs, generated at build time (ShaderBlobs.cpp, written by tools/shaderpack).
extern const BlobSet BlobSets[SetCount];

// The preprocessor name that turns each option on in the shader source, by option number.
inline constexpr const char* OptionDefines[7] = {
    "LUMORA_SKINNED", "LUMORA_TEXTURED", "LUMORA_VERTEX_COLOR", "LUMORA_LIT",
    "LUMORA_AMBIENT", "LUMORA_FOG",      "LUMORA_TRANSPARENT"};

} // namespace Tessera
