#include "NumberRenderer.h"

#include "CommonGraphics.h"

namespace {
constexpr std::int32_t kDigitWidth = 20;  // pixels, on screen and in the font picture
constexpr std::int32_t kDigitHeight = 32; // pixels
} // namespace

NumberRenderer::NumberRenderer(Lumora::IRender* render) : render_(render)
{
}

NumberRenderer::~NumberRenderer() = default;

std::uint32_t NumberRenderer::ColourForAlpha(std::int32_t alpha)
{
    // Clamped so that an opacity just outside 0..255 never spills into the colour bits.
    const std::int32_t clamped = alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha);
    return (static_cast<std::uint32_t>(clamped) << 24) + 0xFFFFFFu;
}

void NumberRenderer::Draw(std::int32_t value, std::int32_t x, std::int32_t y, std::int32_t alpha,
                          bool alignRight)
{
    if (render_ == nullptr) {
        return;
    }
    render_->SetBlendMode(Lumora::IRender::BlendSmooth);

    // Work on the magnitude in 64 bits so that even INT32_MIN has well-defined digits.
    std::int64_t magnitude = value < 0 ? -static_cast<std::int64_t>(value) : value;
    std::int32_t digitCount = 1;
    for (std::int64_t rest = magnitude / 10; rest > 0; rest /= 10) {
        ++digitCount;
    }

    const std::uint32_t colour = NumberRenderer::ColourForAlpha(alpha);
    for (std::int32_t k = 0; k < digitCount; ++k, magnitude /= 10) {
        const auto digit = static_cast<std::int32_t>(magnitude % 10);
        const std::int32_t px =
            alignRight ? x - kDigitWidth * k : x + kDigitWidth * (digitCount - 1 - k);
        render_->DrawTexture(
            Lumora::Math::Rect(static_cast<float>(px), static_cast<float>(y),
                               static_cast<float>(kDigitWidth), static_cast<float>(kDigitHeight)),
            colour,
            Lumora::Math::Rect(static_cast<float>(digit * kDigitWidth), 0.0f,
                               static_cast<float>(kDigitWidth), static_cast<float>(kDigitHeight)),
            commonGraphics.numbers, 0, Lumora::Math::Point2D{});
    }
}
