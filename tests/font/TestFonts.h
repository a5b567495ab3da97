// Small hand-made fonts shared by the font tests.
#pragma once

#include "LftFont.h"

namespace FontTest {

using Lumora::Internal::LftFontData;
using Lumora::Internal::LftGlyph;

// Metrics chosen so that every position in a layout is a distinct, checkable number:
// line height 30, ascent 24; two 64x64 pages.
//   ' '  advance 5, no pixels       'A'  advance 10, 8x12 at bearing (1, 12)
//   '?'  advance 7 (the fallback)   ｱ (0xB1) advance 9
//   あ (0x82A0) advance 20, 18x20 on page 1 at bearing (2, 22)
inline LftFontData MakeTestFont() {
    LftFontData data;
    data.lineHeight = 30;
    data.ascent = 24;
    data.pageCount = 2;
    data.pageWidth = 64;
    data.pageHeight = 64;
    data.outlineWidth = 1;
    data.fallbackCode = '?';
    data.glyphs = {
        LftGlyph{' ', 0, 0, 0, 0, 0, 0, 0, 5},
        LftGlyph{'?', 0, 10, 0, 6, 12, 0, 12, 7},
        LftGlyph{'A', 0, 0, 0, 8, 12, 1, 12, 10},
        LftGlyph{0xB1, 0, 20, 0, 8, 12, 0, 12, 9},
        LftGlyph{0x82A0, 1, 0, 0, 18, 20, 2, 22, 20},
    };
    return data;
}

} // namespace FontTest
