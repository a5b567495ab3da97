// A decoded picture for the checks: straight RGBA, 8 bits a channel, read with stb_image
// exactly as the engine's texture loader reads it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PictureImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;

    bool Load(const std::string& path);
    std::uint8_t Alpha(int x, int y) const { return pixels[(static_cast<size_t>(y) * width + x) * 4 + 3]; }
    std::uint32_t Rgba(int x, int y) const;
    // Fraction of pixels in the rectangle whose alpha is at least `threshold`.
    double CoveredShare(int x, int y, int w, int h, int threshold = 16) const;
    // Largest alpha anywhere on the rectangle's one-pixel border.
    int BorderAlpha(int x, int y, int w, int h) const;
    // Relative luminance 0..1 of a pixel, ignoring alpha.
    double Luminance(int x, int y) const;
};

std::string ContentPath(const std::string& relative);
