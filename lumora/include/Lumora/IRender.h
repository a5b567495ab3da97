// Lumora/IRender.h: 2D drawing into the logical screen, and texture, sprite and font making.
//
// Made by IGraphicsDevice::CreateRender; the caller owns the reference. Drawing: BeginFrame
// starts an empty frame list; DrawTexture, ISprite2D::Render and IFont::Render append to it
// in call order (later draws cover earlier ones); EndFrame hands the list to the GPU and
// shows it. Only the thread that made the window may call BeginFrame/EndFrame; any thread
// may create textures (they are decoded there and reach the GPU when first drawn).
//
// Units: rectangles are (x, y, width, height) floats; destinations in pixels of the logical
// screen (ICore::Start, 640 x 480 for the game), origin at the top left; sources in texels
// of the texture. Colours are 32-bit ARGB multiplying the texel (0xFFFFFFFF untinted).
//
// Blend modes (SetBlendMode; the mode in force when a draw is added applies to it):
//   0 (BlendNormal): source-over alpha blending (alpha = colour alpha x texel alpha), with
//     the texture sampled texel-exact (nearest). For pictures drawn at their own size: flat
//     fills from one stretched texel, tiles, labels with transparent edges, text.
//   1 (BlendSmooth): the same source-over blending, with the texture sampled by its own
//     filter (SetTextureLoadOptions word 0). For fading and scaled pictures.
// Both honour alpha, so dimmed text (0x88000000) and fading logos look right in either.
// Any other value is treated as 0.
//
// Texture load options (SetTextureLoadOptions(filter, wrap, premultiply, reserved), kept per
// render and applied to the textures it creates afterwards; 0 is the default everywhere and
// values out of range fall back to it):
//   filter: 0 or 2 linear, 1 nearest, 3 linear with mipmaps (for pictures drawn smaller).
//   wrap: 0 clamp to the edge, 1 repeat.
//   premultiply: 1 multiplies colours by alpha when decoding, which keeps filtered edges
//     clean; 0 keeps straight alpha. Either way draws look the same at texel centres: the
//     renderer knows which the texture holds.
//   reserved: 0.
// The game's {3, 0, 1, 0} (smooth, mipmapped, premultiplied) and {1, 0, 0, 0} (pixel-exact,
// straight) both draw its pictures correctly.
#pragma once

#include <Lumora/Base.h>
#include <Lumora/IFont.h>
#include <Lumora/IModel.h>
#include <Lumora/ISceneManager.h>
#include <Lumora/ISprite2D.h>
#include <Lumora/ITexture.h>
#include <Lumora/Math.h>

#include <cstdint>

namespace Lumora {

class IRender : public IInterface {
public:
    enum : std::int32_t { BlendNormal = 0, BlendSmooth = 1 };

    // The colour the frame starts from (ARGB; alpha is ignored: the screen is opaque).
    virtual void SetClearColor(std::uint32_t argb) = 0;
    // Starts a new frame list.
    virtual void BeginFrame() = 0;
    // Draws the frame list to the screen and shows it; counts one sync (ICore::GetSyncCount).
    virtual void EndFrame() = 0;

    // See the option words above.
    virtual void SetTextureLoadOptions(std::uint32_t filter, std::uint32_t wrap,
                                       std::uint32_t premultiply, std::uint32_t reserved) = 0;
    // Reads `fileName` through the core's file manager (its current directory) and decodes
    // it (PNG or TGA) on the calling thread. Null, with one line on stderr naming the file,
    // when it is missing or cannot be decoded. The caller owns the reference.
    virtual ITexture* CreateTextureFromFile(const char* fileName) = 0;
    // A batch of up to vertexCount / 6 squares over `texture` (the sprite keeps its own
    // reference; null draws nothing). The four flags are 0. The caller owns the reference.
    virtual ISprite2D* CreateSprite2D(std::int32_t vertexCount, ITexture* texture,
                                      std::int32_t flags0, std::int32_t flags1,
                                      std::int32_t flags2, std::int32_t flags3) = 0;
    // A bitmap font from the .lft file `fileName` (current directory of the core's file
    // manager) whose pages are "<base>_<n>.<pageExtension>". `glyphCapacity` and
    // `textCapacity` size its per-frame lists in glyphs; `flags` is 1. Never null: a font
    // that failed to load reports IsInvalid.
    virtual IFont* CreateFont(const char* fileName, const char* pageExtension,
                              std::int32_t glyphCapacity, std::int32_t flags,
                              std::int32_t textCapacity) = 0;

    // The three 3D calls below have do-nothing defaults so that stand-in renders written for
    // 2D tests need not implement them; the engine's render implements all three.
    //
    // Reads the model `fileName` (.lmd, see docs/MODELS.md) through the core's file manager
    // and checks it on the calling thread; its textures (material texture names, same
    // directory rules) load the same way. The GPU copy is made on the drawing thread before
    // first use. Null, with one line on stderr naming the file, when it is missing or
    // malformed. The caller owns the reference.
    virtual IModel* CreateModelFromFile(const char* fileName)
    {
        (void)fileName;
        return nullptr;
    }
    // A 3D scene for up to `capacity` actors a frame (see Lumora/ISceneManager.h). The caller
    // owns the reference and releases it before this render.
    virtual ISceneManager* CreateSceneManager(std::int32_t capacity, std::int32_t flags)
    {
        (void)capacity;
        (void)flags;
        return nullptr;
    }
    // Render settings; unknown states and values are ignored.
    //   state 0 (RenderStateModelTextureFilter): how model textures are sampled in 3D
    //     scenes: 0 nearest, 1 linear, 2 linear with mipmaps (the default).
    virtual void SetRenderState(std::int32_t state, std::int32_t value)
    {
        (void)state;
        (void)value;
    }
    enum : std::int32_t { RenderStateModelTextureFilter = 0 };

    // Sets the blend mode for the draws that follow (see above).
    virtual void SetBlendMode(std::int32_t mode) = 0;
    // Draws `source` of `texture` stretched over `destination`, tinted by `argb`. `rotation`
    // turns the picture clockwise on the screen about its centre plus `pivotOffset` (engine
    // angle unit, 65536 to a turn; the game passes 0 and (0, 0)). A null texture draws
    // nothing.
    virtual void DrawTexture(const Math::Rect& destination, std::uint32_t argb,
                             const Math::Rect& source, ITexture* texture, std::int32_t rotation,
                             const Math::Point2D& pivotOffset) = 0;
};

} // namespace Lumora
