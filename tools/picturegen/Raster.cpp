#include "Raster.h"

#include <algorithm>
#include <cmath>

namespace picturegen {

namespace {

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Supersampling grid for shapes without a cheap distance function: 4 x 4 samples a pixel
// give 17 coverage levels, smooth enough for edges at the sizes we draw.
constexpr int kSamples = 4;

template <typename Inside>
void AddSupersampled(Mask& mask, float left, float top, float right, float bottom, Inside inside)
{
    const int x0 = std::max(0, static_cast<int>(std::floor(left)));
    const int y0 = std::max(0, static_cast<int>(std::floor(top)));
    const int x1 = std::min(mask.Width() - 1, static_cast<int>(std::ceil(right)));
    const int y1 = std::min(mask.Height() - 1, static_cast<int>(std::ceil(bottom)));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            int hits = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const float px = x + (sx + 0.5f) / kSamples;
                    const float py = y + (sy + 0.5f) / kSamples;
                    hits += inside(px, py) ? 1 : 0;
                }
            }
            if (hits > 0) {
                float& value = mask.At(x, y);
                value = std::max(value, static_cast<float>(hits) / (kSamples * kSamples));
            }
        }
    }
}

// One horizontal then one vertical running-sum pass of a box of 2r + 1 pixels.
void BoxBlur(std::vector<float>& values, int width, int height, int radius)
{
    std::vector<float> line;
    const float scale = 1.0f / (2 * radius + 1);
    for (int y = 0; y < height; ++y) {
        line.assign(values.begin() + static_cast<long>(y) * width, values.begin() + static_cast<long>(y + 1) * width);
        float sum = 0;
        for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < width) ? line[i] : 0.0f;
        for (int x = 0; x < width; ++x) {
            values[static_cast<size_t>(y) * width + x] = sum * scale;
            const int out = x - radius, in = x + radius + 1;
            if (out >= 0) sum -= line[out];
            if (in < width) sum += line[in];
        }
    }
    for (int x = 0; x < width; ++x) {
        line.resize(height);
        for (int y = 0; y < height; ++y) line[y] = values[static_cast<size_t>(y) * width + x];
        float sum = 0;
        for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < height) ? line[i] : 0.0f;
        for (int y = 0; y < height; ++y) {
            values[static_cast<size_t>(y) * width + x] = sum * scale;
            const int out = y - radius, in = y + radius + 1;
            if (out >= 0) sum -= line[out];
            if (in < height) sum += line[in];
        }
    }
}

}  // namespace

bool ParseColour(const std::string& text, Colour* colour)
{
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') return false;
    float channels[4] = {0, 0, 0, 1};
    for (size_t i = 0; i * 2 + 1 < text.size(); ++i) {
        const int high = HexDigit(text[1 + i * 2]), low = HexDigit(text[2 + i * 2]);
        if (high < 0 || low < 0) return false;
        channels[i] = (high * 16 + low) / 255.0f;
    }
    *colour = Colour{channels[0], channels[1], channels[2], channels[3]};
    return true;
}

Colour Mix(const Colour& a, const Colour& b, float t)
{
    t = Clamp01(t);
    // Mixed in premultiplied form so that a fade towards a transparent colour does not
    // darken through the transparent colour's RGB.
    const float alpha = a.alpha + (b.alpha - a.alpha) * t;
    if (alpha <= 0) return Colour{};
    auto channel = [&](float ca, float cb) { return (ca * a.alpha * (1 - t) + cb * b.alpha * t) / alpha; };
    return Colour{channel(a.red, b.red), channel(a.green, b.green), channel(a.blue, b.blue), alpha};
}

Mask::Mask(int width, int height)
    : width_(width), height_(height), values_(static_cast<size_t>(width) * height, 0.0f)
{
}

void Mask::Unite(const Mask& other)
{
    for (size_t i = 0; i < values_.size() && i < other.values_.size(); ++i) values_[i] = std::max(values_[i], other.values_[i]);
}

void Mask::Intersect(const Mask& other)
{
    for (size_t i = 0; i < values_.size(); ++i) values_[i] = i < other.values_.size() ? std::min(values_[i], other.values_[i]) : 0.0f;
}

void Mask::Subtract(const Mask& other)
{
    for (size_t i = 0; i < values_.size() && i < other.values_.size(); ++i) values_[i] = std::max(0.0f, values_[i] - other.values_[i]);
}

void Mask::Scale(float factor)
{
    for (float& v : values_) v = Clamp01(v * factor);
}

void Mask::AddRoundedRectangle(float x, float y, float width, float height, float radius)
{
    radius = std::clamp(radius, 0.0f, std::min(width, height) / 2);
    const float centreX = x + width / 2, centreY = y + height / 2;
    const float halfX = width / 2 - radius, halfY = height / 2 - radius;
    const int x0 = std::max(0, static_cast<int>(std::floor(x)) - 1);
    const int y0 = std::max(0, static_cast<int>(std::floor(y)) - 1);
    const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(x + width)) + 1);
    const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(y + height)) + 1);
    for (int py = y0; py <= y1; ++py) {
        for (int px = x0; px <= x1; ++px) {
            // Signed distance to the rounded box; half a pixel either side of the edge is
            // the anti-aliased band.
            const float qx = std::fabs(px + 0.5f - centreX) - halfX;
            const float qy = std::fabs(py + 0.5f - centreY) - halfY;
            const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
            const float distance = outside + std::min(std::max(qx, qy), 0.0f) - radius;
            const float coverage = Clamp01(0.5f - distance);
            if (coverage > 0) At(px, py) = std::max(At(px, py), coverage);
        }
    }
}

void Mask::AddEllipse(float centreX, float centreY, float radiusX, float radiusY)
{
    if (radiusX <= 0 || radiusY <= 0) return;
    AddSupersampled(*this, centreX - radiusX, centreY - radiusY, centreX + radiusX, centreY + radiusY,
        [&](float px, float py) {
            const float u = (px - centreX) / radiusX, v = (py - centreY) / radiusY;
            return u * u + v * v <= 1.0f;
        });
}

void Mask::AddLine(Point from, Point to, float thickness)
{
    const float half = thickness / 2;
    const float dx = to.x - from.x, dy = to.y - from.y;
    const float lengthSquared = dx * dx + dy * dy;
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min(from.x, to.x) - half)) - 1);
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min(from.y, to.y) - half)) - 1);
    const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(std::max(from.x, to.x) + half)) + 1);
    const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(std::max(from.y, to.y) + half)) + 1);
    for (int py = y0; py <= y1; ++py) {
        for (int px = x0; px <= x1; ++px) {
            const float cx = px + 0.5f - from.x, cy = py + 0.5f - from.y;
            const float t = lengthSquared > 0 ? Clamp01((cx * dx + cy * dy) / lengthSquared) : 0.0f;
            const float distance = std::hypot(cx - t * dx, cy - t * dy) - half;
            const float coverage = Clamp01(0.5f - distance);
            if (coverage > 0) At(px, py) = std::max(At(px, py), coverage);
        }
    }
}

void Mask::AddPolygon(const std::vector<Point>& corners)
{
    if (corners.size() < 3) return;
    float left = corners[0].x, right = left, top = corners[0].y, bottom = top;
    for (const Point& p : corners) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    AddSupersampled(*this, left, top, right, bottom, [&](float px, float py) {
        int winding = 0;
        for (size_t i = 0; i < corners.size(); ++i) {
            const Point& a = corners[i];
            const Point& b = corners[(i + 1) % corners.size()];
            const float side = (b.x - a.x) * (py - a.y) - (px - a.x) * (b.y - a.y);
            if (a.y <= py && b.y > py && side > 0) ++winding;
            if (a.y > py && b.y <= py && side < 0) --winding;
        }
        return winding != 0;
    });
}

Mask Mask::Dilated(float radius) const
{
    Mask result = *this;
    if (radius <= 0) return result;
    const int reach = static_cast<int>(std::ceil(radius)) + 1;
    // Offsets within the disc count fully; those in the pixel beyond it count in part, so
    // an edge that was half covered moves out by exactly `radius` and stays half covered.
    std::vector<std::pair<std::pair<int, int>, float>> disc;
    for (int oy = -reach; oy <= reach; ++oy) {
        for (int ox = -reach; ox <= reach; ++ox) {
            const float weight = Clamp01(radius + 1.0f - std::hypot(static_cast<float>(ox), static_cast<float>(oy)));
            if (weight > 0) disc.push_back({{ox, oy}, weight});
        }
    }
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            float best = At(x, y);
            for (const auto& [offset, weight] : disc) {
                const int sx = x + offset.first, sy = y + offset.second;
                if (sx < 0 || sy < 0 || sx >= width_ || sy >= height_) continue;
                best = std::max(best, At(sx, sy) * weight);
            }
            result.At(x, y) = best;
        }
    }
    return result;
}

Mask Mask::Blurred(int radius) const
{
    Mask result = *this;
    if (radius <= 0) return result;
    const int box = std::max(1, radius / 2);
    for (int pass = 0; pass < 3; ++pass) BoxBlur(result.values_, width_, height_, box);
    return result;
}

Paint Paint::Solid(const Colour& colour)
{
    Paint paint;
    paint.first_ = colour;
    return paint;
}

Paint Paint::VerticalGradient(const Colour& top, const Colour& bottom, float y0, float y1)
{
    Paint paint;
    paint.kind_ = Kind::Vertical;
    paint.first_ = top;
    paint.second_ = bottom;
    paint.a_ = y0;
    paint.b_ = y1;
    return paint;
}

Paint Paint::Radial(float centreX, float centreY, std::vector<std::pair<float, Colour>> stops)
{
    Paint paint;
    paint.kind_ = Kind::Radial;
    paint.a_ = centreX;
    paint.b_ = centreY;
    paint.stops_ = std::move(stops);
    return paint;
}

bool Paint::IsOpaque() const
{
    switch (kind_) {
    case Kind::Solid:
        return first_.alpha >= 1.0f;
    case Kind::Vertical:
        return first_.alpha >= 1.0f && second_.alpha >= 1.0f;
    case Kind::Radial:
        return std::all_of(stops_.begin(), stops_.end(), [](const auto& stop) { return stop.second.alpha >= 1.0f; });
    }
    return false;
}

Colour Paint::At(float x, float y) const
{
    switch (kind_) {
    case Kind::Solid:
        return first_;
    case Kind::Vertical:
        return Mix(first_, second_, b_ > a_ ? (y - a_) / (b_ - a_) : 0.0f);
    case Kind::Radial: {
        if (stops_.empty()) return Colour{};
        const float distance = std::hypot(x - a_, y - b_);
        if (distance <= stops_.front().first) return stops_.front().second;
        for (size_t i = 1; i < stops_.size(); ++i) {
            if (distance <= stops_[i].first) {
                const auto& [d0, c0] = stops_[i - 1];
                const auto& [d1, c1] = stops_[i];
                return Mix(c0, c1, d1 > d0 ? (distance - d0) / (d1 - d0) : 1.0f);
            }
        }
        return stops_.back().second;
    }
    }
    return first_;
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), premultiplied_(static_cast<size_t>(width) * height * 4, 0.0f)
{
}

void Canvas::Composite(const Mask& mask, const Paint& paint, float opacity, int dx, int dy)
{
    for (int y = 0; y < height_; ++y) {
        const int my = y - dy;
        if (my < 0 || my >= mask.Height()) continue;
        for (int x = 0; x < width_; ++x) {
            const int mx = x - dx;
            if (mx < 0 || mx >= mask.Width()) continue;
            const float coverage = mask.At(mx, my) * opacity;
            if (coverage <= 0) continue;
            const Colour colour = paint.At(x + 0.5f, y + 0.5f);
            const float a = Clamp01(colour.alpha * coverage);
            float* pixel = &premultiplied_[(static_cast<size_t>(y) * width_ + x) * 4];
            pixel[0] = colour.red * a + pixel[0] * (1 - a);
            pixel[1] = colour.green * a + pixel[1] * (1 - a);
            pixel[2] = colour.blue * a + pixel[2] * (1 - a);
            pixel[3] = a + pixel[3] * (1 - a);
        }
    }
}

void Canvas::DrawRgba8(const std::uint8_t* pixels, int width, int height, int x, int y)
{
    for (int row = 0; row < height; ++row) {
        const int ty = y + row;
        if (ty < 0 || ty >= height_) continue;
        for (int column = 0; column < width; ++column) {
            const int tx = x + column;
            if (tx < 0 || tx >= width_) continue;
            const std::uint8_t* source = &pixels[(static_cast<size_t>(row) * width + column) * 4];
            const float a = source[3] / 255.0f;
            float* pixel = &premultiplied_[(static_cast<size_t>(ty) * width_ + tx) * 4];
            for (int c = 0; c < 3; ++c) pixel[c] = source[c] / 255.0f * a + pixel[c] * (1 - a);
            pixel[3] = a + pixel[3] * (1 - a);
        }
    }
}

Colour Canvas::PixelAt(int x, int y) const
{
    const float* pixel = &premultiplied_[(static_cast<size_t>(y) * width_ + x) * 4];
    if (pixel[3] <= 0) return Colour{};
    return Colour{pixel[0] / pixel[3], pixel[1] / pixel[3], pixel[2] / pixel[3], pixel[3]};
}

std::vector<std::uint8_t> Canvas::ToRgba8() const
{
    std::vector<Colour> straight(static_cast<size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) straight[static_cast<size_t>(y) * width_ + x] = PixelAt(x, y);
    // Transparent texels take the colour of their covered neighbours (a few rings deep), so
    // that bilinear filtering at a label's edge fades its own colour out instead of
    // pulling in a dark fringe from the black of empty texels.
    for (int ring = 0; ring < 4; ++ring) {
        std::vector<Colour> next = straight;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                Colour& target = next[static_cast<size_t>(y) * width_ + x];
                if (target.alpha > 0 || target.red + target.green + target.blue > 0) continue;
                float r = 0, g = 0, b = 0, count = 0;
                for (int oy = -1; oy <= 1; ++oy) {
                    for (int ox = -1; ox <= 1; ++ox) {
                        const int sx = x + ox, sy = y + oy;
                        if (sx < 0 || sy < 0 || sx >= width_ || sy >= height_) continue;
                        const Colour& source = straight[static_cast<size_t>(sy) * width_ + sx];
                        if (source.alpha <= 0 && source.red + source.green + source.blue <= 0) continue;
                        r += source.red;
                        g += source.green;
                        b += source.blue;
                        count += 1;
                    }
                }
                if (count > 0) target = Colour{r / count, g / count, b / count, 0.0f};
            }
        }
        straight.swap(next);
    }
    std::vector<std::uint8_t> bytes(straight.size() * 4);
    auto toByte = [](float v) { return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255.0f)); };
    for (size_t i = 0; i < straight.size(); ++i) {
        bytes[i * 4 + 0] = toByte(straight[i].red);
        bytes[i * 4 + 1] = toByte(straight[i].green);
        bytes[i * 4 + 2] = toByte(straight[i].blue);
        bytes[i * 4 + 3] = toByte(straight[i].alpha);
    }
    return bytes;
}

}  // namespace picturegen
