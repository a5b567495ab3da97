#include "PictureImage.h"

#include <algorithm>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb/stb_image.h>

bool PictureImage::Load(const std::string& path)
{
    int channels = 0;
    stbi_uc* data = stbi_load(path.c_str(), &width, &height, &channels, 4);
    if (!data) return false;
    pixels.assign(data, data + static_cast<size_t>(width) * height * 4);
    stbi_image_free(data);
    return true;
}

std::uint32_t PictureImage::Rgba(int x, int y) const
{
    const std::uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

double PictureImage::CoveredShare(int x, int y, int w, int h, int threshold) const
{
    int covered = 0;
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column) covered += Alpha(column, row) >= threshold ? 1 : 0;
    return static_cast<double>(covered) / (w * h);
}

int PictureImage::BorderAlpha(int x, int y, int w, int h) const
{
    int most = 0;
    for (int column = x; column < x + w; ++column) most = std::max({most, static_cast<int>(Alpha(column, y)), static_cast<int>(Alpha(column, y + h - 1))});
    for (int row = y; row < y + h; ++row) most = std::max({most, static_cast<int>(Alpha(x, row)), static_cast<int>(Alpha(x + w - 1, row))});
    return most;
}

double PictureImage::Luminance(int x, int y) const
{
    const std::uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
    return (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255.0;
}

std::string ContentPath(const std::string& relative) { return std::string(TOMARUGI_CONTENT_DIR) + "/" + relative; }
