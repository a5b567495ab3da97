// Lumora/ITexture.h: a picture that the renderer draws from.
//
// Made by IRender::CreateTextureFromFile; the caller owns the reference and hands the
// texture back to DrawTexture and CreateSprite2D. A texture may be made on one thread (the
// loader) and drawn on another: the pixels are decoded where it is made and reach the GPU
// on the drawing thread before their first use. Sizes are in texels.
#pragma once

#include <Lumora/Base.h>

#include <cstdint>

namespace Lumora {

class ITexture : public IInterface {
public:
    // Width and height of the decoded picture in texels.
    virtual std::int32_t GetWidth() = 0;
    virtual std::int32_t GetHeight() = 0;
    // The file name it was made from (Shift-JIS, as given to CreateTextureFromFile).
    virtual const char* GetName() = 0;
};

} // namespace Lumora
