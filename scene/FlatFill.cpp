#include "FlatFill.h"

#include "CommonGraphics.h"

void DrawFlatFill(Lumora::IRender* render, const Lumora::Math::Rect& destination, float texelX)
{
    if (render == nullptr) {
        return;
    }
    render->DrawTexture(destination, 0xFFFFFFFF, Lumora::Math::Rect(texelX, 0.0f, 1.0f, 1.0f),
                        commonGraphics.softCircle, 0, Lumora::Math::Point2D{});
}
