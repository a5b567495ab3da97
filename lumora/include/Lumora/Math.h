// Lumora/Math.h: the small float vectors the engine takes and gives.
//
// Units are the caller's: world units for positions, 0..1 for colour channels. Angles
// elsewhere in the engine use 65536 to a full turn.
#pragma once

namespace Lumora::Math {

struct Vector3D {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3D() = default;
    constexpr Vector3D(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    constexpr bool operator==(const Vector3D&) const = default;
};

// Colours are (red, green, blue, alpha) in x, y, z, w.
struct Vector4D {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    constexpr Vector4D() = default;
    constexpr Vector4D(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    constexpr bool operator==(const Vector4D&) const = default;
};

} // namespace Lumora::Math

namespace Lumora::Math {

// A rectangle in pixels: (x, y) is the top-left corner, origin at the top left of the
// screen or texture; width and height grow right and down.
struct Rect {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;

    constexpr Rect() = default;
    constexpr Rect(float x_, float y_, float width_, float height_)
        : x(x_), y(y_), width(width_), height(height_) {}

    constexpr bool operator==(const Rect&) const = default;
};

// A point or offset in pixels.
struct Point2D {
    float x = 0.0f;
    float y = 0.0f;

    constexpr Point2D() = default;
    constexpr Point2D(float x_, float y_) : x(x_), y(y_) {}

    constexpr bool operator==(const Point2D&) const = default;
};

} // namespace Lumora::Math
