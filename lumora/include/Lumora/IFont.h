// Lumora/IFont.h: text drawn with a baked bitmap font (.lft).
//
// Made by IRender::CreateFont; the caller owns the reference. Text is Shift-JIS bytes; each
// glyph is drawn with its fill colour over its outline colour (both ARGB; an outline colour
// with alpha 0 draws no outline). Positions are screen pixels of the logical screen: (x, y)
// is the top-left corner of the first line. Each frame: Begin(0), DrawText calls, End, then
// Render, which puts the text into the frame at that point with the blend mode then in
// force. A font whose file is missing or malformed reports IsInvalid and draws nothing; so
// does one named relative to the current directory that lacks a page file. Each page is
// read (for a name from the pack root, such as "/font/Font.lft") and decoded when a glyph
// on it is first drawn (DrawText), not at creation; a page that turns out missing or
// damaged then is said once on stderr and its glyphs draw nothing, the other pages as usual.
#pragma once

#include <Lumora/Base.h>

#include <cstdint>

namespace Lumora {

class IFont : public IInterface {
public:
    // Starts a new list of texts. `flags` is 0.
    virtual void Begin(std::int32_t flags) = 0;
    // Adds a text at (x, y) in the fill colour `argb` with the outline colour `outlineArgb`.
    virtual void DrawText(const char* text, std::int32_t x, std::int32_t y, std::uint32_t argb,
                          std::uint32_t outlineArgb) = 0;
    // Closes the list.
    virtual void End() = 0;
    // Draws the closed list into the frame of the render that made the font.
    virtual void Render() = 0;
    // Non-zero when the font could not be loaded (missing or malformed file; for a relative
    // name, a missing page file).
    virtual std::int32_t IsInvalid() = 0;
};

} // namespace Lumora
