// Which scale a shown window's picture is drawn at when the renderer is too slow for the
// window's own: the largest that was measured to hold the frame budget. Pure (no GL, no
// clock): the backend times its frames and hands the times in, so the decision can be
// tested with given frame times.
//
// The steps, from the window's own scale (ComputeRenderScale) down: that scale, then every
// quarter below it down to 1.5 (the lowest at which the 2x pictures are drawn), then 1 (the
// logical screen, enlarged when shown). A window under 1.5x has the one step 1 and is never
// measured. At each step the first WarmUpFrames 3D frames are not counted (a new size's
// first frames upload its pictures and compile shader variants); then the median of the
// next WindowFrames decides: at or under the budget, the step is kept and measuring ends;
// over it, the governor drops to the largest lower step that can hold it as far as the
// measured time tells (time falling at most with the pixel count: the quadratic drop of the
// scale), and measures again. When even the lowest step is over the budget, the largest
// step measured within NothingHoldsMargin of the fastest is kept (cost that does not shrink
// with the picture, such as the window's own copy, is no reason to draw coarser). It only
// goes down while measuring, and settling moves at most once more, back to a step it
// measured; it never moves after, so it cannot flap. A decision is kept for its window scale: a window
// that returns to a size already decided draws at that size's scale unmeasured, unreported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Lumora::Internal {

class ScaleGovernor {
public:
    static constexpr double BudgetMilliseconds = 16.0; // one frame at 60 Hz, with room for the rest
    static constexpr std::size_t WarmUpFrames = 30;    // 3D frames not counted at each step
    static constexpr std::size_t WindowFrames = 30;    // 3D frames in one median
    // When no step holds the budget, a step is kept if its median is at most this many times
    // the fastest step's: a lower scale must make frames more than a quarter faster.
    static constexpr double NothingHoldsMargin = 1.25;

    // The window's own scale (1 below 1.5x). One not decided before starts a decision.
    void SetWindowScale(float windowScale);
    // The scale to draw at now: a step, never above the window's, never below 1.
    float Scale() const { return steps_.empty() ? 1.0f : steps_[step_]; }
    // Whether frames are still to be timed (false once a step holds, or at the lowest).
    bool Measuring() const { return measuring_; }
    // One 3D frame's drawing time at Scale(), in milliseconds. True when Scale() changed.
    bool AddFrame(double milliseconds);
    // The one line to tell the player when a decision lowered the scale, empty otherwise; it
    // is handed out once (the next call gives an empty string).
    std::string TakeReport();

private:
    void Settle(double medianMilliseconds);

    std::vector<float> steps_;   // falling, steps_[0] the window's scale
    std::size_t step_ = 0;
    bool measuring_ = false;
    float windowScale_ = 0.0f;
    std::vector<std::pair<float, float>> decided_; // window scale, the scale settled on
    std::vector<double> times_;  // this step's frame times after its warm-up, milliseconds
    std::size_t warmUp_ = 0;     // frames of this step not counted yet
    std::vector<double> medians_; // per step measured so far; 0: not measured
    double firstMedian_ = 0.0;   // the window's own scale's median, for the report
    std::string report_;
};

} // namespace Lumora::Internal
