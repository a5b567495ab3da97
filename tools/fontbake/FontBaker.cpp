// FontBaker.cpp: FreeType rendering, outline dilation, shelf packing and TGA pages.
#include "FontBaker.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace Tomarugi::FontBake {

namespace Lft = Lumora::Internal;

namespace {

// glibc iconv descriptor with its close tied to scope.
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `input`; false when any byte sequence does not convert.
    bool Convert(std::string_view input, std::string& output) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // reset shift state
        output.clear();
        std::string buffer(input.size() * 4 + 16, '\0');
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        if (iconv(handle_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
            return false;
        }
        if (iconv(handle_, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            return false;
        }
        output.assign(buffer.data(), buffer.size() - outLeft);
        return true;
    }

private:
    iconv_t handle_;
};

bool IsPrintable(char32_t unicode) {
    if (unicode < 0x20 || (unicode >= 0x7F && unicode < 0xA0)) {
        return false;  // C0 and C1 control codes
    }
    return !(unicode >= 0xE000 && unicode <= 0xF8FF);  // private use: no font draws it
}

char32_t DecodeUtf32Le(const std::string& bytes) {
    return static_cast<char32_t>(static_cast<std::uint8_t>(bytes[0])) |
           (static_cast<char32_t>(static_cast<std::uint8_t>(bytes[1])) << 8) |
           (static_cast<char32_t>(static_cast<std::uint8_t>(bytes[2])) << 16) |
           (static_cast<char32_t>(static_cast<std::uint8_t>(bytes[3])) << 24);
}

// One distinct character as rendered: several codes may share it (code page 932 has
// duplicate vendor rows), and they then share the page rect too.
struct RenderedGlyph {
    char32_t unicode = 0;
    int width = 0;    // cell size including the outline margin, pixels
    int height = 0;
    int bearingX = 0;
    int bearingY = 0;
    int advance = 0;
    std::vector<std::uint8_t> fill;     // width * height coverage
    std::vector<std::uint8_t> outline;  // width * height coverage
    int page = 0;
    int x = 0;
    int y = 0;
};

// Outline coverage: the glyph's shape grown by `radius` pixels. A pixel of coverage c
// (as a fraction) is taken to hold shape reaching c pixels out from it; grown by the
// radius, that covers a pixel d pixels away by about clamp(radius + c - d, 0, 1), and each
// pixel takes the largest such value over its neighbours. Thin, antialiased strokes thus still get a solid outline (a plain
// grey dilation would give them a faint one), the outline includes the glyph itself
// (outline >= fill everywhere), and it reaches at most radius + 1 pixels past the
// glyph's bitmap: the margin RenderGlyph leaves around it.
int OutlineMargin(int radius) {
    return radius > 0 ? radius + 1 : 0;
}

void Dilate(RenderedGlyph& glyph, int radius) {
    glyph.outline.assign(glyph.fill.size(), 0);
    struct Tap {
        int dx, dy, base;  // base: (radius - distance) in 1/255 units
    };
    std::vector<Tap> taps;
    const int reach = OutlineMargin(radius);
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const double distance = std::sqrt(double(dx * dx + dy * dy));
            if (distance < radius + 1.0) {
                taps.push_back({dx, dy, static_cast<int>(std::lround((radius - distance) * 255.0))});
            }
        }
    }
    for (int y = 0; y < glyph.height; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            const int coverage = glyph.fill[static_cast<std::size_t>(y * glyph.width + x)];
            if (coverage == 0) {
                continue;
            }
            for (const Tap& tap : taps) {
                const int tx = x + tap.dx;
                const int ty = y + tap.dy;
                if (tx < 0 || ty < 0 || tx >= glyph.width || ty >= glyph.height) {
                    continue;
                }
                const int value = std::clamp(tap.base + coverage, 0, 255);
                std::uint8_t& target = glyph.outline[static_cast<std::size_t>(ty * glyph.width + tx)];
                target = static_cast<std::uint8_t>(std::max<int>(target, value));
            }
        }
    }
}

struct FreeTypeLibrary {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeLibrary() {
        if (face != nullptr) {
            FT_Done_Face(face);
        }
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }
};

bool RenderGlyph(FT_Face face, char32_t unicode, int radius, RenderedGlyph& glyph) {
    const FT_UInt index = FT_Get_Char_Index(face, unicode);
    if (index == 0) {
        return false;
    }
    // Light hinting keeps the designed shapes of kana and kanji (full hinting distorts
    // thin strokes at these sizes) while snapping heights to whole pixels.
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT) != 0 ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
        return false;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.unicode = unicode;
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (bitmap.width == 0 || bitmap.rows == 0 || bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
        return true;  // no pixels (a space): advance only
    }
    const int margin = OutlineMargin(radius);
    glyph.width = static_cast<int>(bitmap.width) + 2 * margin;
    glyph.height = static_cast<int>(bitmap.rows) + 2 * margin;
    glyph.bearingX = slot->bitmap_left - margin;
    glyph.bearingY = slot->bitmap_top + margin;
    glyph.fill.assign(static_cast<std::size_t>(glyph.width * glyph.height), 0);
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* source = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        std::uint8_t* target =
            glyph.fill.data() + static_cast<std::size_t>((static_cast<int>(row) + margin) * glyph.width + margin);
        std::copy(source, source + bitmap.width, target);
    }
    Dilate(glyph, radius);
    return true;
}

} // namespace

std::vector<CharsetEntry> EnumerateCp932() {
    std::vector<CharsetEntry> entries;
    Converter converter("UTF-32LE", "CP932");
    if (!converter.Valid()) {
        return entries;
    }
    std::string utf32;
    auto tryCode = [&](SjisCode code, std::string_view bytes) {
        if (converter.Convert(bytes, utf32) && utf32.size() == 4) {
            const char32_t unicode = DecodeUtf32Le(utf32);
            if (IsPrintable(unicode)) {
                entries.push_back({code, unicode});
            }
        }
    };
    for (int byte = 0x00; byte <= 0xDF; ++byte) {
        if (Lft::IsValidSjisCode(static_cast<SjisCode>(byte))) {
            const char single = static_cast<char>(byte);
            tryCode(static_cast<SjisCode>(byte), std::string_view(&single, 1));
        }
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const auto code = static_cast<SjisCode>((lead << 8) | trail);
            if (!Lft::IsValidSjisCode(code)) {
                continue;
            }
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            tryCode(code, std::string_view(pair, 2));
        }
    }
    return entries;
}

bool Utf8ToSjis(std::string_view text, std::string& sjis) {
    Converter converter("CP932", "UTF-8");
    return converter.Valid() && converter.Convert(text, sjis);
}

bool CharsetFromUtf8(std::string_view text, std::vector<CharsetEntry>& entries, std::string& error) {
    Converter toUtf32("UTF-32LE", "UTF-8");
    Converter toSjis("CP932", "UTF-32LE");
    if (!toUtf32.Valid() || !toSjis.Valid()) {
        error = "iconv has no CP932 converter";
        return false;
    }
    std::string utf32;
    if (!toUtf32.Convert(text, utf32)) {
        error = "character set text is not valid UTF-8";
        return false;
    }
    std::map<SjisCode, char32_t> byCode;
    std::string sjis;
    for (std::size_t i = 0; i + 4 <= utf32.size(); i += 4) {
        const std::string one = utf32.substr(i, 4);
        const char32_t unicode = DecodeUtf32Le(one);
        if (!IsPrintable(unicode)) {
            continue;
        }
        if (!toSjis.Convert(one, sjis) || sjis.empty() || sjis.size() > 2) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(unicode));
            error = std::string("character ") + hex + " has no code page 932 code";
            return false;
        }
        SjisCode code = static_cast<std::uint8_t>(sjis[0]);
        if (sjis.size() == 2) {
            code = static_cast<SjisCode>((code << 8) | static_cast<std::uint8_t>(sjis[1]));
        }
        byCode.emplace(code, unicode);
    }
    entries.clear();
    for (const auto& [code, unicode] : byCode) {
        entries.push_back({code, unicode});
    }
    return true;
}

bool BakeFont(const BakeSettings& settings, const std::vector<CharsetEntry>& charset, BakedFont& baked,
              std::string& error) {
    baked = BakedFont{};
    if (settings.pixelSize < 4 || settings.pixelSize > 512) {
        error = "pixel size must be 4..512";
        return false;
    }
    if (settings.outlineWidth < 0 || settings.outlineWidth > static_cast<int>(Lft::kLftMaxOutlineWidth)) {
        error = "outline width must be 0.." + std::to_string(Lft::kLftMaxOutlineWidth);
        return false;
    }
    if (settings.pageSize < 16 || settings.pageSize > static_cast<int>(Lft::kLftMaxPageSide)) {
        error = "page size must be 16.." + std::to_string(Lft::kLftMaxPageSide);
        return false;
    }
    FreeTypeLibrary freeType;
    if (FT_Init_FreeType(&freeType.library) != 0) {
        error = "FreeType did not start";
        return false;
    }
    if (FT_New_Face(freeType.library, settings.fontPath.c_str(), settings.faceIndex, &freeType.face) != 0) {
        error = "cannot open font " + settings.fontPath;
        return false;
    }
    FT_Face face = freeType.face;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(settings.pixelSize)) != 0) {
        error = "font " + settings.fontPath + " cannot be set to " + std::to_string(settings.pixelSize) + " px";
        return false;
    }
    const int radius = settings.outlineWidth;

    // Render each distinct character once.
    std::map<char32_t, std::size_t> indexOf;
    std::vector<RenderedGlyph> rendered;
    std::vector<std::pair<SjisCode, std::size_t>> codes;  // code -> rendered glyph
    for (const CharsetEntry& entry : charset) {
        auto found = indexOf.find(entry.unicode);
        if (found == indexOf.end()) {
            RenderedGlyph glyph;
            if (!RenderGlyph(face, entry.unicode, radius, glyph)) {
                baked.missing.push_back(entry);
                continue;
            }
            found = indexOf.emplace(entry.unicode, rendered.size()).first;
            rendered.push_back(std::move(glyph));
        }
        codes.emplace_back(entry.code, found->second);
    }
    if (codes.empty()) {
        error = "the font has none of the requested characters";
        return false;
    }

    // Shelf packing, tallest first: glyphs of one size are nearly the same height, so the
    // shelves fill well; a one-pixel gap keeps filtered sampling from bleeding across.
    std::vector<std::size_t> order(rendered.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (rendered[a].height != rendered[b].height) {
            return rendered[a].height > rendered[b].height;
        }
        return rendered[a].unicode < rendered[b].unicode;
    });
    const int pageSide = settings.pageSize;
    constexpr int kGap = 1;
    int page = 0;
    int penX = 0;
    int shelfY = 0;
    int shelfHeight = 0;
    bool pageUsed = false;
    for (const std::size_t index : order) {
        RenderedGlyph& glyph = rendered[index];
        if (glyph.width == 0) {
            continue;
        }
        if (glyph.width > pageSide || glyph.height > pageSide) {
            error = "glyph U+" + std::to_string(static_cast<std::uint32_t>(glyph.unicode)) +
                    " is larger than a page";
            return false;
        }
        if (penX + glyph.width > pageSide) {
            penX = 0;
            shelfY += shelfHeight + kGap;
            shelfHeight = 0;
        }
        if (shelfY + glyph.height > pageSide) {
            ++page;
            penX = 0;
            shelfY = 0;
            shelfHeight = 0;
        }
        glyph.page = page;
        glyph.x = penX;
        glyph.y = shelfY;
        penX += glyph.width + kGap;
        shelfHeight = std::max(shelfHeight, glyph.height);
        pageUsed = true;
    }
    const int pageCount = pageUsed ? page + 1 : 1;
    if (pageCount > static_cast<int>(Lft::kLftMaxPages)) {
        error = "the character set needs more than " + std::to_string(Lft::kLftMaxPages) + " pages";
        return false;
    }

    const std::size_t pageBytes = static_cast<std::size_t>(pageSide) * static_cast<std::size_t>(pageSide) * 2;
    baked.pages.assign(static_cast<std::size_t>(pageCount), std::vector<std::uint8_t>(pageBytes, 0));
    for (const RenderedGlyph& glyph : rendered) {
        std::vector<std::uint8_t>& pixels = baked.pages[static_cast<std::size_t>(glyph.page)];
        for (int y = 0; y < glyph.height; ++y) {
            for (int x = 0; x < glyph.width; ++x) {
                const std::size_t source = static_cast<std::size_t>(y * glyph.width + x);
                const std::size_t target =
                    (static_cast<std::size_t>(glyph.y + y) * static_cast<std::size_t>(pageSide) +
                     static_cast<std::size_t>(glyph.x + x)) * 2;
                pixels[target] = glyph.fill[source];
                pixels[target + 1] = glyph.outline[source];
            }
        }
    }

    if (settings.highResolution) {
        // The 2x glyphs are placed by their own bearings against the 1x cell's doubled
        // origin: the pen and baseline scale exactly, the bitmaps' rounding does not.
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(settings.pixelSize * 2)) != 0) {
            error = "font " + settings.fontPath + " cannot be set to " + std::to_string(settings.pixelSize * 2) + " px";
            return false;
        }
        const int side = pageSide * 2;
        const std::size_t largeBytes = static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 2;
        baked.highResolutionPages.assign(static_cast<std::size_t>(pageCount), std::vector<std::uint8_t>(largeBytes, 0));
        for (const RenderedGlyph& glyph : rendered) {
            if (glyph.width == 0) {
                continue;
            }
            RenderedGlyph large;
            if (!RenderGlyph(face, glyph.unicode, radius * 2, large)) {
                continue; // present at 1x, so present at 2x; a face that says otherwise keeps 1x
            }
            const int offsetX = large.bearingX - 2 * glyph.bearingX;
            const int offsetY = 2 * glyph.bearingY - large.bearingY;
            std::vector<std::uint8_t>& pixels = baked.highResolutionPages[static_cast<std::size_t>(glyph.page)];
            for (int y = 0; y < large.height; ++y) {
                const int cellY = offsetY + y;
                if (cellY < 0 || cellY >= glyph.height * 2) {
                    continue;
                }
                for (int x = 0; x < large.width; ++x) {
                    const int cellX = offsetX + x;
                    if (cellX < 0 || cellX >= glyph.width * 2) {
                        continue;
                    }
                    const std::size_t source = static_cast<std::size_t>(y * large.width + x);
                    const std::size_t target = (static_cast<std::size_t>(glyph.y * 2 + cellY) * static_cast<std::size_t>(side) +
                                                static_cast<std::size_t>(glyph.x * 2 + cellX)) * 2;
                    pixels[target] = large.fill[source];
                    pixels[target + 1] = large.outline[source];
                }
            }
        }
    }

    Lft::LftFontData& data = baked.data;
    // Line metrics from the face's own ascender and descender, in whole pixels; the
    // outline may reach outlineWidth past them, as it reaches past each glyph.
    const double scale = double(settings.pixelSize) / double(face->units_per_EM);
    const int ascent = static_cast<int>(std::lround(face->ascender * scale));
    const int descent = static_cast<int>(std::lround(-face->descender * scale));
    data.ascent = static_cast<std::uint16_t>(std::max(ascent, 0));
    data.lineHeight = static_cast<std::uint16_t>(std::max(ascent + descent, 1));
    data.outlineWidth = static_cast<std::uint16_t>(radius);
    data.pageCount = static_cast<std::uint16_t>(pageCount);
    data.pageWidth = static_cast<std::uint16_t>(pageSide);
    data.pageHeight = static_cast<std::uint16_t>(pageSide);
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                codes.end());
    for (const auto& [code, index] : codes) {
        const RenderedGlyph& glyph = rendered[index];
        Lft::LftGlyph out;
        out.code = code;
        out.page = static_cast<std::uint16_t>(glyph.page);
        out.x = static_cast<std::uint16_t>(glyph.x);
        out.y = static_cast<std::uint16_t>(glyph.y);
        out.width = static_cast<std::uint16_t>(glyph.width);
        out.height = static_cast<std::uint16_t>(glyph.height);
        out.bearingX = static_cast<std::int16_t>(glyph.bearingX);
        out.bearingY = static_cast<std::int16_t>(glyph.bearingY);
        out.advance = static_cast<std::int16_t>(glyph.advance);
        data.glyphs.push_back(out);
    }
    // The replacement for codes the font lacks: the white square (the conventional
    // "no glyph" box of Japanese text) when baked, else '?', else the first glyph.
    auto has = [&](SjisCode code) {
        return std::any_of(data.glyphs.begin(), data.glyphs.end(),
                           [&](const Lft::LftGlyph& glyph) { return glyph.code == code; });
    };
    data.fallbackCode = has(0x81A0) ? SjisCode{0x81A0} : has('?') ? SjisCode{'?'} : data.glyphs.front().code;
    if (const Lft::LftError check = Lft::ValidateLft(data); check != Lft::LftError::None) {
        error = std::string("baked font does not validate: ") + Lft::DescribeLftError(check);
        return false;
    }
    return true;
}

std::vector<std::uint8_t> EncodePageTga(const std::vector<std::uint8_t>& pixels, int width, int height) {
    std::vector<std::uint8_t> out(18, 0);
    out[2] = 11;  // run-length encoded greyscale
    out[12] = static_cast<std::uint8_t>(width & 0xFF);
    out[13] = static_cast<std::uint8_t>(width >> 8);
    out[14] = static_cast<std::uint8_t>(height & 0xFF);
    out[15] = static_cast<std::uint8_t>(height >> 8);
    out[16] = 16;    // bits per pixel: 8 grey + 8 alpha
    out[17] = 0x28;  // 8 alpha bits, rows stored top first
    auto pixelAt = [&](int x, int y) {
        const std::size_t offset = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                    static_cast<std::size_t>(x)) * 2;
        return static_cast<std::uint16_t>(pixels[offset] | (pixels[offset + 1] << 8));
    };
    // Packets never cross a row, as the format asks; at most 128 pixels each.
    for (int y = 0; y < height; ++y) {
        int x = 0;
        while (x < width) {
            const std::uint16_t value = pixelAt(x, y);
            int run = 1;
            while (x + run < width && run < 128 && pixelAt(x + run, y) == value) {
                ++run;
            }
            if (run >= 2) {
                out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
                out.push_back(static_cast<std::uint8_t>(value & 0xFF));
                out.push_back(static_cast<std::uint8_t>(value >> 8));
                x += run;
                continue;
            }
            // Literal packet: up to the next pair of equal pixels.
            int count = 1;
            while (x + count < width && count < 128 &&
                   !(x + count + 1 < width && pixelAt(x + count, y) == pixelAt(x + count + 1, y))) {
                ++count;
            }
            out.push_back(static_cast<std::uint8_t>(count - 1));
            for (int i = 0; i < count; ++i) {
                const std::uint16_t literal = pixelAt(x + i, y);
                out.push_back(static_cast<std::uint8_t>(literal & 0xFF));
                out.push_back(static_cast<std::uint8_t>(literal >> 8));
            }
            x += count;
        }
    }
    return out;
}

bool WriteBakedFont(const BakedFont& baked, const std::string& outputBase, std::string& error) {
    auto writeFile = [&](const std::string& path, const std::vector<std::uint8_t>& bytes) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            error = "cannot write " + path;
            return false;
        }
        return true;
    };
    const std::vector<std::uint8_t> lft = Lft::EncodeLft(baked.data);
    if (lft.empty()) {
        error = "font data does not validate";
        return false;
    }
    const std::string lftPath = outputBase + ".lft";
    for (std::size_t page = 0; page < baked.pages.size(); ++page) {
        const std::string pagePath = Lft::LftPageFileName(lftPath, "tga", static_cast<int>(page));
        if (!writeFile(pagePath, EncodePageTga(baked.pages[page], baked.data.pageWidth, baked.data.pageHeight))) {
            return false;
        }
    }
    const auto largePagePath = [&](int page) {
        const std::string path = Lft::LftPageFileName(lftPath, "tga", page);
        return path.substr(0, path.size() - 4) + "@2x.tga";
    };
    for (std::size_t page = 0; page < baked.highResolutionPages.size(); ++page) {
        if (!writeFile(largePagePath(static_cast<int>(page)),
                       EncodePageTga(baked.highResolutionPages[page], baked.data.pageWidth * 2, baked.data.pageHeight * 2))) {
            return false;
        }
    }
    // Pages beyond the new count belong to an earlier bake; left behind they would be
    // packed with the font for nothing.
    for (int stale = static_cast<int>(baked.pages.size());; ++stale) {
        std::error_code ignored;
        if (!std::filesystem::remove(Lft::LftPageFileName(lftPath, "tga", stale), ignored)) {
            break;
        }
    }
    for (int stale = static_cast<int>(baked.highResolutionPages.size());; ++stale) {
        std::error_code ignored;
        if (!std::filesystem::remove(largePagePath(stale), ignored)) {
            break;
        }
    }
    return writeFile(lftPath, lft);
}

} // namespace Tomarugi::FontBake
