#include "Font.h"

#include <cstdio>

namespace Lumora::Internal {

Font::Font(Internal::Render* render) : render_(render)
{
    render_->AddRef();
}

Font::~Font()
{
    for (Texture* page : pages_) {
        page->Release();
    }
    render_->Release();
}

Font* Font::Load(Internal::Render* render, const char* fileName, const char*, std::int32_t glyphCapacity,
                 std::int32_t)
{
    Font* font = new Font(render);
    font->texts_.reserve(glyphCapacity > 0 ? static_cast<std::size_t>(glyphCapacity) : 0u);
    // The .lft reader lives in the font module, which this build does not contain yet; the
    // font is therefore unusable, and says so.
    std::fprintf(stderr, "Lumora: font \"%s\": this engine build cannot read .lft fonts\n",
                 fileName != nullptr ? fileName : "");
    return font;
}

std::int32_t Font::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

void Font::Begin(std::int32_t)
{
    texts_.clear();
    open_ = true;
}

void Font::DrawText(const char* text, std::int32_t x, std::int32_t y, std::uint32_t argb, std::uint32_t outlineArgb)
{
    if (!open_ || text == nullptr || pages_.empty()) {
        return;
    }
    texts_.push_back(PendingText{text, x, y, argb, outlineArgb});
}

void Font::Render()
{
    // Nothing is queued while the font is invalid (DrawText refuses), so nothing to lay out.
}

} // namespace Lumora::Internal
