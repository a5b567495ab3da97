#include "Synth.h"

#include <algorithm>
#include <cmath>

namespace SoundGen {

std::uint64_t Random::Next()
{
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
}

double Random::Uniform()
{
    return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
}

double NoteFrequency(double midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69.0) / 12.0);
}

double SineOfCycles(double cycles)
{
    constexpr int Size = 4096;
    static const std::vector<double> table = [] {
        std::vector<double> values(Size + 1);
        for (int i = 0; i <= Size; ++i) {
            values[static_cast<std::size_t>(i)] = std::sin(2.0 * Pi * i / Size);
        }
        return values;
    }();
    const double position = (cycles - std::floor(cycles)) * Size;
    const std::size_t index = std::min<std::size_t>(static_cast<std::size_t>(position), Size - 1);
    const double fraction = position - static_cast<double>(index);
    return table[index] + (table[index + 1] - table[index]) * fraction;
}

double SawtoothSample(double phase, double increment)
{
    double value = 2.0 * phase - 1.0;
    // polyBLEP: smooth the jump at the wrap over one sample on either side.
    if (phase < increment) {
        const double t = phase / increment;
        value -= t + t - t * t - 1.0;
    } else if (phase > 1.0 - increment) {
        const double t = (phase - 1.0) / increment;
        value -= t * t + t + t + 1.0;
    }
    return value;
}

namespace {

// 0 at x <= 0, 1 at x >= 1, a raised cosine in between.
double Smooth(double x)
{
    if (x <= 0.0) {
        return 0.0;
    }
    if (x >= 1.0) {
        return 1.0;
    }
    return 0.5 - 0.5 * std::cos(Pi * x);
}

} // namespace

double Envelope::Level(double time, double gate) const
{
    if (time < 0.0) {
        return 0.0;
    }
    auto held = [this](double t) {
        if (t < attack) {
            return attack > 0.0 ? t / attack : 1.0;
        }
        const double sinceAttack = t - attack;
        if (decay <= 0.0) {
            return sustain;
        }
        // Exponential fall towards the sustain level, time constant decay / 4.
        return sustain + (1.0 - sustain) * std::exp(-4.0 * sinceAttack / decay);
    };
    if (time < gate) {
        return held(time);
    }
    const double atRelease = held(gate);
    if (release <= 0.0) {
        return 0.0;
    }
    return atRelease * (1.0 - Smooth((time - gate) / release));
}

void OnePoleLowPass::SetCutoff(double cutoffHz, double sampleRate)
{
    const double clamped = std::clamp(cutoffHz, 1.0, sampleRate * 0.49);
    coefficient_ = 1.0 - std::exp(-2.0 * Pi * clamped / sampleRate);
}

float OnePoleLowPass::Process(float input)
{
    state_ += coefficient_ * (static_cast<double>(input) - state_);
    return static_cast<float>(state_);
}

void StateVariableFilter::Set(double cutoffHz, double resonanceQ, double sampleRate)
{
    // Chamberlin form; stable for cutoffs well below a sixth of the rate, which is all we use.
    const double clamped = std::clamp(cutoffHz, 10.0, sampleRate / 6.5);
    frequency_ = 2.0 * std::sin(Pi * clamped / sampleRate);
    damping_ = 1.0 / std::max(0.5, resonanceQ);
}

void StateVariableFilter::Process(float input)
{
    low_ += frequency_ * band_;
    high_ = static_cast<double>(input) - low_ - damping_ * band_;
    band_ += frequency_ * high_;
}

Reverb::Reverb(double sampleRate, double size, double damping)
{
    // Delay lengths tuned at 44.1 kHz, scaled to the rate; mutually prime-ish so the
    // echoes do not pile up into a metallic ring.
    static const int combLengths[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int passLengths[] = {556, 441, 341, 225};
    const int spread = 23;
    const double scale = sampleRate / 44100.0;
    auto length = [scale](int samples) { return std::max<std::size_t>(1, static_cast<std::size_t>(samples * scale)); };
    for (int samples : combLengths) {
        combsLeft_.push_back({std::vector<float>(length(samples), 0.0f)});
        combsRight_.push_back({std::vector<float>(length(samples + spread), 0.0f)});
    }
    for (int samples : passLengths) {
        passesLeft_.push_back({std::vector<float>(length(samples), 0.0f)});
        passesRight_.push_back({std::vector<float>(length(samples + spread), 0.0f)});
    }
    feedback_ = static_cast<float>(0.7 + 0.28 * std::clamp(size, 0.0, 1.0));
    damping_ = static_cast<float>(0.4 * std::clamp(damping, 0.0, 1.0));
}

float Reverb::RunComb(Comb& comb, float input) const
{
    const float output = comb.line[comb.index];
    comb.store = output * (1.0f - damping_) + comb.store * damping_;
    comb.line[comb.index] = input + comb.store * feedback_;
    if (++comb.index == comb.line.size()) {
        comb.index = 0;
    }
    return output;
}

float Reverb::RunAllPass(AllPass& pass, float input)
{
    const float delayed = pass.line[pass.index];
    const float output = delayed - input;
    pass.line[pass.index] = input + delayed * 0.5f;
    if (++pass.index == pass.line.size()) {
        pass.index = 0;
    }
    return output;
}

void Reverb::Process(float inLeft, float inRight, float& outLeft, float& outRight)
{
    // The comb bank's gain is large; 0.015 brings the wet signal back near the input level.
    const float input = (inLeft + inRight) * 0.015f;
    float left = 0.0f;
    float right = 0.0f;
    for (std::size_t i = 0; i < combsLeft_.size(); ++i) {
        left += RunComb(combsLeft_[i], input);
        right += RunComb(combsRight_[i], input);
    }
    for (std::size_t i = 0; i < passesLeft_.size(); ++i) {
        left = RunAllPass(passesLeft_[i], left);
        right = RunAllPass(passesRight_[i], right);
    }
    outLeft = left;
    outRight = right;
}

PingPongDelay::PingPongDelay(double sampleRate, double delaySeconds, double feedback, double toneHz)
    : lineLeft_(std::max<std::size_t>(1, static_cast<std::size_t>(delaySeconds * sampleRate + 0.5)), 0.0f),
      lineRight_(lineLeft_.size(), 0.0f),
      feedback_(static_cast<float>(std::clamp(feedback, 0.0, 0.95)))
{
    toneLeft_.SetCutoff(toneHz, sampleRate);
    toneRight_.SetCutoff(toneHz, sampleRate);
}

void PingPongDelay::Process(float inLeft, float inRight, float& outLeft, float& outRight)
{
    const float delayedLeft = lineLeft_[index_];
    const float delayedRight = lineRight_[index_];
    // Each side feeds the other, so echoes alternate between the speakers.
    lineLeft_[index_] = toneLeft_.Process(inLeft + delayedRight * feedback_);
    lineRight_[index_] = toneRight_.Process(inRight + delayedLeft * feedback_);
    if (++index_ == lineLeft_.size()) {
        index_ = 0;
    }
    outLeft = delayedLeft;
    outRight = delayedRight;
}

void AddWrapped(StereoBuffer& target, const StereoBuffer& source, std::size_t start)
{
    const std::size_t frames = target.Frames();
    if (frames == 0) {
        return;
    }
    std::size_t position = start % frames;
    for (std::size_t i = 0; i < source.Frames(); ++i) {
        target.left[position] += source.left[i];
        target.right[position] += source.right[i];
        if (++position == frames) {
            position = 0;
        }
    }
}

void RemoveOffset(StereoBuffer& buffer)
{
    for (std::vector<float>* channel : {&buffer.left, &buffer.right}) {
        if (channel->empty()) {
            continue;
        }
        double sum = 0.0;
        for (float sample : *channel) {
            sum += sample;
        }
        const float mean = static_cast<float>(sum / static_cast<double>(channel->size()));
        for (float& sample : *channel) {
            sample -= mean;
        }
    }
}

float PeakOf(const StereoBuffer& buffer)
{
    float peak = 0.0f;
    for (std::size_t i = 0; i < buffer.Frames(); ++i) {
        peak = std::max({peak, std::fabs(buffer.left[i]), std::fabs(buffer.right[i])});
    }
    return peak;
}

void NormalizePeak(StereoBuffer& buffer, float targetPeak)
{
    const float peak = PeakOf(buffer);
    if (peak <= 0.0f) {
        return;
    }
    const float gain = targetPeak / peak;
    for (std::size_t i = 0; i < buffer.Frames(); ++i) {
        buffer.left[i] *= gain;
        buffer.right[i] *= gain;
    }
}

void PanGains(double pan, float& left, float& right)
{
    const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * Pi / 4.0;
    left = static_cast<float>(std::cos(angle));
    right = static_cast<float>(std::sin(angle));
}

} // namespace SoundGen
