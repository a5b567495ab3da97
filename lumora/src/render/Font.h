// Bitmap fonts for IRender::CreateFont. Internal.
//
// The .lft file is read by the font module (LftFont.h); its pages become textures, and each
// DrawText is laid out at once into glyph quads kept in the font until Render puts them into
// the render's frame with the text shader (fill colour over outline colour). Capacities are
// reserved at creation so a frame of text allocates nothing.
#pragma once

#include "GraphicsDevice.h"
#include "LftFont.h"

#include <Lumora/IFont.h>

#include <optional>
#include <string>
#include <vector>

namespace Lumora::Internal {

class Font final : public IFont {
public:
    // Never null: a font whose file or a page cannot be loaded is returned invalid (said on
    // stderr, naming the file).
    static Font* Load(Internal::Render* render, const char* fileName, const char* pageExtension,
                      std::int32_t glyphCapacity, std::int32_t textCapacity);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;
    void Begin(std::int32_t flags) override;
    void DrawText(const char* text, std::int32_t x, std::int32_t y, std::uint32_t argb,
                  std::uint32_t outlineArgb) override;
    void End() override { open_ = false; }
    void Render() override;
    std::int32_t IsInvalid() override { return layout_.has_value() ? 0 : 1; }

private:
    explicit Font(Internal::Render* render, std::string fileName);
    ~Font() override;

    struct Glyph {
        std::uint16_t page;
        Math::Rect destination;
        Math::Rect source;
        std::uint32_t argb;
        std::uint32_t outlineArgb;
    };
    // One DrawText: its glyphs and, for the headless record, where its text is kept.
    struct Text {
        std::size_t firstGlyph;
        std::size_t textOffset;
        std::size_t textLength;
        std::int32_t x;
        std::int32_t y;
        std::uint32_t argb;
        std::uint32_t outlineArgb;
    };

    std::atomic<std::int32_t> references_{1};
    Internal::Render* render_;
    std::string fileName_;
    std::optional<LftFont> layout_; // empty: invalid
    std::vector<Texture*> pages_;
    std::vector<Glyph> glyphs_;
    std::vector<Text> texts_;
    std::string textBytes_;          // every text of the list, back to back
    std::vector<LftQuad> scratch_;
    bool open_ = false;
};

} // namespace Lumora::Internal
