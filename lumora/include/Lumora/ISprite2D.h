// Lumora/ISprite2D.h: a batch of textured squares over one texture.
//
// Made by IRender::CreateSprite2D with a capacity in vertices (six per square); the caller
// owns the reference. Each frame: Begin, any number of DrawSquare, End, then Render, which
// puts the squares into the render's frame at that point, with the blend mode in force at
// Render. Squares beyond the capacity are dropped (said once on stderr). Nothing is
// allocated per frame. Rectangles: destination in screen pixels of the logical screen,
// source in texels; colours are ARGB multiplying the texels (0xFFFFFFFF untinted).
#pragma once

#include <Lumora/Base.h>
#include <Lumora/Math.h>

#include <cstdint>

namespace Lumora {

class ISprite2D : public IInterface {
public:
    // Empties the batch for a new list of squares.
    virtual void Begin() = 0;
    // Adds one square.
    virtual void DrawSquare(const Math::Rect& destination, const Math::Rect& source,
                            std::uint32_t argb) = 0;
    // Closes the list; Render draws what was added between Begin and End.
    virtual void End() = 0;
    // Draws the closed list into the frame of the render that made the sprite. May be
    // called more than once per list; each call draws the squares again.
    virtual void Render() = 0;
};

} // namespace Lumora
