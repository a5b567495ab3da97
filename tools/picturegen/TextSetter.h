// TextSetter: sets UTF-8 text into coverage masks with FreeType.
//
// Fonts are registered under short names from font files (OpenType or TrueType). Text is
// placed by its horizontal anchor (left, centre or right edge) and by its vertical middle,
// which is taken from the ink of a reference string ("あA") rather than from the string
// itself, so that labels with and without descenders or kana sit on one common baseline.
// A maximum width shrinks the size until the text fits: a label never runs off its row.
// The setter owns the FreeType library and faces; it is not thread-safe.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "Raster.h"

namespace picturegen {

// InkCentre centres the drawn pixels rather than the advance box: digits set cell by cell
// then sit in the middle of their cells whatever their side bearings.
enum class TextAnchor { Left, Centre, Right, InkCentre };

struct TextLayout {
    float size = 0;       // the pixel size actually used, after shrinking to fit
    float width = 0;      // advance width of the whole string at that size, in pixels
    float baseline = 0;   // y of the baseline in the picture
};

class TextSetter {
public:
    TextSetter();
    ~TextSetter();
    TextSetter(const TextSetter&) = delete;
    TextSetter& operator=(const TextSetter&) = delete;

    // False with *error set when the file cannot be opened as a font.
    bool AddFont(const std::string& name, const std::string& path, std::string* error);
    bool HasFont(const std::string& name) const;

    // Width in pixels of `text` at `size`. Characters the font lacks are an error: a
    // label with a missing glyph would ship as a blank box.
    bool Measure(const std::string& font, float size, const std::string& text, float* width, std::string* error);

    // Sets `text` into `mask` with its vertical middle at `middleY`. `maxWidth` <= 0 means
    // no limit. The layout that was used is written to *layout when given.
    bool Set(Mask& mask, const std::string& font, float size, const std::string& text, float anchorX, TextAnchor anchor,
        float middleY, float maxWidth, TextLayout* layout, std::string* error);

private:
    struct Library;
    std::unique_ptr<Library> library_;
};

// Decodes UTF-8 into code points; false on a malformed sequence.
bool DecodeUtf8(const std::string& text, std::u32string* codePoints);

}  // namespace picturegen
