// Bitmap fonts for IRender::CreateFont. Internal.
//
// The .lft file is read by the font module (LftFont.h). A page is decoded into a texture only
// when DrawText first lays out a glyph on it: on a helper thread in the normal mode (the
// glyphs of that page show from the first frame after it is ready, so a screen that opens
// with new text never stalls on a page), at once in headless mode; the GPU backend uploads
// it before the frame that uses it. Page files are read then too when the font is
// named from the pack root ("/font/Font.lft"); for a name relative to the file manager's
// current directory they are read at load and kept as file bytes until their first use. A full font is 6 to 10 pages
// of 1024 x 1024 (4 MiB of pixels each), of which a screen usually needs one or two.
// Each DrawText is laid out at once into glyph quads kept in the font until Render puts them
// into the render's frame with the text shader (fill colour over outline colour). Capacities
// are reserved at creation, so a frame of text allocates nothing once its pages are decoded.
#pragma once

#include "GraphicsDevice.h"
#include "LftFont.h"

#include <Lumora/IFont.h>

#include <future>
#include <optional>
#include <string>
#include <vector>

namespace Lumora::Internal {

class Font final : public IFont {
public:
    // Never null: a font whose file, or (for a relative name) a page file, cannot be read is
    // returned invalid (said on stderr, naming the file). A page that turns out missing (for
    // a name from the root), undecodable or of another size than the font's pages is said
    // on stderr once, at its first use; its glyphs then draw nothing and the rest works.
    static Font* Load(Internal::Render* render, const char* fileName, const char* pageExtension,
                      std::int32_t glyphCapacity, std::int32_t textCapacity);
    // Whether fonts made from now on decode their pages on helper threads: by default in the
    // normal (windowed) mode and not headless. Tests set it; `std::nullopt` restores it.
    static void SetBackgroundDecoding(std::optional<bool> enabled);

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
    // One page: its file's bytes (when read at load) until first use, then its texture (or
    // neither when it failed).
    struct Page {
        std::vector<std::uint8_t> file;
        Texture* texture = nullptr; // owned
        bool decoded = false;       // tried: `texture` is the outcome
        // A decode under way on a helper thread (see DecodesInBackground); its result is
        // taken on the main thread once it is ready.
        std::future<Texture*> pending;
        std::string highResolutionName; // the page's 2x companion, absolute (Texture.h)
    };
    // Starts decoding page `index` at its first use: on a helper thread when the font decodes
    // in the background, otherwise here and now.
    void RequestPage(std::size_t index);
    // Takes the result of a background decode of page `index` once it is ready (or, with
    // `wait`, waits for it). True when the page is decoded.
    bool CollectPage(std::size_t index, bool wait);
    // Reads (when not yet read) and decodes one page's file; the texture, or null (said on
    // stderr) when it failed. Touches only what does not change after Load, so it may run
    // on any thread.
    Texture* DecodePage(std::size_t index, std::vector<std::uint8_t> file) const;

    std::optional<LftFont> layout_; // empty: invalid
    std::string pageExtension_;
    bool readPagesOnFirstUse_ = false; // named from the root: page files read at first use
    // Pages are decoded on helper threads (about 30 ms of processor time each, too long for
    // a frame); a glyph draws from the first frame after its page is ready. Headless runs
    // decode at once, so that every recorded or read-back frame is complete.
    bool decodesInBackground_ = false;
    std::vector<Page> pages_;       // one per page of the font, sized at load
    std::vector<Glyph> glyphs_;
    std::vector<Text> texts_;
    std::string textBytes_;          // every text of the list, back to back
    std::vector<LftQuad> scratch_;
    bool open_ = false;
};

} // namespace Lumora::Internal
