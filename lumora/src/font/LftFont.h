// LftFont.h: the engine's bitmap font format (.lft), its reader and its text layout.
//
// A .lft file holds the metrics of one baked font and a glyph table keyed by Shift-JIS
// code; the glyph pixels live in separate page images "<base>_<n>.<ext>" beside it (see
// LftPageFileName and docs/FONTS.md). This module only reads and writes bytes and does
// arithmetic: it opens no file, decodes no image and touches no GPU. The core's IFont
// loads the pages as textures and draws the quads that LayoutText produces.
//
// Use:
//   LftParseResult parsed = ParseLft(bytes);          // bytes of the whole .lft file
//   if (!parsed.font) report DescribeLftError(parsed.error) with the file name;
//   for n in 0..pageCount-1: load LftPageFileName(fileName, "tga", n) as a texture;
//   parsed.font->LayoutText(sjisText, x, y, quads);   // per DrawText call
//
// Units: every metric is in whole pixels of the page images, which are drawn 1:1 on the
// 640x480 screen. Text is Shift-JIS (code page 932) bytes, never UTF-8.
// Ownership: LftFont is a plain value; its glyph table is its own copy of the file's.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Lumora::Internal {

// File magic "LFNT" and the one version this reader understands.
inline constexpr std::uint8_t kLftMagic[4] = {'L', 'F', 'N', 'T'};
inline constexpr std::uint16_t kLftVersion = 1;
// Fixed sizes in bytes of the header and of one glyph record.
inline constexpr std::size_t kLftHeaderSize = 32;
inline constexpr std::size_t kLftGlyphRecordSize = 18;

// Bounds beyond which a file is refused as absurd rather than trusted.
inline constexpr std::uint32_t kLftMaxPageSide = 8192;  // pixels
inline constexpr std::uint32_t kLftMaxPages = 256;
inline constexpr std::uint32_t kLftMaxLineHeight = 1024;  // pixels
inline constexpr std::uint32_t kLftMaxOutlineWidth = 64;  // pixels
inline constexpr std::int32_t kLftMaxMetric = 4096;       // |bearing| and |advance|, pixels

// A glyph's code: a single-byte code as 0x00XX (0x00..0x7F, 0xA1..0xDF), a double-byte
// code as lead * 256 + trail (lead 0x81..0x9F or 0xE0..0xFC, trail 0x40..0x7E or
// 0x80..0xFC). Sorting these numbers sorts single bytes before double bytes.
using SjisCode = std::uint16_t;

// True when `code` is a code the layout can produce from a Shift-JIS string.
bool IsValidSjisCode(SjisCode code);
// True for a Shift-JIS lead byte (0x81..0x9F, 0xE0..0xFC).
bool IsSjisLeadByte(std::uint8_t byte);

struct LftGlyph {
    SjisCode code = 0;
    std::uint16_t page = 0;    // index of the page image
    std::uint16_t x = 0;       // rect in the page, pixels from its top-left corner
    std::uint16_t y = 0;
    std::uint16_t width = 0;   // 0 x 0 for a glyph with no pixels (a space)
    std::uint16_t height = 0;
    std::int16_t bearingX = 0; // pen position to the rect's left edge, pixels
    std::int16_t bearingY = 0; // baseline up to the rect's top edge, pixels
    std::int16_t advance = 0;  // pen movement after the glyph, pixels
};

// Everything a .lft file holds. Glyphs are sorted by code, each code once.
struct LftFontData {
    std::uint16_t lineHeight = 0;   // distance between baselines of two lines, pixels
    std::uint16_t ascent = 0;       // top of a line down to its baseline, pixels
    std::uint16_t pageCount = 0;
    std::uint16_t pageWidth = 0;
    std::uint16_t pageHeight = 0;
    std::uint16_t outlineWidth = 0; // how far the outline channel reaches past the glyph
    SjisCode fallbackCode = 0;      // drawn in place of a code the font lacks; in the table
    std::vector<LftGlyph> glyphs;
};

enum class LftError {
    None,
    TooShort,            // fewer bytes than a header
    BadMagic,
    UnsupportedVersion,
    AbsurdHeader,        // zero or oversized line height, page size, page count, outline
    NoGlyphs,
    SizeMismatch,        // glyph count disagrees with the file length (truncated or trailing)
    InvalidCode,         // a code no Shift-JIS string can produce
    UnsortedCodes,
    DuplicateCode,
    PageOutOfRange,
    RectOutsidePage,
    AbsurdMetrics,       // a bearing or advance beyond kLftMaxMetric
    MissingFallback,     // the fallback code has no glyph
};

// A short English description of an error, for the engine's one-line stderr report.
const char* DescribeLftError(LftError error);

// One glyph to draw: source rect in a page, destination rect on the screen.
struct LftQuad {
    std::uint16_t page = 0;
    float sourceX = 0, sourceY = 0, sourceWidth = 0, sourceHeight = 0;          // page pixels
    float destinationX = 0, destinationY = 0, destinationWidth = 0, destinationHeight = 0; // screen pixels
};

class LftFont {
public:
    explicit LftFont(LftFontData data);

    const LftFontData& Data() const { return data_; }
    std::uint16_t LineHeight() const { return data_.lineHeight; }
    std::uint16_t Ascent() const { return data_.ascent; }
    std::uint16_t PageCount() const { return data_.pageCount; }

    // The glyph of `code`, or null when the font lacks it.
    const LftGlyph* FindGlyph(SjisCode code) const;
    // The glyph drawn for `code`: its own, or the fallback glyph (an empty glyph for a
    // table without glyphs, which ParseLft never returns).
    const LftGlyph& GlyphOrFallback(SjisCode code) const;

    // Appends to `quads` one quad per visible glyph of the Shift-JIS string `text`, whose
    // first line has its top-left corner at (x, y) in screen pixels; the baseline lies at
    // y + Ascent(). Single bytes 0x00..0x7F and 0xA1..0xDF are one code; a lead byte takes
    // the next byte as its trail. '\n' starts a new line LineHeight() lower at x; '\r' is
    // ignored. A code without a glyph (including a lead byte followed by a byte that cannot
    // be a trail, which then counts as a code of its own) draws the fallback glyph. A lead
    // byte cut off by the end of the text is dropped. Glyphs without pixels (spaces) only
    // advance the pen. Quads keep the text's order.
    void LayoutText(std::string_view text, float x, float y, std::vector<LftQuad>& quads) const;

    // Width in pixels of the widest line of `text`: the sum of its glyphs' advances, laid
    // out exactly as LayoutText would (the outline may reach outlineWidth further).
    std::int32_t MeasureText(std::string_view text) const;
    // Number of lines `text` lays out into (1 for an empty text).
    std::int32_t CountLines(std::string_view text) const;

private:
    LftFontData data_;
    // Index into data_.glyphs for every single-byte code, -1 where the font lacks it:
    // most text is ASCII, so those skip the binary search.
    std::int32_t singleByte_[256];
    // Index of the fallback glyph, -1 when the table lacks it. An index, not a pointer,
    // so that copies of a font stay self-contained.
    std::int32_t fallback_ = -1;
};

struct LftParseResult {
    LftError error = LftError::None;
    std::optional<LftFont> font;  // empty exactly when error is not None
};

// Reads a whole .lft file. Refuses, with a named error, anything malformed; never reads
// outside `bytes`.
LftParseResult ParseLft(std::span<const std::uint8_t> bytes);

// Writes `data` as a .lft file. The caller passes glyphs sorted by code; data that
// ParseLft would refuse is refused here too (empty result), so a baked file always reads.
std::vector<std::uint8_t> EncodeLft(const LftFontData& data);
// The check both directions share: LftError::None when `data` is a well-formed font.
LftError ValidateLft(const LftFontData& data);

// "<base>_<page>.<extension>", where base is `fontFileName` without its last extension
// (directory kept): ("font/Font_Azuki_32.lft", "tga", 0) -> "font/Font_Azuki_32_0.tga".
std::string LftPageFileName(std::string_view fontFileName, std::string_view extension, int page);

} // namespace Lumora::Internal
