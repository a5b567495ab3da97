// scene/BackGroundTileRender.h: the tiled background that drifts up and left, one pixel per
// drawn frame, behind the menus.
//
// Draws the common texture "background_panel_rimeko.png" in 128 x 128 tiles over the screen.
// Holds the render without a reference: the Application's render outlives every screen.
#pragma once

#include <Lumora/IRender.h>

#include <cstdint>

class BackGroundTileRender {
public:
    explicit BackGroundTileRender(Lumora::IRender* render);

    // Draws the tiles once, then moves the pattern one pixel on (0..127, wrapping).
    void Draw();
    // The scroll offset the next Draw uses, in pixels.
    std::int32_t GetOffset() const { return offset_; }

private:
    Lumora::IRender* render_ = nullptr;
    std::int32_t offset_ = 0;
};
