// tomarugi-fontbake: bakes a TrueType/OpenType font into a .lft bitmap font and its pages.
//
//   tomarugi-fontbake --font FILE --size PX --outline PX (--charset cp932 | --charset-file FILE)
//                     [--page-size PX] [--face N] [--high-resolution] --output BASE
//
// Writes BASE.lft and BASE_<n>.tga (with --high-resolution also BASE_<n>@2x.tga, the pages
// at twice the pixel size for large windows), then a summary (glyphs, pages, bytes, time, and the
// first characters the face lacks) on standard output. Exit status 0 on success, 1 with a message on standard error otherwise.
#include "FontBaker.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: tomarugi-fontbake --font FILE --size PX --outline PX\n"
                 "                         (--charset cp932 | --charset-file UTF8FILE)\n"
                 "                         [--page-size PX] [--face N] [--high-resolution] --output BASE\n");
}

bool ParseInt(const char* text, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < -100000 || parsed > 100000) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace Tomarugi::FontBake;
    BakeSettings settings;
    std::string charsetName;
    std::string charsetFile;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--high-resolution") {
            settings.highResolution = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "tomarugi-fontbake: %s needs a value\n", option.c_str());
            PrintUsage();
            return 1;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (option == "--font") {
            settings.fontPath = value;
        } else if (option == "--size") {
            ok = ParseInt(value, settings.pixelSize);
        } else if (option == "--outline") {
            ok = ParseInt(value, settings.outlineWidth);
        } else if (option == "--page-size") {
            ok = ParseInt(value, settings.pageSize);
        } else if (option == "--face") {
            ok = ParseInt(value, settings.faceIndex);
        } else if (option == "--charset") {
            charsetName = value;
        } else if (option == "--charset-file") {
            charsetFile = value;
        } else if (option == "--output") {
            output = value;
        } else {
            std::fprintf(stderr, "tomarugi-fontbake: unknown option %s\n", option.c_str());
            PrintUsage();
            return 1;
        }
        if (!ok) {
            std::fprintf(stderr, "tomarugi-fontbake: %s wants a number, not \"%s\"\n", option.c_str(), value);
            return 1;
        }
    }
    if (settings.fontPath.empty() || output.empty() || charsetName.empty() == charsetFile.empty()) {
        PrintUsage();
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    std::vector<CharsetEntry> charset;
    std::string error;
    if (!charsetName.empty()) {
        if (charsetName != "cp932") {
            std::fprintf(stderr, "tomarugi-fontbake: unknown character set \"%s\" (known: cp932)\n",
                         charsetName.c_str());
            return 1;
        }
        charset = EnumerateCp932();
        if (charset.empty()) {
            std::fprintf(stderr, "tomarugi-fontbake: iconv cannot convert CP932 on this system\n");
            return 1;
        }
    } else {
        std::ifstream file(charsetFile, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "tomarugi-fontbake: cannot read %s\n", charsetFile.c_str());
            return 1;
        }
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (!CharsetFromUtf8(text, charset, error)) {
            std::fprintf(stderr, "tomarugi-fontbake: %s: %s\n", charsetFile.c_str(), error.c_str());
            return 1;
        }
    }

    BakedFont baked;
    if (!BakeFont(settings, charset, baked, error)) {
        std::fprintf(stderr, "tomarugi-fontbake: %s\n", error.c_str());
        return 1;
    }
    if (!WriteBakedFont(baked, output, error)) {
        std::fprintf(stderr, "tomarugi-fontbake: %s\n", error.c_str());
        return 1;
    }
    // Name the first few characters the face lacks: they will show as the fallback glyph.
    for (std::size_t i = 0; i < baked.missing.size() && i < 16; ++i) {
        std::printf("  not in the font: code 0x%04X (U+%04X)\n", baked.missing[i].code,
                    static_cast<unsigned>(baked.missing[i].unicode));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::uintmax_t bytes = std::filesystem::file_size(output + ".lft");
    for (std::size_t page = 0; page < baked.pages.size(); ++page) {
        bytes += std::filesystem::file_size(
            Lumora::Internal::LftPageFileName(output + ".lft", "tga", static_cast<int>(page)));
    }
    std::printf("%s.lft: %zu glyphs (%zu characters not in the font), %zu pages of %dx%d, "
                "line %u ascent %u, %ju bytes, %.2f s\n",
                output.c_str(), baked.data.glyphs.size(), baked.missing.size(), baked.pages.size(),
                settings.pageSize, settings.pageSize, baked.data.lineHeight, baked.data.ascent, bytes,
                seconds);
    return 0;
}
