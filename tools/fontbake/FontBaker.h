// FontBaker.h: turns a TrueType/OpenType font into a .lft bitmap font and its pages.
//
// The baker renders each character of a Shift-JIS character set with FreeType at one
// pixel size, adds an outline channel (the glyph dilated by a round brush), packs the
// glyphs into square pages and writes "<base>.lft" plus "<base>_<n>.tga". It runs at build
// time (tomarugi-fontbake) and in tests; the engine never links it.
//
// Page pixels: two 8-bit channels per pixel, channel 0 the glyph's coverage, channel 1
// the outline's coverage (always >= channel 0). On disk a page is a run-length encoded
// 16-bit greyscale-with-alpha TGA (image type 11, top-left origin): grey = channel 0,
// alpha = channel 1. stb_image reads it as 2 channels, or as RGBA (c0, c0, c0, c1) when
// asked for 4.
#pragma once

#include "LftFont.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Tomarugi::FontBake {

using Lumora::Internal::SjisCode;

// One character to bake: its Shift-JIS code and the Unicode code point it stands for.
struct CharsetEntry {
    SjisCode code = 0;
    char32_t unicode = 0;
};

// Every code of code page 932 that stands for a printable character, in code order:
// ASCII 0x20..0x7E, half-width katakana 0xA1..0xDF, and every double-byte code that
// glibc's "CP932" converter maps (JIS X 0208 rows with kana and both kanji levels, and
// the vendor rows). Control codes and the private-use (user-defined) area are left out.
// Empty when the converter is not available.
std::vector<CharsetEntry> EnumerateCp932();

// The characters of UTF-8 `text` as entries sorted by code, each once; newlines and
// control characters are skipped. False, with `error` naming the first offender, when
// a character has no code page 932 code.
bool CharsetFromUtf8(std::string_view text, std::vector<CharsetEntry>& entries, std::string& error);

// Shift-JIS bytes for UTF-8 `text` (code page 932); false when a character has no code.
bool Utf8ToSjis(std::string_view text, std::string& sjis);

struct BakeSettings {
    std::string fontPath;
    int faceIndex = 0;
    int pixelSize = 0;     // em size in pixels
    int outlineWidth = 0;  // outline radius in pixels, 0..Lumora::Internal::kLftMaxOutlineWidth
    int pageSize = 1024;   // pages are pageSize x pageSize pixels
    // Also bake the pages at twice the pixel size ("<base>_<n>@2x.tga", twice the side),
    // each glyph at twice its 1x cell's place, so the engine can draw the 1x glyph table's
    // rectangles from them in windows of 1.5x and more.
    bool highResolution = false;
};

struct BakedFont {
    Lumora::Internal::LftFontData data;
    // One buffer per page, pageWidth * pageHeight * 2 bytes, row by row from the top;
    // each pixel is (glyph coverage, outline coverage).
    std::vector<std::vector<std::uint8_t>> pages;
    // With BakeSettings::highResolution: the same pages at 2x (side 2 * pageWidth), each 1x
    // cell's glyph rendered at twice the size into the cell's doubled rectangle (clipped to
    // it, so the one-pixel gaps between cells stay two pixels wide); empty otherwise.
    std::vector<std::vector<std::uint8_t>> highResolutionPages;
    // Characters of the set that the font has no glyph for (left out of the table).
    std::vector<CharsetEntry> missing;
};

// Renders and packs `charset` with `settings`. False, with `error` saying why, when the
// font cannot be opened, a setting is out of range, a glyph does not fit a page, or no
// character of the set exists in the font.
bool BakeFont(const BakeSettings& settings, const std::vector<CharsetEntry>& charset, BakedFont& baked,
              std::string& error);

// A page as an RLE greyscale+alpha TGA file (see the top of this file).
std::vector<std::uint8_t> EncodePageTga(const std::vector<std::uint8_t>& pixels, int width, int height);

// Writes "<outputBase>.lft" and "<outputBase>_<n>.tga" (and "<outputBase>_<n>@2x.tga" when
// baked), and deletes pages numbered past
// the new page count left over from an earlier bake. False, with `error`, on a write
// failure.
bool WriteBakedFont(const BakedFont& baked, const std::string& outputBase, std::string& error);

} // namespace Tomarugi::FontBake
