// Raster: the small anti-aliased drawing kit of the picture generator.
//
// A picture is painted in two steps: a shape becomes a coverage Mask (0 = outside, 1 =
// inside, fractions on the edges), and the mask is composited onto a Canvas with a Paint
// (a flat colour, a vertical gradient or a radial ramp). Outlines and soft shadows are
// made from masks too (Dilate, Blur), so text and shapes get them the same way.
//
// Coordinates are picture pixels with the origin at the top left; a pixel's centre is at
// (x + 0.5, y + 0.5). Colours are straight (not premultiplied) RGBA in 0..1; the canvas
// keeps premultiplied values internally and hands out straight 8-bit RGBA.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace picturegen {

struct Colour {
    float red = 0, green = 0, blue = 0, alpha = 0;
};

// "#RRGGBB" or "#RRGGBBAA"; false for anything else.
bool ParseColour(const std::string& text, Colour* colour);
Colour Mix(const Colour& a, const Colour& b, float t);

struct Point {
    float x = 0, y = 0;
};

class Mask {
public:
    Mask(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    float At(int x, int y) const { return values_[static_cast<size_t>(y) * width_ + x]; }
    float& At(int x, int y) { return values_[static_cast<size_t>(y) * width_ + x]; }
    // Combines another mask of the same size into this one, keeping the larger coverage.
    void Unite(const Mask& other);
    void Scale(float factor);
    // Keeps only what both masks cover (the smaller coverage), e.g. a gloss inside a plate.
    void Intersect(const Mask& other);

    void AddRoundedRectangle(float x, float y, float width, float height, float radius);
    void AddEllipse(float centreX, float centreY, float radiusX, float radiusY);
    // A straight stroke with round ends, `thickness` pixels across.
    void AddLine(Point from, Point to, float thickness);
    // Any simple or self-crossing polygon, filled by the non-zero rule.
    void AddPolygon(const std::vector<Point>& corners);

    // Removes another mask's coverage from this one (a ring = grown shape minus shape).
    void Subtract(const Mask& other);

    // Grows the covered area by `radius` pixels in every direction (an outline around it).
    Mask Dilated(float radius) const;
    // Softens edges over about `radius` pixels (three box passes approximate a Gaussian).
    Mask Blurred(int radius) const;

private:
    int width_, height_;
    std::vector<float> values_;
};

class Paint {
public:
    static Paint Solid(const Colour& colour);
    // From `top` at y0 to `bottom` at y1, clamped outside.
    static Paint VerticalGradient(const Colour& top, const Colour& bottom, float y0, float y1);
    // Piecewise linear in the distance from (cx, cy); stops are (distance, colour), ascending.
    static Paint Radial(float centreX, float centreY, std::vector<std::pair<float, Colour>> stops);
    Colour At(float x, float y) const;
    // True when every colour the paint can give is fully opaque.
    bool IsOpaque() const;

private:
    enum class Kind { Solid, Vertical, Radial } kind_ = Kind::Solid;
    Colour first_, second_;
    float a_ = 0, b_ = 0;
    std::vector<std::pair<float, Colour>> stops_;
};

class Canvas {
public:
    Canvas(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Paints `paint` through `mask` (shifted by dx, dy pixels), "over" what is there.
    void Composite(const Mask& mask, const Paint& paint, float opacity = 1.0f, int dx = 0, int dy = 0);
    // Draws straight 8-bit RGBA pixels with their top-left at (x, y), "over" what is there.
    void DrawRgba8(const std::uint8_t* pixels, int width, int height, int x, int y);
    // Straight RGBA, 8 bits a channel, rows top to bottom.
    std::vector<std::uint8_t> ToRgba8() const;
    Colour PixelAt(int x, int y) const;

private:
    int width_, height_;
    std::vector<float> premultiplied_;  // r, g, b, a per pixel
};

}  // namespace picturegen
