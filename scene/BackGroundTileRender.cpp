#include "BackGroundTileRender.h"

#include "CommonGraphics.h"

namespace {
constexpr std::int32_t kTileSize = 128;
// One tile beyond each screen edge, so the pattern still covers it when shifted by up to 127.
constexpr std::int32_t kLastTileX = 896;
constexpr std::int32_t kLastTileY = 640;
} // namespace

BackGroundTileRender::BackGroundTileRender(Lumora::IRender* render) : render_(render) {}

void BackGroundTileRender::Draw()
{
    if (render_ != nullptr) {
        const Lumora::Math::Rect source(0.0f, 0.0f, kTileSize, kTileSize);
        for (std::int32_t x = 0; x <= kLastTileX; x += kTileSize) {
            for (std::int32_t y = 0; y <= kLastTileY; y += kTileSize) {
                const Lumora::Math::Rect destination(static_cast<float>(x - offset_),
                                                     static_cast<float>(y - offset_), kTileSize,
                                                     kTileSize);
                render_->DrawTexture(destination, 0xFFFFFFFF, source,
                                     commonGraphics.backgroundPanel, 0, Lumora::Math::Point2D{});
            }
        }
    }
    ++offset_;
    if (offset_ > kTileSize - 1) {
        offset_ = 0;
    }
}
