// Bitmap fonts for IRender::CreateFont. Internal.
//
// A font's pages are textures; each DrawText lays its Shift-JIS text out into glyph quads
// that go into the render's frame with the text shader (fill over outline). The .lft reader
// and layout come from the font module; a build without it makes fonts that report
// IsInvalid and draw nothing.
#pragma once

#include "GraphicsDevice.h"

#include <Lumora/IFont.h>

#include <string>
#include <vector>

namespace Lumora::Internal {

class Font final : public IFont {
public:
    // Never null: a font that cannot be loaded is returned invalid (said on stderr).
    static Font* Load(Internal::Render* render, const char* fileName, const char* pageExtension, std::int32_t glyphCapacity,
                      std::int32_t textCapacity);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;
    void Begin(std::int32_t flags) override;
    void DrawText(const char* text, std::int32_t x, std::int32_t y, std::uint32_t argb,
                  std::uint32_t outlineArgb) override;
    void End() override { open_ = false; }
    void Render() override;
    std::int32_t IsInvalid() override { return pages_.empty() ? 1 : 0; }

private:
    explicit Font(Internal::Render* render);
    ~Font() override;

    struct PendingText {
        std::string text;
        std::int32_t x;
        std::int32_t y;
        std::uint32_t argb;
        std::uint32_t outlineArgb;
    };

    std::atomic<std::int32_t> references_{1};
    Internal::Render* render_;
    std::vector<Texture*> pages_; // empty: invalid
    std::vector<PendingText> texts_;
    bool open_ = false;
};

} // namespace Lumora::Internal
