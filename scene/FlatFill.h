// scene/FlatFill.h: flat colour fills, stretched from one texel of the common texture
// "common__soft_circle_640x480.tga". Its texel at (320, 0) is the plain background colour;
// the one at (120, 0) is the panel and highlight colour of the menus.
#pragma once

#include <Lumora/IRender.h>
#include <Lumora/Math.h>

inline constexpr float kBackgroundTexelX = 320.0f;
inline constexpr float kPanelTexelX = 120.0f;

// Fills `destination` (screen pixels) with the texel at (texelX, 0), untinted. A null render
// draws nothing.
void DrawFlatFill(Lumora::IRender* render, const Lumora::Math::Rect& destination, float texelX);
