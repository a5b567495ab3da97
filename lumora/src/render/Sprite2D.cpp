#include "Sprite2D.h"

#include <cstdio>

namespace Lumora::Internal {

Sprite2D::Sprite2D(Internal::Render* render, Texture* texture, std::size_t squareCapacity)
    : render_(render), texture_(texture), capacity_(squareCapacity)
{
    render_->AddRef();
    if (texture_ != nullptr) {
        texture_->AddRef();
    }
    squares_.reserve(capacity_);
}

Sprite2D::~Sprite2D()
{
    if (texture_ != nullptr) {
        texture_->Release();
    }
    render_->Release();
}

std::int32_t Sprite2D::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

void Sprite2D::Begin()
{
    squares_.clear();
    open_ = true;
}

void Sprite2D::DrawSquare(const Math::Rect& destination, const Math::Rect& source, std::uint32_t argb)
{
    if (!open_) {
        return;
    }
    if (squares_.size() >= capacity_) {
        if (!overflowReported_) {
            overflowReported_ = true;
            std::fprintf(stderr, "Lumora: sprite over \"%s\" holds %zu squares; further squares are dropped\n",
                         texture_ != nullptr ? texture_->GetName() : "", capacity_);
        }
        return;
    }
    squares_.push_back(Square{destination, source, argb});
}

void Sprite2D::Render()
{
    if (texture_ == nullptr) {
        return;
    }
    Quad quad;
    quad.texture = texture_;
    quad.origin = DrawOrigin::Sprite;
    for (const Square& square : squares_) {
        quad.destination = square.destination;
        quad.source = square.source;
        quad.argb = square.argb;
        render_->AddQuad(quad);
    }
}

} // namespace Lumora::Internal
