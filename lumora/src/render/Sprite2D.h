// A fixed-capacity batch of squares over one texture. Internal.
#pragma once

#include "GraphicsDevice.h"

#include <Lumora/ISprite2D.h>

#include <vector>

namespace Lumora::Internal {

class Sprite2D final : public ISprite2D {
public:
    // Holds references on the render and the texture (which may be null: draws nothing).
    Sprite2D(Internal::Render* render, Texture* texture, std::size_t squareCapacity);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;
    void Begin() override;
    void DrawSquare(const Math::Rect& destination, const Math::Rect& source, std::uint32_t argb) override;
    void End() override { open_ = false; }
    void Render() override;

private:
    ~Sprite2D() override;

    struct Square {
        Math::Rect destination;
        Math::Rect source;
        std::uint32_t argb;
    };

    std::atomic<std::int32_t> references_{1};
    Internal::Render* render_;
    Texture* texture_;
    std::size_t capacity_;
    std::vector<Square> squares_;
    bool open_ = false;
    bool overflowReported_ = false;
};

} // namespace Lumora::Internal
