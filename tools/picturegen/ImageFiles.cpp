#include "ImageFiles.h"

#include <filesystem>
#include <system_error>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

namespace picturegen {

namespace {

bool EndsWith(const std::string& text, const std::string& tail)
{
    if (text.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        const char a = static_cast<char>(std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])));
        if (a != tail[i]) return false;
    }
    return true;
}

}  // namespace

bool WriteImageFile(const Canvas& canvas, const std::string& path, std::string* error)
{
    const bool png = EndsWith(path, ".png"), tga = EndsWith(path, ".tga");
    if (!png && !tga) {
        *error = path + ": only .png and .tga pictures can be written";
        return false;
    }
    std::error_code code;
    const std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), code);
    if (code) {
        *error = path + ": cannot create its folder: " + code.message();
        return false;
    }
    const std::string temporary = path + ".partial";
    const auto pixels = canvas.ToRgba8();
    int written = 0;
    if (png) {
        written = stbi_write_png(temporary.c_str(), canvas.Width(), canvas.Height(), 4, pixels.data(), canvas.Width() * 4);
    } else {
        // Uncompressed, bottom-up as most readers expect; stb_image reads either way.
        stbi_write_tga_with_rle = 0;
        written = stbi_write_tga(temporary.c_str(), canvas.Width(), canvas.Height(), 4, pixels.data());
    }
    if (!written) {
        std::filesystem::remove(temporary, code);
        *error = path + ": cannot write the picture";
        return false;
    }
    std::filesystem::rename(temporary, target, code);
    if (code) {
        *error = path + ": cannot move the picture into place: " + code.message();
        return false;
    }
    return true;
}

}  // namespace picturegen
