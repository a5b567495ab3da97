// save/SaveValueText.h: how a value read from the save file becomes a number.
//
// Every value of the save file reaches the game as the text that SQLite gives for it, so a
// value that somebody stored by hand as text ("12 turns", "abc") still reads as something
// sensible instead of failing the whole lookup.
#pragma once

#include <cstdint>

// The 32-bit number at the start of `text`: blanks (space, tab, line breaks, vertical tab,
// form feed) are skipped, then an optional '+' or '-' and decimal digits are read; the first
// other character ends the number. No digits, or a null pointer (an SQL NULL), give 0. A
// number beyond the 32-bit range reads as the nearest 32-bit value.
std::int32_t ParseSaveValue(const char* text);
