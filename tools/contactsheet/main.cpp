// tomarugi-contactsheet: lays every picture of a staging tree out on a few PNG sheets.
//
//     tomarugi-contactsheet <staging root> <sheet prefix> [--scale N] [--only TEXT] [--font FILE]
//                           [--screens]
//
// Each .png and .tga under the root is drawn at full size over a checkerboard (so that
// transparent surroundings show), with its path and pixel size written under it. Sheets
// are at most 1400 px wide and about 1400 px high; they are written as <prefix>-1.png,
// <prefix>-2.png and so on. --scale N enlarges every picture N times (nearest texel, to
// inspect small art pixel by pixel); --only keeps the pictures whose path contains TEXT.
// --screens also writes <prefix>-screens.png: the title, stage select, settings and
// puzzle screens put together from the pictures with the rectangles those screens draw
// with, unselected menu lines dimmed to alpha 0x88, to judge the art where it is used.
// This is a tool for looking at the art, not part of the game.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
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

// Draws the source rectangle of a picture stretched over the destination rectangle
// (nearest texel), its alpha scaled by `alpha` / 255, as the engine's DrawTexture would.
void Blit(picturegen::Canvas& canvas, const Picture& picture, float sx, float sy, float sw, float sh, int dx, int dy, int dw, int dh,
    int alpha = 255)
{
    std::vector<std::uint8_t> pixels(static_cast<size_t>(dw) * dh * 4);
    for (int y = 0; y < dh; ++y) {
        for (int x = 0; x < dw; ++x) {
            const int tx = std::clamp(static_cast<int>(sx + (x + 0.5f) * sw / dw), 0, picture.width - 1);
            const int ty = std::clamp(static_cast<int>(sy + (y + 0.5f) * sh / dh), 0, picture.height - 1);
            const std::uint8_t* source = &picture.pixels[(static_cast<size_t>(ty) * picture.width + tx) * 4];
            std::uint8_t* target = &pixels[(static_cast<size_t>(y) * dw + x) * 4];
            for (int c = 0; c < 3; ++c) target[c] = source[c];
            target[3] = static_cast<std::uint8_t>(source[3] * alpha / 255);
        }
    }
    canvas.DrawRgba8(pixels.data(), dw, dh, dx, dy);
}

bool WriteScreens(const std::vector<Picture>& pictures, const std::string& path, std::string* error)
{
    std::map<std::string, const Picture*> byName;
    for (const Picture& picture : pictures) byName[picture.name] = &picture;
    for (const char* needed : {"common__soft_circle_640x480.tga", "background_panel_rimeko.png", "title_menu_stick_tr.png",
             "title_menu_tip_text_tr.png", "stage_select_title.png", "numbers_32_azuki.png", "config_menu.png",
             "puzzle_system_panel.png", "dialogue.png", "puzzle_logo_menu_title.png"}) {
        if (!byName.count(std::string("graphic/sprite/") + needed)) {
            *error = std::string("--screens: missing graphic/sprite/") + needed;
            return false;
        }
    }
    auto get = [&](const std::string& name) -> const Picture& { return *byName.at("graphic/sprite/" + name); };
    const Picture& circle = get("common__soft_circle_640x480.tga");
    auto tiles = [&](picturegen::Canvas& c, int ox, int oy) {
        for (int x = 0; x < 640 + 128; x += 128)
            for (int y = 0; y < 480 + 128; y += 128) Blit(c, get("background_panel_rimeko.png"), 0, 0, 128, 128, ox + x - 40, oy + y - 40, 128, 128);
    };
    auto digits = [&](picturegen::Canvas& c, int value, int x, int y, bool alignRight) {
        const std::string text = std::to_string(value);
        const int n = static_cast<int>(text.size());
        for (int k = 0; k < n; ++k) {
            const int d = text[n - 1 - k] - '0';
            const int px = alignRight ? x - 20 * k : x + 20 * (n - 1 - k);
            Blit(c, get("numbers_32_azuki.png"), d * 20.0f, 0, 20, 32, px, y, 20, 32);
        }
    };
    picturegen::Canvas sheet(640 * 2 + 48, 480 * 2 + 48);
    const int origins[4][2] = {{16, 16}, {672, 16}, {16, 512}, {672, 512}};
    // Title screen, cursor on the first item. Screens are drawn into their own canvas
    // region; nothing spills over because every rectangle is clipped by hand below.
    {
        picturegen::Canvas c(640, 480);
        tiles(c, 0, 0);
        Blit(c, circle, 120, 0, 1, 1, 320, 0, 320, 480);
        Blit(c, circle, 120, 0, 1, 1, 0, 32, 640, 64);
        const int ys[4] = {32, 160, 288, 402};
        for (int i = 0; i < 4; ++i) Blit(c, get("title_menu_stick_tr.png"), 0, i * 64.0f, 256, 64, 0, ys[i], 256, 64);
        Blit(c, get("title_menu_tip_text_tr.png"), 0, 0, 305, 256, 335, 32, 305, 256);
        const auto rgba = c.ToRgba8();
        sheet.DrawRgba8(rgba.data(), 640, 480, origins[0][0], origins[0][1]);
    }
    // Stage select with a made-up stage's facts.
    {
        picturegen::Canvas c(640, 480);
        tiles(c, 0, 0);
        Blit(c, circle, 120, 0, 1, 1, 320, 0, 320, 480);
        Blit(c, circle, 120, 0, 1, 1, 0, 32, 320, 32);
        Blit(c, get("stage_select_title.png"), 0, 0, 256, 64, 320, 0, 256, 64);
        const char* captions[4] = {"stageselect_logo_bestrecord.png", "stageselect_logo_frog.png", "stageselect_logo_width.png", "stageselect_logo_height.png"};
        const int values[4] = {12, 3, 7, 5};
        for (int i = 0; i < 4; ++i) {
            if (byName.count(std::string("graphic/sprite/") + captions[i])) Blit(c, get(captions[i]), 0, 0, 128, 32, 320, 64 + 64 * i, 128, 32);
            digits(c, values[i], 320, 96 + 64 * i, false);
        }
        const auto rgba = c.ToRgba8();
        sheet.DrawRgba8(rgba.data(), 640, 480, origins[1][0], origins[1][1]);
    }
    // Settings: music 7, effects 3, map always on, cursor on the music row.
    {
        picturegen::Canvas c(640, 480);
        const Picture& menu = get("config_menu.png");
        tiles(c, 0, 0);
        Blit(c, circle, 120, 0, 1, 1, 320, 0, 320, 480);
        Blit(c, circle, 120, 0, 1, 1, 0, 64, 640, 32);
        Blit(c, menu, 0, 0, 256, 64, 320, 0, 256, 64);
        Blit(c, menu, 0, 64, 256, 32, 32, 64, 256, 32);
        Blit(c, menu, 0, 160, 10, 3, 352, 83, 100, 3);
        Blit(c, menu, 0, 164, 32, 28, 337 + 70, 64, 32, 28);
        Blit(c, menu, 0, 96, 256, 32, 32, 96, 256, 32);
        Blit(c, menu, 0, 160, 10, 3, 352, 115, 100, 3);
        Blit(c, menu, 0, 164, 32, 28, 337 + 30, 96, 32, 28);
        Blit(c, menu, 0, 128, 256, 32, 32, 320, 256, 32);
        Blit(c, menu, 0, 192, 256, 32, 352, 320, 256, 32);
        Blit(c, menu, 0, 164, 32, 28, 352 + 96, 288, 32, 28);
        const auto rgba = c.ToRgba8();
        sheet.DrawRgba8(rgba.data(), 640, 480, origins[2][0], origins[2][1]);
    }
    // Puzzle: the main menu page with the cursor on "retry", the bottom panel and the
    // turn-count message box, over the 3D scene's background colour.
    {
        picturegen::Canvas c(640, 480);
        picturegen::Mask all(640, 480);
        all.AddRoundedRectangle(0, 0, 640, 480, 0);
        c.Composite(all, picturegen::Paint::Solid({0xEE / 255.0f, 0xF1 / 255.0f, 1.0f, 1}));
        Blit(c, get("puzzle_logo_menu_title.png"), 0, 0, 256, 32, 30, 32, 256, 32);
        const char* items[5] = {"puzzle_logo_menu_close.png", "puzzle_logo_menu_retry.png", "puzzle_logo_menu_giveup.png",
            "puzzle_logo_menu_stageview.png", "puzzle_logo_menu_camera.png"};
        for (int i = 0; i < 5; ++i)
            if (byName.count(std::string("graphic/sprite/") + items[i])) Blit(c, get(items[i]), 0, 0, 256, 32, 30, 64 + 32 * i, 256, 32, i == 1 ? 255 : 0x88);
        Blit(c, get("puzzle_system_panel.png"), 0, 0, 640, 100, 0, 380, 640, 100);
        if (byName.count("graphic/sprite/puzzle_logo_frog.png")) Blit(c, get("puzzle_logo_frog.png"), 0, 0, 256, 32, 30, 390, 256, 32);
        if (byName.count("graphic/sprite/puzzle_logo_turn.png")) Blit(c, get("puzzle_logo_turn.png"), 0, 0, 256, 32, 300, 390, 256, 32);
        digits(c, 3, 200, 422, true);
        digits(c, 128, 300, 422, false);
        Blit(c, get("dialogue.png"), 0, 256, 256, 64, 340, 250, 256, 64);
        digits(c, 128, 340 + 143, 250 + 16, false);
        const auto rgba = c.ToRgba8();
        sheet.DrawRgba8(rgba.data(), 640, 480, origins[3][0], origins[3][1]);
    }
    return picturegen::WriteImageFile(sheet, path, error);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string font = "/usr/share/fonts/opentype/mplus/Mplus1-Medium.otf", only;
    int scale = 1;
    bool usage = argc < 3, screens = false;
    for (int i = 3; i < argc && !usage; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--screens") screens = true;
        else if (option == "--scale" && hasValue) scale = std::atoi(argv[++i]);
        else if (option == "--only" && hasValue) only = argv[++i];
        else if (option == "--font" && hasValue) font = argv[++i];
        else usage = true;
    }
    if (usage || scale < 1 || scale > 16) {
        std::fprintf(stderr, "usage: %s <staging root> <sheet prefix> [--scale N] [--only TEXT] [--font FILE] [--screens]\n",
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
    if (screens) {
        if (scale != 1 || !only.empty()) {
            std::fprintf(stderr, "tomarugi-contactsheet: --screens needs every picture at its own size\n");
            return 2;
        }
        const std::string path = std::string(argv[2]) + "-screens.png";
        if (!WriteScreens(pictures, path, &error)) {
            std::fprintf(stderr, "tomarugi-contactsheet: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s: 4 screens\n", path.c_str());
    }
    return 0;
}
