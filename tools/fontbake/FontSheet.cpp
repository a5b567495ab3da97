// tomarugi-fontsheet: draws a baked font into a PNG so that a person can look at it.
//
//   tomarugi-fontsheet FONT.lft OUT.png [--page N] [--region X Y W H] [--zoom N]
//                      [--text UTF8] ...
//
// The sheet shows a region of one page (default: all of page 0) with fill and outline in
// contrasting colours over grey, and below it each --text line laid out by the engine's
// own layout and composited the way the text shader does it: outline colour first, fill
// colour over it. Two colour schemes: black on a white outline over the stage list's
// bar colour, and white on a dark outline over a dark panel.
#include "FontBaker.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace Lft = Lumora::Internal;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

struct Page {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // 2 channels: fill, outline
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    void Fill(int x0, int y0, int w, int h, const std::uint8_t colour[3]) {
        for (int y = std::max(y0, 0); y < std::min(y0 + h, height); ++y) {
            for (int x = std::max(x0, 0); x < std::min(x0 + w, width); ++x) {
                std::copy(colour, colour + 3, &rgb[static_cast<std::size_t>(y * width + x) * 3]);
            }
        }
    }

    // Straight-alpha "over" of `colour` with `coverage` (0..255) at one pixel.
    void Blend(int x, int y, const std::uint8_t colour[3], int coverage) {
        if (x < 0 || y < 0 || x >= width || y >= height || coverage == 0) {
            return;
        }
        std::uint8_t* target = &rgb[static_cast<std::size_t>(y * width + x) * 3];
        for (int c = 0; c < 3; ++c) {
            target[c] = static_cast<std::uint8_t>((target[c] * (255 - coverage) + colour[c] * coverage + 127) / 255);
        }
    }
};

// Draws `quads` from `pages` at `zoom`, outline under fill, nearest-neighbour.
void DrawQuads(Image& image, const std::vector<Page>& pages, const std::vector<Lft::LftQuad>& quads, int zoom,
               const std::uint8_t fill[3], const std::uint8_t outline[3]) {
    for (int pass = 1; pass >= 0; --pass) {  // channel 1 (outline) first, then channel 0 (fill)
        for (const Lft::LftQuad& quad : quads) {
            const Page& page = pages[quad.page];
            for (int v = 0; v < static_cast<int>(quad.sourceHeight); ++v) {
                for (int u = 0; u < static_cast<int>(quad.sourceWidth); ++u) {
                    const int sx = static_cast<int>(quad.sourceX) + u;
                    const int sy = static_cast<int>(quad.sourceY) + v;
                    const int coverage = page.pixels[static_cast<std::size_t>(sy * page.width + sx) * 2 + pass];
                    for (int zy = 0; zy < zoom; ++zy) {
                        for (int zx = 0; zx < zoom; ++zx) {
                            image.Blend((static_cast<int>(quad.destinationX) + u) * zoom + zx,
                                        (static_cast<int>(quad.destinationY) + v) * zoom + zy,
                                        pass == 1 ? outline : fill, coverage);
                        }
                    }
                }
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tomarugi-fontsheet FONT.lft OUT.png [--page N] [--region X Y W H] "
                             "[--zoom N] [--text UTF8]...\n");
        return 1;
    }
    const std::string fontPath = argv[1];
    const std::string outPath = argv[2];
    int pageIndex = 0;
    int zoom = 1;
    int region[4] = {0, 0, -1, -1};
    std::vector<std::string> texts;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : "0"; };
        if (option == "--page") {
            pageIndex = std::atoi(next());
        } else if (option == "--zoom") {
            zoom = std::clamp(std::atoi(next()), 1, 16);
        } else if (option == "--region") {
            for (int& value : region) {
                value = std::atoi(next());
            }
        } else if (option == "--text") {
            texts.emplace_back(next());
        } else {
            std::fprintf(stderr, "tomarugi-fontsheet: unknown option %s\n", option.c_str());
            return 1;
        }
    }

    const std::vector<std::uint8_t> bytes = ReadFile(fontPath);
    const Lft::LftParseResult parsed = Lft::ParseLft(bytes);
    if (!parsed.font) {
        std::fprintf(stderr, "tomarugi-fontsheet: %s: %s\n", fontPath.c_str(), Lft::DescribeLftError(parsed.error));
        return 1;
    }
    const Lft::LftFont& font = *parsed.font;
    std::vector<Page> pages;
    for (int n = 0; n < font.PageCount(); ++n) {
        const std::string pagePath = Lft::LftPageFileName(fontPath, "tga", n);
        const std::vector<std::uint8_t> file = ReadFile(pagePath);
        Page page;
        int channels = 0;
        stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &page.width,
                                                &page.height, &channels, 2);
        if (pixels == nullptr) {
            std::fprintf(stderr, "tomarugi-fontsheet: %s: %s\n", pagePath.c_str(), stbi_failure_reason());
            return 1;
        }
        page.pixels.assign(pixels, pixels + static_cast<std::size_t>(page.width * page.height) * 2);
        stbi_image_free(pixels);
        if (page.width != font.Data().pageWidth || page.height != font.Data().pageHeight) {
            std::fprintf(stderr, "tomarugi-fontsheet: %s is %dx%d, the font says %dx%d\n", pagePath.c_str(),
                         page.width, page.height, font.Data().pageWidth, font.Data().pageHeight);
            return 1;
        }
        pages.push_back(std::move(page));
    }
    if (pageIndex < 0 || pageIndex >= font.PageCount()) {
        std::fprintf(stderr, "tomarugi-fontsheet: no page %d\n", pageIndex);
        return 1;
    }
    const Page& shown = pages[static_cast<std::size_t>(pageIndex)];
    if (region[2] < 0) {
        region[2] = shown.width;
        region[3] = shown.height;
    }
    region[0] = std::clamp(region[0], 0, shown.width - 1);
    region[1] = std::clamp(region[1], 0, shown.height - 1);
    region[2] = std::clamp(region[2], 1, shown.width - region[0]);
    region[3] = std::clamp(region[3], 1, shown.height - region[1]);

    // Sample lines, converted to Shift-JIS as the game holds them.
    std::vector<std::string> lines;
    int widest = 0;
    for (const std::string& text : texts) {
        std::string sjis;
        if (!Tomarugi::FontBake::Utf8ToSjis(text, sjis)) {
            std::fprintf(stderr, "tomarugi-fontsheet: \"%s\" has characters outside code page 932\n", text.c_str());
            return 1;
        }
        widest = std::max(widest, font.MeasureText(sjis));
        lines.push_back(sjis);
    }
    const int margin = 8;
    const int rowHeight = font.LineHeight() + 2 * font.Data().outlineWidth + 8;
    const int textBlock = static_cast<int>(lines.size()) * 2 * rowHeight;
    Image image;
    image.width = std::max(region[2], widest + 2 * margin) * zoom;
    image.height = (region[3] + textBlock) * zoom;
    image.rgb.assign(static_cast<std::size_t>(image.width * image.height) * 3, 0x80);

    const std::uint8_t black[3] = {0, 0, 0};
    const std::uint8_t white[3] = {255, 255, 255};
    const std::uint8_t red[3] = {200, 40, 40};
    for (int y = 0; y < region[3]; ++y) {
        for (int x = 0; x < region[2]; ++x) {
            const std::size_t source = static_cast<std::size_t>((region[1] + y) * shown.width + region[0] + x) * 2;
            for (int zy = 0; zy < zoom; ++zy) {
                for (int zx = 0; zx < zoom; ++zx) {
                    image.Blend(x * zoom + zx, y * zoom + zy, red, shown.pixels[source + 1]);
                    image.Blend(x * zoom + zx, y * zoom + zy, white, shown.pixels[source]);
                }
            }
        }
    }

    const std::uint8_t bar[3] = {0xF0, 0xF4, 0xF8};
    const std::uint8_t dark[3] = {0x30, 0x40, 0x58};
    const std::uint8_t guide[3] = {0xFF, 0x90, 0x00};
    int top = region[3];
    for (const std::string& line : lines) {
        for (int scheme = 0; scheme < 2; ++scheme) {
            image.Fill(0, top * zoom, image.width, rowHeight * zoom, scheme == 0 ? bar : dark);
            const int lineTop = top + 4 + font.Data().outlineWidth;
            // Orange ticks at the line's top and baseline, to judge the vertical metrics.
            image.Fill(0, lineTop * zoom, 4 * zoom, zoom, guide);
            image.Fill(0, (lineTop + font.Ascent()) * zoom, 4 * zoom, zoom, guide);
            std::vector<Lft::LftQuad> quads;
            font.LayoutText(line, static_cast<float>(margin), static_cast<float>(lineTop), quads);
            DrawQuads(image, pages, quads, zoom, scheme == 0 ? black : white, scheme == 0 ? white : black);
            top += rowHeight;
        }
    }

    if (stbi_write_png(outPath.c_str(), image.width, image.height, 3, image.rgb.data(), image.width * 3) == 0) {
        std::fprintf(stderr, "tomarugi-fontsheet: cannot write %s\n", outPath.c_str());
        return 1;
    }
    return 0;
}
