#include "Font.h"

#include "Runtime.h"

#include <chrono>
#include <cstdio>
#include <system_error>

namespace Lumora::Internal {

Font::Font(Internal::Render* render, std::string fileName) : render_(render), fileName_(std::move(fileName))
{
    render_->AddRef();
}

namespace {

// Set by tests; otherwise fonts decode in the background unless headless.
std::optional<bool> backgroundDecodingOverride;

} // namespace

void Font::SetBackgroundDecoding(std::optional<bool> enabled)
{
    backgroundDecodingOverride = enabled;
}

Font::~Font()
{
    // A decode still under way reads this font's fields: wait for it, then release its page.
    for (std::size_t index = 0; index < pages_.size(); ++index) {
        CollectPage(index, true);
    }
    for (Page& page : pages_) {
        if (page.texture != nullptr) {
            page.texture->Release();
        }
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
    // Decoding a page (about 30 ms of processor time and 4 MiB per 1024 x 1024 page) waits
    // for the first glyph drawn from it. A font named from the pack root leaves even the
    // reading of its page files (decrypting and inflating about 1.2 MB each) to then: such
    // a name means the same file from any thread at any time. A name relative to the file
    // manager's current directory means the right file only now, so those pages are read
    // here (and a missing one makes the font invalid at once).
    font->pageExtension_ = pageExtension != nullptr ? pageExtension : "";
    font->pages_.resize(parsed.font->PageCount());
    font->readPagesOnFirstUse_ = name[0] == '/' || name[0] == '\\';
    // Each page's 2x companion, named now while the current directory is the font's.
    for (std::size_t page = 0; page < font->pages_.size(); ++page) {
        const std::string pageName = LftPageFileName(name, font->pageExtension_, static_cast<int>(page));
        font->pages_[page].highResolutionName = render->AbsoluteName(HighResolutionName(pageName).c_str());
    }
    for (std::size_t page = 0; page < font->pages_.size() && !font->readPagesOnFirstUse_; ++page) {
        const std::string pageName = LftPageFileName(name, font->pageExtension_, static_cast<int>(page));
        if (!render->ReadFile(pageName.c_str(), font->pages_[page].file)) {
            std::fprintf(stderr, "Lumora: font \"%s\": page \"%s\" cannot be loaded\n", name, pageName.c_str());
            font->pages_.clear();
            return font;
        }
    }
    font->layout_ = std::move(parsed.font);
    font->decodesInBackground_ = backgroundDecodingOverride.value_or(!GetRuntimeMode().headless);
    return font;
}

void Font::RequestPage(std::size_t index)
{
    Page& page = pages_[index];
    if (page.decoded || page.pending.valid()) {
        return;
    }
    if (decodesInBackground_) {
        try {
            page.pending = std::async(std::launch::async, &Font::DecodePage, this, index, std::move(page.file));
            return;
        } catch (const std::system_error&) {
            // No thread to be had: decode here, a hitch rather than text that never shows.
        }
    }
    page.texture = DecodePage(index, std::move(page.file));
    page.decoded = true;
}

bool Font::CollectPage(std::size_t index, bool wait)
{
    Page& page = pages_[index];
    if (page.pending.valid() &&
        (wait || page.pending.wait_for(std::chrono::seconds(0)) == std::future_status::ready)) {
        page.texture = page.pending.get();
        page.decoded = true;
    }
    return page.decoded;
}

Texture* Font::DecodePage(std::size_t index, std::vector<std::uint8_t> file) const
{
    const std::string pageName = LftPageFileName(fileName_, pageExtension_, static_cast<int>(index));
    if (readPagesOnFirstUse_ && !render_->ReadFile(pageName.c_str(), file)) {
        std::fprintf(stderr, "Lumora: font \"%s\": page \"%s\" cannot be loaded; its glyphs are not drawn\n",
                     fileName_.c_str(), pageName.c_str());
        return nullptr;
    }
    std::string error;
    std::optional<DecodedImage> image = DecodeImage(file.data(), file.size(), error);
    std::vector<std::uint8_t>().swap(file); // decoded or not, the bytes are done with
    if (image && (image->width != layout_->Data().pageWidth || image->height != layout_->Data().pageHeight)) {
        error = "its size is not the font's page size";
        image.reset();
    }
    if (!image) {
        std::fprintf(stderr, "Lumora: font \"%s\": page \"%s\" cannot be decoded (%s); its glyphs are not drawn\n",
                     fileName_.c_str(), pageName.c_str(), error.c_str());
        return nullptr;
    }
    // Pages hold coverage, not colour: straight (never premultiplied), smoothly filtered.
    TextureOptions pageOptions;
    pageOptions.filter = TextureFilter::Linear;
    auto* texture = new Texture(pageName, std::move(*image), pageOptions);
    texture->SetHighResolutionName(pages_[index].highResolutionName);
    return texture;
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
        if (quad.page < pages_.size() && !pages_[quad.page].decoded) {
            RequestPage(quad.page);
        }
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
        // Glyphs of a page that failed to decode, or is still being decoded, draw nothing.
        if (glyph.page >= pages_.size() || !CollectPage(glyph.page, false) || pages_[glyph.page].texture == nullptr) {
            continue;
        }
        quad.texture = pages_[glyph.page].texture;
        quad.destination = glyph.destination;
        quad.source = glyph.source;
        quad.argb = glyph.argb;
        quad.outlineArgb = glyph.outlineArgb;
        render_->AddQuad(quad);
    }
}

} // namespace Lumora::Internal
