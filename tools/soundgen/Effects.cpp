#include "Effects.h"

#include <algorithm>
#include <cmath>

namespace SoundGen {

namespace {

std::size_t Frames(double seconds, double rate)
{
    return static_cast<std::size_t>(std::llround(seconds * rate));
}

// A two-operator FM bell note added into `out` from `start` seconds: `ratio` is the
// modulator's frequency over the carrier's, `index` the modulation depth at the strike.
void AddBell(StereoBuffer& out, double rate, double start, double frequency, double ratio, double index,
             double decay, double gain, double pan)
{
    float left = 0.0f;
    float right = 0.0f;
    PanGains(pan, left, right);
    const std::size_t first = Frames(start, rate);
    for (std::size_t i = first; i < out.Frames(); ++i) {
        const double t = static_cast<double>(i - first) / rate;
        const double attack = std::min(1.0, t / 0.0015);
        const double amplitude = gain * attack * std::exp(-t / decay);
        const double phase = 2.0 * Pi * frequency * t;
        const double sample = std::sin(phase + index * std::exp(-t / (decay * 0.4)) * std::sin(phase * ratio)) * amplitude;
        out.left[i] += static_cast<float>(sample * left);
        out.right[i] += static_cast<float>(sample * right);
    }
}

// Adds a little room: the reverb's wet output at `amount`, tail included up to the end.
void AddRoom(StereoBuffer& out, double rate, double size, double amount)
{
    Reverb reverb(rate, size, 0.5);
    for (std::size_t i = 0; i < out.Frames(); ++i) {
        float left = 0.0f;
        float right = 0.0f;
        reverb.Process(out.left[i], out.right[i], left, right);
        out.left[i] += left * static_cast<float>(amount);
        out.right[i] += right * static_cast<float>(amount);
    }
}

// Brings the last `seconds` smoothly down to silence, so the sound ends on zero.
void FadeOut(StereoBuffer& out, double rate, double seconds)
{
    const std::size_t fade = std::min(out.Frames(), Frames(seconds, rate));
    for (std::size_t i = 0; i < fade; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(fade); // 0 at the very end
        const float gain = static_cast<float>(0.5 - 0.5 * std::cos(Pi * x));
        out.left[out.Frames() - 1 - i] *= gain;
        out.right[out.Frames() - 1 - i] *= gain;
    }
}

// Runs a mono filter step over `signal` as if it repeated for ever: one priming pass, then
// the pass that is kept. `step(i, x)` returns the filtered sample for index i.
template <typename Step>
std::vector<float> FilterPeriodic(const std::vector<float>& signal, Step step)
{
    std::vector<float> output(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i) {
        step(i, signal[i]);
    }
    for (std::size_t i = 0; i < signal.size(); ++i) {
        output[i] = step(i, signal[i]);
    }
    return output;
}

} // namespace

StereoBuffer MakeDecision(double rate)
{
    // A rising fifth, high and glassy: A5 then E6, with a quiet octave sparkle on top.
    StereoBuffer out(Frames(0.5, rate));
    AddBell(out, rate, 0.000, 880.00, 3.0, 1.6, 0.16, 0.45, -0.15);
    AddBell(out, rate, 0.065, 1318.51, 3.0, 1.4, 0.20, 0.50, 0.15);
    AddBell(out, rate, 0.065, 2637.02, 2.0, 0.6, 0.10, 0.10, 0.30);
    AddRoom(out, rate, 0.5, 0.35);
    FadeOut(out, rate, 0.08);
    NormalizePeak(out, 0.70f);
    return out;
}

StereoBuffer MakeCancel(double rate)
{
    // A soft rounded blip that slides down from E5 to A4 and fades: a step back, not an alarm.
    StereoBuffer out(Frames(0.25, rate));
    OnePoleLowPass softenLeft;
    softenLeft.SetCutoff(2500.0, rate);
    double phase = 0.0;
    for (std::size_t i = 0; i < out.Frames(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double frequency = 440.0 + (659.26 - 440.0) * std::exp(-t / 0.04);
        phase += frequency / rate;
        phase -= std::floor(phase);
        const double quarterOn = phase + 0.25 - std::floor(phase + 0.25);
        const double triangle = 1.0 - 4.0 * std::fabs(quarterOn - 0.5); // in step with the sine
        const double sine = SineOfCycles(phase);
        const double amplitude = std::min(1.0, t / 0.006) * std::exp(-t / 0.07);
        const float sample = softenLeft.Process(static_cast<float>((0.6 * sine + 0.4 * triangle) * amplitude));
        out.left[i] = sample;
        out.right[i] = sample;
    }
    AddRoom(out, rate, 0.3, 0.1);
    FadeOut(out, rate, 0.05);
    NormalizePeak(out, 0.55f);
    return out;
}

StereoBuffer MakeDefrost(double rate)
{
    const double length = 0.85;
    StereoBuffer out(Frames(length, rate));
    Random random(0xDEF205Full);

    // Crackle: tiny bursts of bright noise, thick at first and thinning as the ice gives way,
    // some with a high glassy ping.
    for (int crack = 0; crack < 70; ++crack) {
        const double u = random.Uniform();
        const double start = 0.45 * u * u; // squared: crowded near the start
        const double burst = 0.0015 + 0.004 * random.Uniform();
        const double gain = (0.07 + 0.2 * random.Uniform()) * (1.0 - start / 0.6);
        float left = 0.0f;
        float right = 0.0f;
        PanGains(random.Bipolar() * 0.7, left, right);
        StateVariableFilter filter;
        filter.Set(3000.0 + 4000.0 * random.Uniform(), 1.5, rate);
        const double ping = 2500.0 + 4000.0 * random.Uniform();
        const bool pings = random.Uniform() < 0.3;
        const std::size_t first = Frames(start, rate);
        const std::size_t count = Frames(burst * 6.0, rate);
        for (std::size_t k = 0; k < count && first + k < out.Frames(); ++k) {
            const double t = static_cast<double>(k) / rate;
            filter.Process(static_cast<float>(random.Bipolar()));
            double sample = filter.High() * std::exp(-t / burst) * std::min(1.0, t / 0.0002);
            if (pings) {
                sample += 0.4 * std::sin(2.0 * Pi * ping * t) * std::exp(-t / 0.012);
            }
            out.left[first + k] += static_cast<float>(sample * gain * left);
            out.right[first + k] += static_cast<float>(sample * gain * right);
        }
    }

    // Melt shimmer: a high E major cluster that trembles and sags a whole tone as it thaws.
    const double partials[] = {1318.51, 1661.22, 1975.53, 2637.02, 3322.44};
    for (std::size_t p = 0; p < std::size(partials); ++p) {
        float left = 0.0f;
        float right = 0.0f;
        PanGains(-0.6 + 0.3 * static_cast<double>(p), left, right);
        const double onset = 0.08 + 0.025 * static_cast<double>(p);
        const double tremoloRate = 9.0 + 2.5 * static_cast<double>(p);
        double phase = random.Uniform();
        for (std::size_t i = Frames(onset, rate); i < out.Frames(); ++i) {
            const double t = static_cast<double>(i) / rate - onset;
            const double remaining = length - onset;
            const double sag = std::pow(2.0, -2.0 / 12.0 * std::min(1.0, t / remaining));
            phase += partials[p] * sag / rate;
            phase -= std::floor(phase);
            const double swell = std::min(1.0, t / 0.12) * std::exp(-t / 0.5);
            const double tremolo = 0.75 + 0.25 * std::sin(2.0 * Pi * tremoloRate * t);
            const double sample = std::sin(2.0 * Pi * phase) * swell * tremolo * 0.2;
            out.left[i] += static_cast<float>(sample * left);
            out.right[i] += static_cast<float>(sample * right);
        }
    }

    // A soft watery drop at the end: the frog is free.
    AddBell(out, rate, 0.42, 587.33, 1.0, 1.2, 0.12, 0.35, -0.1);
    AddBell(out, rate, 0.50, 440.00, 1.0, 1.0, 0.10, 0.25, 0.1);

    AddRoom(out, rate, 0.6, 0.4);
    FadeOut(out, rate, 0.12);
    NormalizePeak(out, 0.72f);
    return out;
}

StereoBuffer MakeFrogDrag(double rate)
{
    // One period of a periodic signal: every noise source is filtered as if it repeated for
    // ever, every grain that runs past the end wraps to the start, and every modulation makes
    // a whole number of cycles. 1.2 s is long enough that the repetition is not heard as a
    // rhythm while a frog slides across a few cells.
    const std::size_t frames = Frames(1.2, rate);
    const double length = static_cast<double>(frames) / rate;
    Random random(0xF209D2A6ull);
    StereoBuffer out(frames);

    for (int channel = 0; channel < 2; ++channel) {
        std::vector<float> noise(frames);
        for (float& sample : noise) {
            sample = static_cast<float>(random.Bipolar());
        }
        // The hiss of the scrape: band-passed noise whose centre wanders 1.4 .. 2.6 kHz.
        StateVariableFilter band;
        const double wanderPhase = random.Uniform() * 2.0 * Pi;
        const std::vector<float> hiss = FilterPeriodic(noise, [&](std::size_t i, float x) {
            if (i % 16 == 0) {
                const double cycle = 2.0 * Pi * 3.0 * static_cast<double>(i) / static_cast<double>(frames);
                band.Set(2000.0 + 600.0 * std::sin(cycle + wanderPhase), 2.5, rate);
            }
            band.Process(x);
            return band.Band();
        });
        // The body of the slide: a low rumble of the frog's weight on the ice.
        StateVariableFilter low;
        low.Set(180.0, 0.7, rate);
        const std::vector<float> rumble = FilterPeriodic(noise, [&](std::size_t, float x) {
            low.Process(x);
            return low.Low();
        });
        std::vector<float>& target = channel == 0 ? out.left : out.right;
        for (std::size_t i = 0; i < frames; ++i) {
            const double cycle = 2.0 * Pi * static_cast<double>(i) / static_cast<double>(frames);
            // Pressure swells 4 times per loop (a shuffle of the frog's weight) and a faster
            // 12-cycle flutter gives the scrape its grain.
            const double pressure = 0.8 + 0.15 * std::sin(4.0 * cycle + channel) + 0.08 * std::sin(12.0 * cycle);
            target[i] = static_cast<float>((hiss[i] * 0.55 + rumble[i] * 1.6) * pressure);
        }
    }

    // Chatter: short resonant ticks where the ice catches, wrapped round the loop's end.
    for (int tick = 0; tick < 40; ++tick) {
        const double start = random.Uniform() * length;
        const double tone = 1500.0 + 2500.0 * random.Uniform();
        const double gain = 0.05 + 0.1 * random.Uniform();
        float left = 0.0f;
        float right = 0.0f;
        PanGains(random.Bipolar() * 0.5, left, right);
        StereoBuffer grain(Frames(0.02, rate));
        for (std::size_t k = 0; k < grain.Frames(); ++k) {
            const double t = static_cast<double>(k) / rate;
            const double sample = std::sin(2.0 * Pi * tone * t) * std::exp(-t / 0.004) * std::min(1.0, t / 0.0003) * gain;
            grain.left[k] = static_cast<float>(sample * left);
            grain.right[k] = static_cast<float>(sample * right);
        }
        AddWrapped(out, grain, Frames(start, rate));
    }

    // A touch of room, run as a loop so the tail at the start is the one the end leaves.
    Reverb room(rate, 0.3, 0.6);
    const StereoBuffer wet = RunPeriodic(room, out);
    for (std::size_t i = 0; i < frames; ++i) {
        out.left[i] += wet.left[i] * 0.25f;
        out.right[i] += wet.right[i] * 0.25f;
    }
    RemoveOffset(out);
    NormalizePeak(out, 0.5f);
    return out;
}

std::vector<SoundEffect> MakeAllEffects(double sampleRate)
{
    std::vector<SoundEffect> effects;
    effects.push_back({"decision.wav", false, MakeDecision(sampleRate)});
    effects.push_back({"cancel.wav", false, MakeCancel(sampleRate)});
    effects.push_back({"defrost.wav", false, MakeDefrost(sampleRate)});
    effects.push_back({"frog_drag.wav", true, MakeFrogDrag(sampleRate)});
    return effects;
}

} // namespace SoundGen
