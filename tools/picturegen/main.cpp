// tomarugi-picturegen: paints every picture of the game from its definitions.
//
//     tomarugi-picturegen <definitions.pic> <staging root> [<picture path>...]
//
// Reads the definition file (and what it includes), paints each picture and writes it
// under the staging root at its path (graphic/sprite/..., as inside the data pack), and
// paints it again at twice the size beside it, at its high-resolution path ("name@2x.png",
// see PictureBook.h): the engine draws from those in windows of 1.5x and more. With picture
// paths after the root, only those are painted. Exit status 1 on any error, with
// the file and line of the definition that failed.
#include <chrono>
#include <cstdio>
#include <set>
#include <string>

#include "ImageFiles.h"
#include "PictureBook.h"
#include "PicturePainter.h"
#include "TextSetter.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <definitions.pic> <staging root> [<picture path>...]\n", argc > 0 ? argv[0] : "tomarugi-picturegen");
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    std::set<std::string> only(argv + 3, argv + argc);
    picturegen::PictureBook book;
    std::string error;
    if (!picturegen::LoadPictureBook(argv[1], &book, &error)) {
        std::fprintf(stderr, "tomarugi-picturegen: %s\n", error.c_str());
        return 1;
    }
    picturegen::TextSetter text;
    picturegen::PicturePainter painter(book, text);
    if (!painter.LoadFonts(&error)) {
        std::fprintf(stderr, "tomarugi-picturegen: %s\n", error.c_str());
        return 1;
    }
    int painted = 0;
    for (const auto& picture : book.pictures) {
        if (!only.empty() && !only.count(picture.path)) continue;
        for (const int scale : {1, picturegen::kHighResolutionScale}) {
            picturegen::Canvas canvas(picture.width * scale, picture.height * scale);
            const std::string path = scale == 1 ? picture.path : picturegen::HighResolutionPath(picture.path);
            if (!painter.Paint(picture, &canvas, &error, scale) ||
                !picturegen::WriteImageFile(canvas, std::string(argv[2]) + "/" + path, &error)) {
                std::fprintf(stderr, "tomarugi-picturegen: %s\n", error.c_str());
                return 1;
            }
        }
        only.erase(picture.path);
        ++painted;
    }
    if (!only.empty()) {
        std::fprintf(stderr, "tomarugi-picturegen: no definition for %s\n", only.begin()->c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("tomarugi-picturegen: %d pictures in %.2f s\n", painted, seconds);
    return 0;
}
