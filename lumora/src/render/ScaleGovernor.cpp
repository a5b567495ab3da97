#include "ScaleGovernor.h"

#include <algorithm>
#include <cstdio>

namespace Lumora::Internal {
namespace {

double Median(std::vector<double> values)
{
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    return values[middle];
}

} // namespace

void ScaleGovernor::SetWindowScale(float windowScale)
{
    if (windowScale == windowScale_) {
        return;
    }
    windowScale_ = windowScale;
    steps_.clear();
    times_.clear();
    step_ = 0;
    for (const auto& [window, chosen] : decided_) {
        if (window == windowScale) {
            steps_.push_back(chosen);
            medians_.assign(1, 0.0);
            measuring_ = false;
            return;
        }
    }
    if (windowScale >= 1.5f) {
        steps_.push_back(windowScale);
        // Quarters on a grid of whole quarters, so that 2.25x and 2x share their lower steps.
        for (int quarters = static_cast<int>(windowScale * 4.0f - 0.001f); quarters >= 6; --quarters) {
            steps_.push_back(static_cast<float>(quarters) / 4.0f);
        }
    }
    steps_.push_back(1.0f);
    medians_.assign(steps_.size(), 0.0);
    warmUp_ = WarmUpFrames;
    measuring_ = steps_.size() > 1;
}

bool ScaleGovernor::AddFrame(double milliseconds)
{
    if (!measuring_) {
        return false;
    }
    if (warmUp_ > 0) {
        --warmUp_;
        return false;
    }
    times_.push_back(milliseconds);
    if (times_.size() < WindowFrames) {
        return false;
    }
    const double median = Median(times_);
    times_.clear();
    medians_[step_] = median;
    if (step_ == 0) {
        firstMedian_ = median;
    }
    if (median <= BudgetMilliseconds) {
        Settle(median);
        return false;
    }
    if (step_ + 1 == steps_.size()) {
        // Nothing held the budget: the largest measured step within NothingHoldsMargin of the
        // fastest one. A coarser picture that buys back little (on a busy machine 2x took
        // 26 ms, 1x 23 ms) only loses sharpness.
        double fastest = 0.0;
        for (double measured : medians_) {
            if (measured > 0.0 && (fastest <= 0.0 || measured < fastest)) {
                fastest = measured;
            }
        }
        std::size_t chosen = 0;
        while (medians_[chosen] <= 0.0 || medians_[chosen] > fastest * NothingHoldsMargin) {
            ++chosen;
        }
        const bool changed = chosen != step_;
        step_ = chosen;
        Settle(medians_[chosen]);
        return changed;
    }
    // The time falls at most with the pixel count: a step whose share of pixels would still
    // leave the frame over the budget cannot hold it, and is skipped unmeasured.
    const float current = steps_[step_];
    std::size_t next = step_ + 1;
    while (next + 1 < steps_.size()) {
        const double share = static_cast<double>(steps_[next]) * steps_[next] / (static_cast<double>(current) * current);
        if (median * share <= BudgetMilliseconds) {
            break;
        }
        ++next;
    }
    step_ = next;
    warmUp_ = WarmUpFrames;
    return true;
}

void ScaleGovernor::Settle(double medianMilliseconds)
{
    measuring_ = false;
    decided_.emplace_back(windowScale_, steps_[step_]);
    if (step_ == 0) {
        return;
    }
    char line[256];
    if (medianMilliseconds <= BudgetMilliseconds) {
        std::snprintf(line, sizeof(line),
                      "Lumora: the renderer takes %.1f ms a frame at the window's %.2fx (median of %zu 3D frames, "
                      "budget %.0f ms); drawing at %.2fx, which takes %.1f ms",
                      firstMedian_, static_cast<double>(steps_[0]), WindowFrames, BudgetMilliseconds,
                      static_cast<double>(steps_[step_]), medianMilliseconds);
    } else {
        std::snprintf(line, sizeof(line),
                      "Lumora: the renderer takes %.1f ms a frame at the window's %.2fx (median of %zu 3D frames, "
                      "budget %.0f ms); no scale holds it, drawing at %.2fx, which takes %.1f ms",
                      firstMedian_, static_cast<double>(steps_[0]), WindowFrames, BudgetMilliseconds,
                      static_cast<double>(steps_[step_]), medianMilliseconds);
    }
    report_ = line;
}

std::string ScaleGovernor::TakeReport()
{
    std::string report;
    report.swap(report_);
    return report;
}

} // namespace Lumora::Internal
