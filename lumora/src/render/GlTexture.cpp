#include "GlTexture.h"

#include <epoxy/gl.h>

namespace Lumora::Internal {

bool UploadTextureToGl(Texture& texture)
{
    if (texture.gpuName != 0) {
        return true;
    }
    if (texture.uploadFailed) {
        return false;
    }
    std::vector<std::uint8_t>& pixels = texture.Pixels();
    std::int32_t width = texture.GetWidth();
    std::int32_t height = texture.GetHeight();
    if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u) {
        texture.uploadFailed = true;
        return false;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    const TextureOptions& options = texture.Options();
    GLint minFilter = GL_LINEAR;
    GLint magFilter = GL_LINEAR;
    GLint levels = 1;
    if (options.filter == TextureFilter::Nearest) {
        minFilter = GL_NEAREST;
        magFilter = GL_NEAREST;
    } else if (options.filter == TextureFilter::LinearMipmaps) {
        // The levels were made when the texture was decoded (see Texture.h for why).
        for (const std::vector<std::uint8_t>& level : texture.MipLevels()) {
            width = width > 1 ? width / 2 : 1;
            height = height > 1 ? height / 2 : 1;
            glTexImage2D(GL_TEXTURE_2D, levels, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, level.data());
            ++levels;
        }
        minFilter = GL_LINEAR_MIPMAP_LINEAR;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    const GLint wrap = options.repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    texture.gpuName = name;
    // The GPU copy is the one that counts now.
    std::vector<std::uint8_t>().swap(pixels);
    std::vector<std::vector<std::uint8_t>>().swap(texture.MipLevels());
    return true;
}

} // namespace Lumora::Internal
