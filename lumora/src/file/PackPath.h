// Names inside the data pack: Shift-JIS bytes, components separated by "/".
//
// Callers may write "\\" as a separator (the font directory is named "font\\"), repeat or
// trail separators, and use "." and "..". NormalisePackPath turns all of these into the one
// form the pack stores: components joined by single "/", no leading or trailing "/".
// Scanning is Shift-JIS aware: the second byte of a two-byte character is never taken for
// a separator, even when it is 0x5C ("表" is 0x95 0x5C).
#pragma once

#include <string>
#include <string_view>

namespace Lumora::Internal {

// The normal form of `path`. ".." above the root stays at the root.
std::string NormalisePackPath(std::string_view path);

// `name` relative to `directory` (both in any form). A name that starts with a separator
// is taken from the root and ignores the directory.
std::string JoinPackPath(std::string_view directory, std::string_view name);

// The last component of a normalised path.
std::string_view PackPathLeaf(std::string_view normalised);

} // namespace Lumora::Internal
