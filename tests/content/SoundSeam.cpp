#include "SoundSeam.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

namespace SoundChecks {

namespace {

float Percentile(std::vector<float> values, double fraction)
{
    if (values.empty()) {
        return 0.0f;
    }
    const std::size_t rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank), values.end());
    return values[rank];
}

double WindowRms(const WavePlot::DecodedSound& sound, int channel, std::size_t first, std::size_t count)
{
    double energy = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double s = sound.At((first + i) % sound.Frames(), channel);
        energy += s * s;
    }
    return std::sqrt(energy / static_cast<double>(count));
}

} // namespace

SeamReport MeasureSeam(const WavePlot::DecodedSound& sound)
{
    SeamReport report;
    const std::size_t n = sound.Frames();
    if (n < 16) {
        report.smooth = false;
        report.detail = "too short to loop";
        return report;
    }
    std::ostringstream detail;
    for (int c = 0; c < sound.channels; ++c) {
        std::vector<float> steps;
        std::vector<float> bends;
        steps.reserve(n);
        bends.reserve(n);
        for (std::size_t i = 2; i < n; ++i) {
            const float a = sound.At(i - 2, c), b = sound.At(i - 1, c), x = sound.At(i, c);
            steps.push_back(std::fabs(x - b));
            bends.push_back(std::fabs(x - 2.0f * b + a));
        }
        // A quarter of headroom: a pure tone's loop point may land on its steepest sample.
        const float stepLimit = 1.25f * Percentile(steps, 0.995);
        const float bendLimit = 1.25f * Percentile(bends, 0.995);
        const float last = sound.At(n - 1, c), beforeLast = sound.At(n - 2, c);
        const float first = sound.At(0, c), second = sound.At(1, c);
        const float step = std::fabs(first - last);
        const float bend = std::max(std::fabs(first - 2.0f * last + beforeLast), std::fabs(second - 2.0f * first + last));
        const std::size_t window = std::min(n / 4, static_cast<std::size_t>(sound.sampleRate * 0.1));
        const double before = WindowRms(sound, c, n - window, window);
        const double after = WindowRms(sound, c, 0, window);
        const double ratio = std::max(before, after) / std::max(1e-9, std::min(before, after));
        const bool ok = step <= stepLimit && bend <= bendLimit && ratio < 2.5;
        report.smooth = report.smooth && ok;
        detail << "channel " << c << ": step " << step << " (limit " << stepLimit << "), bend " << bend
               << " (<= " << bendLimit << "), level ratio " << ratio << "; ";
    }
    report.detail = detail.str();
    return report;
}

WavePlot::DecodedSound FromBuffer(const SoundGen::StereoBuffer& buffer, int sampleRate)
{
    WavePlot::DecodedSound sound;
    sound.channels = 2;
    sound.sampleRate = sampleRate;
    sound.samples.reserve(buffer.Frames() * 2);
    for (std::size_t i = 0; i < buffer.Frames(); ++i) {
        sound.samples.push_back(buffer.left[i]);
        sound.samples.push_back(buffer.right[i]);
    }
    return sound;
}

float PeakOf(const WavePlot::DecodedSound& sound)
{
    float peak = 0.0f;
    for (float s : sound.samples) {
        peak = std::max(peak, std::fabs(s));
    }
    return peak;
}

double RmsOf(const WavePlot::DecodedSound& sound)
{
    double energy = 0.0;
    for (float s : sound.samples) {
        energy += static_cast<double>(s) * s;
    }
    return sound.samples.empty() ? 0.0 : std::sqrt(energy / static_cast<double>(sound.samples.size()));
}

} // namespace SoundChecks
