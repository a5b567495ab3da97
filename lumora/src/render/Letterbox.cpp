#include "Backend.h"

#include <algorithm>
#include <cmath>

namespace Lumora::Internal {

ViewportRect ComputeLetterbox(std::int32_t windowWidth, std::int32_t windowHeight, std::int32_t logicalWidth,
                              std::int32_t logicalHeight)
{
    if (windowWidth <= 0 || windowHeight <= 0 || logicalWidth <= 0 || logicalHeight <= 0) {
        return ViewportRect{};
    }
    const std::int32_t wholeScale = std::min(windowWidth / logicalWidth, windowHeight / logicalHeight);
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (wholeScale >= 1) {
        width = logicalWidth * wholeScale;
        height = logicalHeight * wholeScale;
    } else {
        // Smaller than the logical screen: shrink to fit, rounding the long side so the
        // aspect error stays below one pixel.
        const double scale = std::min(static_cast<double>(windowWidth) / logicalWidth,
                                      static_cast<double>(windowHeight) / logicalHeight);
        width = std::clamp(static_cast<std::int32_t>(std::lround(logicalWidth * scale)), 1, windowWidth);
        height = std::clamp(static_cast<std::int32_t>(std::lround(logicalHeight * scale)), 1, windowHeight);
    }
    return ViewportRect{(windowWidth - width) / 2, (windowHeight - height) / 2, width, height};
}

RenderScale ComputeRenderScale(std::int32_t windowWidth, std::int32_t windowHeight, std::int32_t logicalWidth,
                               std::int32_t logicalHeight)
{
    RenderScale result{1.0f, logicalWidth, logicalHeight};
    if (windowWidth <= 0 || windowHeight <= 0 || logicalWidth <= 0 || logicalHeight <= 0) {
        return result;
    }
    const double fit = std::min(static_cast<double>(windowWidth) / logicalWidth,
                                static_cast<double>(windowHeight) / logicalHeight);
    if (fit < 1.5) {
        return result;
    }
    // The limiting side fills the window exactly; the other is rounded, never past it.
    result.scale = static_cast<float>(fit);
    result.width = std::clamp(static_cast<std::int32_t>(std::lround(logicalWidth * fit)), 1, windowWidth);
    result.height = std::clamp(static_cast<std::int32_t>(std::lround(logicalHeight * fit)), 1, windowHeight);
    return result;
}

RenderScale RenderScaleAt(float scale, std::int32_t logicalWidth, std::int32_t logicalHeight)
{
    if (scale < 1.5f) {
        return RenderScale{1.0f, logicalWidth, logicalHeight};
    }
    return RenderScale{scale, std::max(1, static_cast<std::int32_t>(std::lround(logicalWidth * static_cast<double>(scale)))),
                       std::max(1, static_cast<std::int32_t>(std::lround(logicalHeight * static_cast<double>(scale))))};
}

} // namespace Lumora::Internal
