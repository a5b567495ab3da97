#include "TextSetter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace picturegen {

struct TextSetter::Library {
    FT_Library library = nullptr;
    std::map<std::string, FT_Face> faces;
};

bool DecodeUtf8(const std::string& text, std::u32string* codePoints)
{
    codePoints->clear();
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t value = 0;
        if (lead < 0x80) {
            value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            value = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            value = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            value = lead & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size() && extra > 0) return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = (value << 6) | (next & 0x3F);
        }
        codePoints->push_back(value);
        i += 1 + extra;
    }
    return true;
}

TextSetter::TextSetter() : library_(std::make_unique<Library>())
{
    if (FT_Init_FreeType(&library_->library) != 0) library_->library = nullptr;
}

TextSetter::~TextSetter()
{
    for (auto& [name, face] : library_->faces) FT_Done_Face(face);
    if (library_->library) FT_Done_FreeType(library_->library);
}

bool TextSetter::AddFont(const std::string& name, const std::string& path, std::string* error)
{
    if (!library_->library) {
        *error = "FreeType could not be initialised";
        return false;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library_->library, path.c_str(), 0, &face) != 0) {
        *error = "cannot open font file " + path;
        return false;
    }
    auto found = library_->faces.find(name);
    if (found != library_->faces.end()) FT_Done_Face(found->second);
    library_->faces[name] = face;
    return true;
}

bool TextSetter::HasFont(const std::string& name) const { return library_->faces.count(name) != 0; }

namespace {

// Walks the string's glyphs at one size, calling visit(glyph slot, pen x) for each.
template <typename Visit>
bool WalkGlyphs(FT_Face face, float size, const std::u32string& codePoints, bool render, Visit visit, float* advance,
    std::string* error)
{
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(size * 64)), 72, 72);
    float pen = 0;
    FT_UInt previous = 0;
    for (char32_t code : codePoints) {
        const FT_UInt index = FT_Get_Char_Index(face, code);
        if (index == 0 && code != U' ') {
            *error = "the font has no glyph for U+" + [&] {
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(code));
                return std::string(buffer);
            }();
            return false;
        }
        if (previous != 0 && FT_HAS_KERNING(face)) {
            FT_Vector kerning{};
            FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kerning);
            pen += kerning.x / 64.0f;
        }
        if (FT_Load_Glyph(face, index, render ? FT_LOAD_RENDER : FT_LOAD_DEFAULT) != 0) {
            *error = "FreeType cannot load a glyph";
            return false;
        }
        visit(face->glyph, pen);
        pen += face->glyph->advance.x / 64.0f;
        previous = index;
    }
    *advance = pen;
    return true;
}

}  // namespace

bool TextSetter::Measure(const std::string& font, float size, const std::string& text, float* width, std::string* error)
{
    auto found = library_->faces.find(font);
    if (found == library_->faces.end()) {
        *error = "unknown font " + font;
        return false;
    }
    std::u32string codePoints;
    if (!DecodeUtf8(text, &codePoints)) {
        *error = "text is not valid UTF-8";
        return false;
    }
    return WalkGlyphs(found->second, size, codePoints, false, [](FT_GlyphSlot, float) {}, width, error);
}

bool TextSetter::Set(Mask& mask, const std::string& font, float size, const std::string& text, float anchorX,
    TextAnchor anchor, float middleY, float maxWidth, TextLayout* layout, std::string* error)
{
    auto found = library_->faces.find(font);
    if (found == library_->faces.end()) {
        *error = "unknown font " + font;
        return false;
    }
    FT_Face face = found->second;
    std::u32string codePoints;
    if (!DecodeUtf8(text, &codePoints)) {
        *error = "text is not valid UTF-8";
        return false;
    }
    if (size <= 0) {
        *error = "text size must be positive";
        return false;
    }
    float width = 0;
    if (!Measure(font, size, text, &width, error)) return false;
    // Shrink in small steps until the text fits; a size below 6 px would be unreadable,
    // so that is reported instead of drawn.
    while (maxWidth > 0 && width > maxWidth) {
        size *= 0.96f;
        if (size < 6) {
            *error = "\"" + text + "\" does not fit in " + std::to_string(static_cast<int>(maxWidth)) + " pixels";
            return false;
        }
        if (!Measure(font, size, text, &width, error)) return false;
    }

    // Vertical middle from the ink of a reference string at this size.
    std::u32string reference = U"\u3042A";
    float inkTop = 0, inkBottom = 0, ignored = 0;
    bool anyInk = false;
    std::string referenceError;
    std::u32string usable;
    for (char32_t c : reference)
        if (FT_Get_Char_Index(face, c) != 0) usable.push_back(c);
    WalkGlyphs(face, size, usable, true, [&](FT_GlyphSlot slot, float) {
        const float top = -static_cast<float>(slot->bitmap_top);
        const float bottom = top + slot->bitmap.rows;
        inkTop = anyInk ? std::min(inkTop, top) : top;
        inkBottom = anyInk ? std::max(inkBottom, bottom) : bottom;
        anyInk = true;
    }, &ignored, &referenceError);
    const float baseline = std::round(middleY - (inkTop + inkBottom) / 2);

    float left = anchorX;
    if (anchor == TextAnchor::Centre) left = anchorX - width / 2;
    if (anchor == TextAnchor::Right) left = anchorX - width;
    if (anchor == TextAnchor::InkCentre) {
        float inkLeft = 0, inkRight = 0, ignoredAdvance = 0;
        bool inked = false;
        if (!WalkGlyphs(face, size, codePoints, true, [&](FT_GlyphSlot slot, float pen) {
                if (slot->bitmap.width == 0) return;
                const float glyphLeft = std::round(pen) + slot->bitmap_left;
                const float glyphRight = glyphLeft + slot->bitmap.width;
                inkLeft = inked ? std::min(inkLeft, glyphLeft) : glyphLeft;
                inkRight = inked ? std::max(inkRight, glyphRight) : glyphRight;
                inked = true;
            }, &ignoredAdvance, error))
            return false;
        left = inked ? anchorX - (inkLeft + inkRight) / 2 : anchorX - width / 2;
    }
    left = std::round(left);

    float advance = 0;
    const bool drawn = WalkGlyphs(face, size, codePoints, true, [&](FT_GlyphSlot slot, float pen) {
        const FT_Bitmap& bitmap = slot->bitmap;
        const int originX = static_cast<int>(std::lround(left + pen)) + slot->bitmap_left;
        const int originY = static_cast<int>(baseline) - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const int x = originX + static_cast<int>(column), y = originY + static_cast<int>(row);
                if (x < 0 || y < 0 || x >= mask.Width() || y >= mask.Height()) continue;
                const float value = bitmap.buffer[row * bitmap.pitch + column] / 255.0f;
                mask.At(x, y) = std::max(mask.At(x, y), value);
            }
        }
    }, &advance, error);
    if (!drawn) return false;
    if (layout) *layout = TextLayout{size, width, baseline};
    return true;
}

}  // namespace picturegen
