// libFuzzer target for the .lft reader and the text layout.
//
// Input: byte 0 = text length n, then n bytes of Shift-JIS text, then the .lft file.
// Besides not crashing, a font that reads must encode back to the very same bytes
// (reserved header bytes aside), and every quad must lie inside its page.
#include "LftFont.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

using namespace Lumora::Internal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t textLength = std::min<std::size_t>(data[0], size - 1);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), textLength);
    const std::span<const std::uint8_t> file(data + 1 + textLength, size - 1 - textLength);

    const LftParseResult parsed = ParseLft(file);
    if (!parsed.font) {
        if (parsed.error == LftError::None) {
            __builtin_trap();  // a refusal must say why
        }
        return 0;
    }
    const LftFont& font = *parsed.font;

    const std::vector<std::uint8_t> again = EncodeLft(font.Data());
    if (again.size() != file.size() || std::memcmp(again.data(), file.data(), 24) != 0 ||
        std::memcmp(again.data() + kLftHeaderSize, file.data() + kLftHeaderSize, file.size() - kLftHeaderSize) != 0) {
        __builtin_trap();
    }

    std::vector<LftQuad> quads;
    font.LayoutText(text, 3.0f, 7.0f, quads);
    for (const LftQuad& quad : quads) {
        if (quad.page >= font.PageCount() || quad.sourceX + quad.sourceWidth > font.Data().pageWidth ||
            quad.sourceY + quad.sourceHeight > font.Data().pageHeight || quad.sourceWidth <= 0 ||
            quad.sourceHeight <= 0) {
            __builtin_trap();
        }
    }
    (void)font.MeasureText(text);
    (void)font.CountLines(text);
    return 0;
}
