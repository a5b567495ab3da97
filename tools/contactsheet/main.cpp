// tomarugi-contactsheet: lays every picture of a staging tree out on a few PNG sheets.
//
//     tomarugi-contactsheet <staging root> <sheet prefix> [--scale N] [--only TEXT] [--font FILE]
//
// Each .png and .tga under the root is drawn at full size over a checkerboard (so that
// transparent surroundings show), with its path and pixel size written under it. Sheets
// are at most 1400 px wide and about 1400 px high; they are written as <prefix>-1.png,
// <prefix>-2.png and so on. --scale N enlarges every picture N times (nearest texel, to
// inspect small art pixel by pixel); --only keeps the pictures whose path contains TEXT.
// This is a tool for looking at the art, not part of the game.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb/stb_image.h>

#include "ImageFiles.h"
#include "Raster.h"
#include "TextSetter.h"

namespace {

struct Picture {
    std::string name;
    int width = 0, height = 0;
    int sourceWidth = 0, sourceHeight = 0;  // the file's own size, before any enlarging
    int captionWidth = 0;
    std::vector<std::uint8_t> pixels;
};

std::string CaptionOf(const Picture& picture)
{
    return picture.name + "  " + std::to_string(picture.sourceWidth) + "x" + std::to_string(picture.sourceHeight);
}

constexpr int kSheetWidth = 1400;
constexpr int kSheetHeight = 1400;
constexpr int kGap = 16;
constexpr int kCaption = 22;

void DrawChecker(picturegen::Canvas& sheet, int x, int y, int width, int height)
{
    picturegen::Mask light(sheet.Width(), sheet.Height()), dark(sheet.Width(), sheet.Height());
    for (int cy = 0; cy < height; cy += 8) {
        for (int cx = 0; cx < width; cx += 8) {
            auto& mask = ((cx / 8 + cy / 8) % 2 == 0) ? light : dark;
            mask.AddRoundedRectangle(static_cast<float>(x + cx), static_cast<float>(y + cy), static_cast<float>(std::min(8, width - cx)),
                static_cast<float>(std::min(8, height - cy)), 0);
        }
    }
    sheet.Composite(light, picturegen::Paint::Solid({0.80f, 0.80f, 0.80f, 1}));
    sheet.Composite(dark, picturegen::Paint::Solid({0.55f, 0.55f, 0.55f, 1}));
}

bool WriteSheet(const std::vector<const Picture*>& pictures, const std::string& path, picturegen::TextSetter& text, std::string* error)
{
    // Shelf packing in the given order: rows of pictures, each row as high as its tallest.
    struct Placed {
        const Picture* picture;
        int x, y;
    };
    std::vector<Placed> placed;
    int x = kGap, y = kGap, rowHeight = 0, usedWidth = 0;
    for (const Picture* picture : pictures) {
        const int boxWidth = std::max(picture->width, picture->captionWidth);
        if (x + boxWidth + kGap > kSheetWidth && x > kGap) {
            x = kGap;
            y += rowHeight + kCaption + kGap;
            rowHeight = 0;
        }
        placed.push_back({picture, x, y});
        x += boxWidth + kGap;
        usedWidth = std::max(usedWidth, x);
        rowHeight = std::max(rowHeight, picture->height);
    }
    const int height = y + rowHeight + kCaption + kGap;
    picturegen::Canvas sheet(std::max(usedWidth, 400), height);
    picturegen::Mask all(sheet.Width(), sheet.Height());
    all.AddRoundedRectangle(0, 0, static_cast<float>(sheet.Width()), static_cast<float>(sheet.Height()), 0);
    sheet.Composite(all, picturegen::Paint::Solid({0.16f, 0.17f, 0.20f, 1}));
    for (const Placed& p : placed) {
        DrawChecker(sheet, p.x, p.y, p.picture->width, p.picture->height);
        sheet.DrawRgba8(p.picture->pixels.data(), p.picture->width, p.picture->height, p.x, p.y);
        picturegen::Mask caption(sheet.Width(), sheet.Height());
        const std::string label = CaptionOf(*p.picture);
        if (!text.Set(caption, "caption", 12, label, static_cast<float>(p.x), picturegen::TextAnchor::Left,
                static_cast<float>(p.y + p.picture->height + 11), 0, nullptr, error))
            return false;
        sheet.Composite(caption, picturegen::Paint::Solid({1, 1, 1, 1}));
    }
    return picturegen::WriteImageFile(sheet, path, error);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string font = "/usr/share/fonts/opentype/mplus/Mplus1-Medium.otf", only;
    int scale = 1;
    bool usage = argc < 3;
    for (int i = 3; i + 1 < argc && !usage; i += 2) {
        const std::string option = argv[i];
        if (option == "--scale") scale = std::atoi(argv[i + 1]);
        else if (option == "--only") only = argv[i + 1];
        else if (option == "--font") font = argv[i + 1];
        else usage = true;
    }
    if (usage || argc % 2 == 0 || scale < 1 || scale > 16) {
        std::fprintf(stderr, "usage: %s <staging root> <sheet prefix> [--scale N] [--only TEXT] [--font FILE]\n",
            argc > 0 ? argv[0] : "tomarugi-contactsheet");
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    picturegen::TextSetter text;
    std::string error;
    if (!text.AddFont("caption", font, &error)) {
        std::fprintf(stderr, "tomarugi-contactsheet: %s\n", error.c_str());
        return 1;
    }
    std::vector<Picture> pictures;
    std::error_code code;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, code)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".png" && extension != ".tga")) continue;
        Picture picture;
        picture.name = std::filesystem::relative(entry.path(), root).string();
        int channels = 0;
        stbi_uc* pixels = stbi_load(entry.path().c_str(), &picture.width, &picture.height, &channels, 4);
        if (!pixels) {
            std::fprintf(stderr, "tomarugi-contactsheet: %s: %s\n", picture.name.c_str(), stbi_failure_reason());
            return 1;
        }
        if (!only.empty() && picture.name.find(only) == std::string::npos) {
            stbi_image_free(pixels);
            continue;
        }
        picture.sourceWidth = picture.width;
        picture.sourceHeight = picture.height;
        picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height * 4 * scale * scale);
        for (int y = 0; y < picture.height * scale; ++y)
            for (int x = 0; x < picture.width * scale; ++x)
                for (int c = 0; c < 4; ++c)
                    picture.pixels[(static_cast<size_t>(y) * picture.width * scale + x) * 4 + c] =
                        pixels[(static_cast<size_t>(y / scale) * picture.width + x / scale) * 4 + c];
        picture.width *= scale;
        picture.height *= scale;
        stbi_image_free(pixels);
        float captionWidth = 0;
        if (!text.Measure("caption", 12, CaptionOf(picture), &captionWidth, &error)) {
            std::fprintf(stderr, "tomarugi-contactsheet: %s\n", error.c_str());
            return 1;
        }
        picture.captionWidth = static_cast<int>(captionWidth) + 4;
        pictures.push_back(std::move(picture));
    }
    if (code || pictures.empty()) {
        std::fprintf(stderr, "tomarugi-contactsheet: no pictures under %s\n", argv[1]);
        return 1;
    }
    // Small pictures first so that they share sheets; big ones fill sheets of their own.
    std::sort(pictures.begin(), pictures.end(), [](const Picture& a, const Picture& b) {
        if (a.height != b.height) return a.height < b.height;
        return a.name < b.name;
    });
    std::vector<const Picture*> sheet;
    int sheetNumber = 0, shelfY = 0, shelfX = 0, shelfHeight = 0;
    auto flush = [&]() -> bool {
        if (sheet.empty()) return true;
        const std::string path = std::string(argv[2]) + "-" + std::to_string(++sheetNumber) + ".png";
        if (!WriteSheet(sheet, path, text, &error)) return false;
        std::printf("%s: %zu pictures\n", path.c_str(), sheet.size());
        sheet.clear();
        shelfX = shelfY = shelfHeight = 0;
        return true;
    };
    for (const Picture& picture : pictures) {
        const int boxWidth = std::max(picture.width, picture.captionWidth) + kGap;
        if (shelfX + boxWidth > kSheetWidth) {
            shelfY += shelfHeight + kCaption + kGap;
            shelfX = 0;
            shelfHeight = 0;
        }
        if (shelfY + picture.height + kCaption > kSheetHeight && !flush()) break;
        sheet.push_back(&picture);
        shelfX += boxWidth;
        shelfHeight = std::max(shelfHeight, picture.height);
    }
    if (!error.empty() || !flush()) {
        std::fprintf(stderr, "tomarugi-contactsheet: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
