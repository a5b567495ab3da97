// Lumora/Text.h: Shift-JIS (code page 932) and UTF-8 conversion.
//
// Text inside the engine and the game is Shift-JIS bytes, compared and stored byte for byte
// (stage names, pack names, the save database's name column). Convert only at the edge of
// the operating system: window titles, paths on disk, directory search results, and in the
// tools that turn UTF-8 sources into game data.
//
// The plain functions never fail: every byte sequence that cannot be converted becomes one
// '?' in the result (an invalid or unmappable character is replaced, the rest is kept), so
// the result is always usable as a display string. When a caller must know that nothing
// was replaced (a name that has to round-trip exactly), use the Try* forms: they return
// false and leave `out` empty on the first unconvertible sequence.
//
// Thread-safe; no state is kept between calls.
#pragma once

#include <string>
#include <string_view>

namespace Lumora {

// Shift-JIS bytes to UTF-8; unconvertible sequences become '?'.
std::string ShiftJisToUtf8(std::string_view shiftJis);
// UTF-8 to Shift-JIS bytes; characters code page 932 lacks, and malformed UTF-8, become '?'.
std::string Utf8ToShiftJis(std::string_view utf8);

// Exact conversions: true and the whole result in `out`, or false and `out` empty.
bool TryShiftJisToUtf8(std::string_view shiftJis, std::string& out);
bool TryUtf8ToShiftJis(std::string_view utf8, std::string& out);

// True for a byte that starts a two-byte Shift-JIS character (0x81..0x9F, 0xE0..0xFC).
// The byte after it is part of the same character even when it reads as '\\' (0x5C) or
// another ASCII letter, so byte-wise scanning for separators must step over it.
constexpr bool IsShiftJisLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

} // namespace Lumora
