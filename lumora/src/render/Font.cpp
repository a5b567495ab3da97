#include "Font.h"

#include "Runtime.h"

#include <cstdio>

namespace Lumora::Internal {

Font::Font(Internal::Render* render, std::string fileName) : render_(render), fileName_(std::move(fileName))
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

Font* Font::Load(Internal::Render* render, const char* fileName, const char* pageExtension,
                 std::int32_t glyphCapacity, std::int32_t textCapacity)
{
    const char* name = fileName != nullptr ? fileName : "";
    Font* font = new Font(render, name);
    font->glyphs_.reserve(glyphCapacity > 0 ? static_cast<std::size_t>(glyphCapacity) : 256u);
    font->texts_.reserve(textCapacity > 0 ? static_cast<std::size_t>(textCapacity) : 16u);
    font->textBytes_.reserve(font->glyphs_.capacity() * 2);
    font->scratch_.reserve(font->glyphs_.capacity());

    std::vector<std::uint8_t> bytes;
    if (!render->ReadFile(name, bytes)) {
        std::fprintf(stderr, "Lumora: font \"%s\": file not found or unreadable\n", name);
        return font;
    }
    LftParseResult parsed = ParseLft(bytes);
    if (!parsed.font) {
        std::fprintf(stderr, "Lumora: font \"%s\": %s\n", name, DescribeLftError(parsed.error));
        return font;
    }
    // Pages hold coverage, not colour: straight (never premultiplied), smoothly filtered.
    TextureOptions pageOptions;
    pageOptions.filter = TextureFilter::Linear;
    const std::string extension = pageExtension != nullptr ? pageExtension : "";
    for (int page = 0; page < parsed.font->PageCount(); ++page) {
        const std::string pageName = LftPageFileName(name, extension, page);
        Texture* texture = render->LoadTexture(pageName.c_str(), pageOptions);
        if (texture == nullptr) {
            std::fprintf(stderr, "Lumora: font \"%s\": page \"%s\" cannot be loaded\n", name, pageName.c_str());
            for (Texture* loaded : font->pages_) {
                loaded->Release();
            }
            font->pages_.clear();
            return font;
        }
        font->pages_.push_back(texture);
    }
    font->layout_ = std::move(parsed.font);
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
    glyphs_.clear();
    texts_.clear();
    textBytes_.clear();
    open_ = true;
}

void Font::DrawText(const char* text, std::int32_t x, std::int32_t y, std::uint32_t argb, std::uint32_t outlineArgb)
{
    if (!open_ || text == nullptr || !layout_) {
        return;
    }
    const std::string_view bytes(text);
    texts_.push_back(Text{glyphs_.size(), textBytes_.size(), bytes.size(), x, y, argb, outlineArgb});
    textBytes_.append(bytes);
    scratch_.clear();
    layout_->LayoutText(bytes, static_cast<float>(x), static_cast<float>(y), scratch_);
    for (const LftQuad& quad : scratch_) {
        glyphs_.push_back(Glyph{quad.page,
                                Math::Rect(quad.destinationX, quad.destinationY, quad.destinationWidth,
                                           quad.destinationHeight),
                                Math::Rect(quad.sourceX, quad.sourceY, quad.sourceWidth, quad.sourceHeight), argb,
                                outlineArgb});
    }
}

void Font::Render()
{
    if (!layout_) {
        return;
    }
    const bool recording = GetRuntimeMode().headless;
    Quad quad;
    quad.shader = QuadShader::Text;
    quad.origin = DrawOrigin::Text;
    std::size_t nextText = 0;
    for (std::size_t index = 0; index <= glyphs_.size(); ++index) {
        // The record shows each text once, before its glyphs (a text may have none).
        while (recording && nextText < texts_.size() && texts_[nextText].firstGlyph == index) {
            const Text& text = texts_[nextText++];
            TextDraw draw;
            draw.text.assign(textBytes_, text.textOffset, text.textLength);
            draw.pageName = fileName_;
            draw.x = static_cast<float>(text.x);
            draw.y = static_cast<float>(text.y);
            draw.argb = text.argb;
            draw.outlineArgb = text.outlineArgb;
            render_->AddText(std::move(draw));
        }
        if (index == glyphs_.size()) {
            break;
        }
        const Glyph& glyph = glyphs_[index];
        if (glyph.page >= pages_.size()) {
            continue;
        }
        quad.texture = pages_[glyph.page];
        quad.destination = glyph.destination;
        quad.source = glyph.source;
        quad.argb = glyph.argb;
        quad.outlineArgb = glyph.outlineArgb;
        render_->AddQuad(quad);
    }
}

} // namespace Lumora::Internal
