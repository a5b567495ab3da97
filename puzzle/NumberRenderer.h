// puzzle/NumberRenderer.h: draws a non-negative integer with the picture font of digits
// ("numbers_32_azuki.png", the common texture: ten 20 x 32 cells side by side, digit d at
// source x = 20 d).
//
// Holds the render without a reference: the Application's render outlives every screen and
// widget. Owners keep the renderer through a shared pointer. Main thread only; draw only once
// the resource loader has delivered the common textures.
#pragma once

#include <Lumora/IRender.h>

#include <cstdint>

class NumberRenderer {
public:
    explicit NumberRenderer(Lumora::IRender* render);
    virtual ~NumberRenderer();

    // Draws `value` with the top edge at `y` (pixels), each digit 20 x 32, in blend mode 1,
    // tinted white at opacity `alpha` (0..255). Left-aligned, the first digit starts at `x`;
    // right-aligned, the last (units) digit starts at `x` and the others go leftwards.
    // A negative value is drawn as its magnitude: there is no minus sign in the font, and
    // no caller passes one.
    void Draw(std::int32_t value, std::int32_t x, std::int32_t y, std::int32_t alpha, bool alignRight);

    // White at opacity `alpha` (clamped to 0..255): alpha * 2^24 + 0xFFFFFF.
    static std::uint32_t ColourForAlpha(std::int32_t alpha);

private:
    Lumora::IRender* render_ = nullptr;
};
