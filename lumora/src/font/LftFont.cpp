// LftFont.cpp: reading, checking, writing and laying out .lft bitmap fonts.
#include "LftFont.h"

#include <algorithm>
#include <cstring>

namespace Lumora::Internal {

namespace {

// Header offsets in bytes (all little-endian).
constexpr std::size_t kOffsetMagic = 0;
constexpr std::size_t kOffsetVersion = 4;
constexpr std::size_t kOffsetLineHeight = 6;
constexpr std::size_t kOffsetAscent = 8;
constexpr std::size_t kOffsetOutlineWidth = 10;
constexpr std::size_t kOffsetGlyphCount = 12;
constexpr std::size_t kOffsetPageCount = 16;
constexpr std::size_t kOffsetPageWidth = 18;
constexpr std::size_t kOffsetPageHeight = 20;
constexpr std::size_t kOffsetFallbackCode = 22;
// Bytes 24..31 are reserved: written as zero, ignored by this version.

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void WriteU16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteU32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

bool IsSjisTrailByte(std::uint8_t byte) {
    return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

bool IsSjisSingleByte(std::uint8_t byte) {
    return byte <= 0x7F || (byte >= 0xA1 && byte <= 0xDF);
}

bool MetricInRange(std::int32_t value) {
    return value >= -kLftMaxMetric && value <= kLftMaxMetric;
}

LftError ValidateHeader(const LftFontData& data) {
    if (data.lineHeight == 0 || data.lineHeight > kLftMaxLineHeight ||
        data.ascent > kLftMaxLineHeight || data.pageCount == 0 || data.pageCount > kLftMaxPages ||
        data.pageWidth == 0 || data.pageWidth > kLftMaxPageSide || data.pageHeight == 0 ||
        data.pageHeight > kLftMaxPageSide || data.outlineWidth > kLftMaxOutlineWidth) {
        return LftError::AbsurdHeader;
    }
    return LftError::None;
}

// Walks one Shift-JIS string and calls `onCode(code)` per code and `onNewLine()` per
// '\n', with the rules LayoutText documents. Layout and measuring share it so that the
// width reported is the width drawn.
template <typename OnCode, typename OnNewLine>
void WalkSjis(std::string_view text, OnCode onCode, OnNewLine onNewLine) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (byte == '\n') {
            onNewLine();
            ++i;
            continue;
        }
        if (byte == '\r') {
            ++i;
            continue;
        }
        if (IsSjisLeadByte(byte)) {
            if (i + 1 >= text.size()) {
                break;  // a lead byte cut off by the end of the text is dropped
            }
            const auto trail = static_cast<std::uint8_t>(text[i + 1]);
            if (IsSjisTrailByte(trail)) {
                onCode(static_cast<SjisCode>((byte << 8) | trail));
                i += 2;
                continue;
            }
            // Not a trail: the lead byte stands alone (drawn as missing) and the next byte
            // is read afresh, so a broken pair cannot swallow a newline or an ASCII letter.
        }
        onCode(static_cast<SjisCode>(byte));
        ++i;
    }
}

} // namespace

bool IsSjisLeadByte(std::uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsValidSjisCode(SjisCode code) {
    if (code <= 0xFF) {
        return IsSjisSingleByte(static_cast<std::uint8_t>(code));
    }
    return IsSjisLeadByte(static_cast<std::uint8_t>(code >> 8)) &&
           IsSjisTrailByte(static_cast<std::uint8_t>(code & 0xFF));
}

const char* DescribeLftError(LftError error) {
    switch (error) {
    case LftError::None: return "no error";
    case LftError::TooShort: return "file is shorter than a font header";
    case LftError::BadMagic: return "not a font file (wrong magic)";
    case LftError::UnsupportedVersion: return "unsupported font file version";
    case LftError::AbsurdHeader: return "line height, page size, page count or outline width out of range";
    case LftError::NoGlyphs: return "font has no glyphs";
    case LftError::SizeMismatch: return "glyph count does not match the file length";
    case LftError::InvalidCode: return "glyph code is not a Shift-JIS code";
    case LftError::UnsortedCodes: return "glyph codes are not sorted";
    case LftError::DuplicateCode: return "glyph code appears twice";
    case LftError::PageOutOfRange: return "glyph refers to a page the font does not have";
    case LftError::RectOutsidePage: return "glyph rectangle lies outside its page";
    case LftError::AbsurdMetrics: return "glyph bearing or advance out of range";
    case LftError::MissingFallback: return "fallback glyph is missing";
    }
    return "unknown font error";
}

LftError ValidateLft(const LftFontData& data) {
    if (const LftError header = ValidateHeader(data); header != LftError::None) {
        return header;
    }
    if (data.glyphs.empty()) {
        return LftError::NoGlyphs;
    }
    bool fallbackFound = false;
    for (std::size_t i = 0; i < data.glyphs.size(); ++i) {
        const LftGlyph& glyph = data.glyphs[i];
        if (!IsValidSjisCode(glyph.code)) {
            return LftError::InvalidCode;
        }
        if (i > 0) {
            const SjisCode previous = data.glyphs[i - 1].code;
            if (glyph.code == previous) {
                return LftError::DuplicateCode;
            }
            if (glyph.code < previous) {
                return LftError::UnsortedCodes;
            }
        }
        if (glyph.page >= data.pageCount) {
            return LftError::PageOutOfRange;
        }
        if (std::uint32_t{glyph.x} + glyph.width > data.pageWidth ||
            std::uint32_t{glyph.y} + glyph.height > data.pageHeight) {
            return LftError::RectOutsidePage;
        }
        if (!MetricInRange(glyph.bearingX) || !MetricInRange(glyph.bearingY) ||
            !MetricInRange(glyph.advance)) {
            return LftError::AbsurdMetrics;
        }
        fallbackFound = fallbackFound || glyph.code == data.fallbackCode;
    }
    return fallbackFound ? LftError::None : LftError::MissingFallback;
}

LftParseResult ParseLft(std::span<const std::uint8_t> bytes) {
    LftParseResult result;
    if (bytes.size() < kLftHeaderSize) {
        result.error = LftError::TooShort;
        return result;
    }
    const std::uint8_t* header = bytes.data();
    if (std::memcmp(header + kOffsetMagic, kLftMagic, sizeof kLftMagic) != 0) {
        result.error = LftError::BadMagic;
        return result;
    }
    if (ReadU16(header + kOffsetVersion) != kLftVersion) {
        result.error = LftError::UnsupportedVersion;
        return result;
    }
    LftFontData data;
    data.lineHeight = ReadU16(header + kOffsetLineHeight);
    data.ascent = ReadU16(header + kOffsetAscent);
    data.outlineWidth = ReadU16(header + kOffsetOutlineWidth);
    data.pageCount = ReadU16(header + kOffsetPageCount);
    data.pageWidth = ReadU16(header + kOffsetPageWidth);
    data.pageHeight = ReadU16(header + kOffsetPageHeight);
    data.fallbackCode = ReadU16(header + kOffsetFallbackCode);
    if (const LftError error = ValidateHeader(data); error != LftError::None) {
        result.error = error;
        return result;
    }
    const std::uint32_t glyphCount = ReadU32(header + kOffsetGlyphCount);
    if (glyphCount == 0) {
        result.error = LftError::NoGlyphs;
        return result;
    }
    // Compare in 64 bits: the count comes from the file and must not wrap the product.
    const std::uint64_t expected =
        kLftHeaderSize + std::uint64_t{glyphCount} * kLftGlyphRecordSize;
    if (expected != bytes.size()) {
        result.error = LftError::SizeMismatch;
        return result;
    }
    data.glyphs.resize(glyphCount);
    const std::uint8_t* record = bytes.data() + kLftHeaderSize;
    for (LftGlyph& glyph : data.glyphs) {
        glyph.code = ReadU16(record + 0);
        glyph.page = ReadU16(record + 2);
        glyph.x = ReadU16(record + 4);
        glyph.y = ReadU16(record + 6);
        glyph.width = ReadU16(record + 8);
        glyph.height = ReadU16(record + 10);
        glyph.bearingX = static_cast<std::int16_t>(ReadU16(record + 12));
        glyph.bearingY = static_cast<std::int16_t>(ReadU16(record + 14));
        glyph.advance = static_cast<std::int16_t>(ReadU16(record + 16));
        record += kLftGlyphRecordSize;
    }
    if (const LftError error = ValidateLft(data); error != LftError::None) {
        result.error = error;
        return result;
    }
    result.font.emplace(std::move(data));
    return result;
}

std::vector<std::uint8_t> EncodeLft(const LftFontData& data) {
    if (ValidateLft(data) != LftError::None) {
        return {};
    }
    std::vector<std::uint8_t> bytes(kLftHeaderSize + data.glyphs.size() * kLftGlyphRecordSize, 0);
    std::uint8_t* header = bytes.data();
    std::memcpy(header + kOffsetMagic, kLftMagic, sizeof kLftMagic);
    WriteU16(header + kOffsetVersion, kLftVersion);
    WriteU16(header + kOffsetLineHeight, data.lineHeight);
    WriteU16(header + kOffsetAscent, data.ascent);
    WriteU16(header + kOffsetOutlineWidth, data.outlineWidth);
    WriteU32(header + kOffsetGlyphCount, static_cast<std::uint32_t>(data.glyphs.size()));
    WriteU16(header + kOffsetPageCount, data.pageCount);
    WriteU16(header + kOffsetPageWidth, data.pageWidth);
    WriteU16(header + kOffsetPageHeight, data.pageHeight);
    WriteU16(header + kOffsetFallbackCode, data.fallbackCode);
    std::uint8_t* record = bytes.data() + kLftHeaderSize;
    for (const LftGlyph& glyph : data.glyphs) {
        WriteU16(record + 0, glyph.code);
        WriteU16(record + 2, glyph.page);
        WriteU16(record + 4, glyph.x);
        WriteU16(record + 6, glyph.y);
        WriteU16(record + 8, glyph.width);
        WriteU16(record + 10, glyph.height);
        WriteU16(record + 12, static_cast<std::uint16_t>(glyph.bearingX));
        WriteU16(record + 14, static_cast<std::uint16_t>(glyph.bearingY));
        WriteU16(record + 16, static_cast<std::uint16_t>(glyph.advance));
        record += kLftGlyphRecordSize;
    }
    return bytes;
}

LftFont::LftFont(LftFontData data) : data_(std::move(data)) {
    std::fill(std::begin(singleByte_), std::end(singleByte_), -1);
    for (std::size_t i = 0; i < data_.glyphs.size() && data_.glyphs[i].code <= 0xFF; ++i) {
        singleByte_[data_.glyphs[i].code] = static_cast<std::int32_t>(i);
    }
    if (const LftGlyph* fallback = FindGlyph(data_.fallbackCode)) {
        fallback_ = static_cast<std::int32_t>(fallback - data_.glyphs.data());
    }
}

const LftGlyph* LftFont::FindGlyph(SjisCode code) const {
    if (code <= 0xFF) {
        const std::int32_t index = singleByte_[code];
        return index < 0 ? nullptr : &data_.glyphs[static_cast<std::size_t>(index)];
    }
    const auto found = std::lower_bound(
        data_.glyphs.begin(), data_.glyphs.end(), code,
        [](const LftGlyph& glyph, SjisCode wanted) { return glyph.code < wanted; });
    return found != data_.glyphs.end() && found->code == code ? &*found : nullptr;
}

const LftGlyph& LftFont::GlyphOrFallback(SjisCode code) const {
    if (const LftGlyph* glyph = FindGlyph(code)) {
        return *glyph;
    }
    if (fallback_ >= 0) {
        return data_.glyphs[static_cast<std::size_t>(fallback_)];
    }
    // Fonts from ParseLft, or built from data that passed ValidateLft, always have their
    // fallback glyph; hand-built, unchecked data gets the first glyph or nothing.
    static const LftGlyph kNoGlyph{};
    return data_.glyphs.empty() ? kNoGlyph : data_.glyphs.front();
}

void LftFont::LayoutText(std::string_view text, float x, float y, std::vector<LftQuad>& quads) const {
    if (data_.glyphs.empty()) {
        return;
    }
    float penX = x;
    float lineTop = y;
    WalkSjis(
        text,
        [&](SjisCode code) {
            const LftGlyph& glyph = GlyphOrFallback(code);
            if (glyph.width != 0 && glyph.height != 0) {
                LftQuad quad;
                quad.page = glyph.page;
                quad.sourceX = glyph.x;
                quad.sourceY = glyph.y;
                quad.sourceWidth = glyph.width;
                quad.sourceHeight = glyph.height;
                quad.destinationX = penX + static_cast<float>(glyph.bearingX);
                quad.destinationY =
                    lineTop + static_cast<float>(data_.ascent) - static_cast<float>(glyph.bearingY);
                quad.destinationWidth = glyph.width;
                quad.destinationHeight = glyph.height;
                quads.push_back(quad);
            }
            penX += static_cast<float>(glyph.advance);
        },
        [&] {
            penX = x;
            lineTop += static_cast<float>(data_.lineHeight);
        });
}

std::int32_t LftFont::MeasureText(std::string_view text) const {
    if (data_.glyphs.empty()) {
        return 0;
    }
    std::int32_t widest = 0;
    std::int32_t line = 0;
    WalkSjis(
        text,
        [&](SjisCode code) {
            line += GlyphOrFallback(code).advance;
            widest = std::max(widest, line);
        },
        [&] { line = 0; });
    return widest;
}

std::int32_t LftFont::CountLines(std::string_view text) const {
    std::int32_t lines = 1;
    WalkSjis(text, [](SjisCode) {}, [&] { ++lines; });
    return lines;
}

std::string LftPageFileName(std::string_view fontFileName, std::string_view extension, int page) {
    std::string_view base = fontFileName;
    const std::size_t dot = base.find_last_of('.');
    const std::size_t separator = base.find_last_of("/\\");
    if (dot != std::string_view::npos && (separator == std::string_view::npos || dot > separator)) {
        base = base.substr(0, dot);
    }
    std::string name(base);
    name += '_';
    name += std::to_string(page);
    name += '.';
    name += extension;
    return name;
}

} // namespace Lumora::Internal
