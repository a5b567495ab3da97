// Any bytes: the decoder either refuses them or returns a picture whose texels fill exactly
// its announced size, within the size limit; never reads outside the input.
#include "ImageCodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    auto image = Lumora::Internal::DecodeImage(data, size, error);
    if (image) {
        if (image->width <= 0 || image->height <= 0 || image->width > Lumora::Internal::MaximumImageSide ||
            image->height > Lumora::Internal::MaximumImageSide ||
            image->rgba.size() != static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 4u) {
            std::abort();
        }
        Lumora::Internal::PremultiplyAlpha(*image);
    } else if (error.empty()) {
        std::abort(); // a refusal always says why
    }
    return 0;
}
