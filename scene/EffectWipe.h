// scene/EffectWipe.h: the opening wipe: a cover in the plain background colour whose lower
// edge rises 48 pixels per drawn frame, uncovering the screen in 10 frames.
//
// Holds the render without a reference: the Application's render outlives every screen.
#pragma once

#include <Lumora/IRender.h>

#include <cstdint>

class EffectWipe {
public:
    // `mode` 1 is the opening wipe, the only kind the screens use; it is kept for callers
    // that name it and does not change the drawing.
    explicit EffectWipe(Lumora::IRender* render, std::int32_t mode = 1);

    // Draws the cover over (0, 0, 640, 480 - position), then raises its edge by 48 pixels.
    void Draw();
    // How far the screen is uncovered, 0..480 pixels.
    std::int32_t GetPosition() const { return position_; }
    std::int32_t GetMode() const { return mode_; }

private:
    Lumora::IRender* render_ = nullptr;
    std::int32_t position_ = 0;
    std::int32_t mode_ = 1;
};
