#include "EffectWipe.h"

#include "CommonGraphics.h"

#include <algorithm>

namespace {
constexpr std::int32_t kScreenHeight = 480;
constexpr std::int32_t kStepPerFrame = 48;
} // namespace

EffectWipe::EffectWipe(Lumora::IRender* render, std::int32_t mode) : render_(render), mode_(mode)
{
}

void EffectWipe::Draw()
{
    if (render_ != nullptr) {
        // The soft circle's texel at (320, 0) is the plain background colour.
        render_->DrawTexture(
            Lumora::Math::Rect(0.0f, 0.0f, 640.0f, static_cast<float>(kScreenHeight - position_)),
            0xFFFFFFFF, Lumora::Math::Rect(320.0f, 0.0f, 1.0f, 1.0f), commonGraphics.softCircle,
            0, Lumora::Math::Point2D{});
    }
    position_ = std::min(position_ + kStepPerFrame, kScreenHeight);
}
