#include "Instruments.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace SoundGen {

const std::vector<std::string> MixerParameters = {"gain", "pan", "reverb", "delay"};

namespace {

const std::map<std::string, std::vector<std::string>>& VoiceParameters()
{
    static const std::map<std::string, std::vector<std::string>> table = {
        {"fm", {"ratio", "index", "indexdecay", "attack", "decay", "sustain", "release", "detune"}},
        {"pad", {"voices", "detune", "cutoff", "attack", "decay", "sustain", "release", "vibrato"}},
        {"pluck", {"brightness", "decay", "release"}},
        {"tone", {"shape", "attack", "decay", "sustain", "release", "vibrato"}},
        {"kick", {"decay", "punch"}},
        {"hat", {"cutoff", "attack", "decay"}},
        {"snare", {"cutoff", "decay"}},
    };
    return table;
}

double Get(const ScoreInstrument& instrument, const char* key, double fallback)
{
    const auto found = instrument.parameters.find(key);
    return found == instrument.parameters.end() ? fallback : found->second;
}

Envelope EnvelopeOf(const ScoreInstrument& instrument, double attack, double decay, double sustain, double release)
{
    Envelope envelope;
    envelope.attack = std::max(0.0005, Get(instrument, "attack", attack));
    envelope.decay = std::max(0.0, Get(instrument, "decay", decay));
    envelope.sustain = std::clamp(Get(instrument, "sustain", sustain), 0.0, 1.0);
    envelope.release = std::max(0.005, Get(instrument, "release", release));
    return envelope;
}

std::size_t FramesOf(double seconds, double sampleRate)
{
    return static_cast<std::size_t>(std::ceil(std::max(0.0, seconds) * sampleRate)) + 1;
}

// A short fade over the last few milliseconds, so a voice cut at its buffer's end never clicks.
void FadeTail(StereoBuffer& voice, double sampleRate)
{
    const std::size_t fade = std::min(voice.Frames(), static_cast<std::size_t>(0.004 * sampleRate) + 1);
    for (std::size_t i = 0; i < fade; ++i) {
        const float gain = static_cast<float>(i) / static_cast<float>(fade);
        voice.left[voice.Frames() - 1 - i] *= gain;
        voice.right[voice.Frames() - 1 - i] *= gain;
    }
}

StereoBuffer RenderFm(const ScoreInstrument& in, double frequency, double gate, double velocity, double rate)
{
    const Envelope envelope = EnvelopeOf(in, 0.002, 2.0, 0.0, 0.8);
    const double ratio = Get(in, "ratio", 3.5);
    // FM sidebands reach about carrier + (index + 1) x modulator; keep them under 18 kHz so
    // that high notes do not fold back as inharmonic aliases.
    const double alias = std::max(0.0, (std::min(18000.0, rate * 0.45) - frequency) / (ratio * frequency) - 1.0);
    const double index = std::min(Get(in, "index", 2.0) * (0.5 + 0.5 * velocity), alias);
    const double indexDecay = std::max(0.01, Get(in, "indexdecay", 0.5));
    const double detune = std::pow(2.0, Get(in, "detune", 3.0) / 1200.0);
    // A note with no sustain has died out about `decay` seconds after it began.
    const double length = envelope.sustain > 0.0 ? envelope.End(gate) : std::min(envelope.End(gate), envelope.attack + envelope.decay * 1.2);
    StereoBuffer voice(FramesOf(length, rate));
    // Phases in cycles; the modulation index is in radians, hence the 1 / 2 pi.
    const double cyclesPerFrame = frequency / rate;
    const double indexFall = std::exp(-1.0 / (indexDecay * rate));
    double modulation = index / (2.0 * Pi);
    for (std::size_t i = 0; i < voice.Frames(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double amplitude = envelope.Level(t, gate) * velocity;
        const double phase = cyclesPerFrame * static_cast<double>(i);
        // Two carriers a few cents apart, one per side, give the bell a slow beating width.
        const double left = SineOfCycles(phase + modulation * SineOfCycles(phase * ratio));
        const double right = SineOfCycles(phase * detune + modulation * SineOfCycles(phase * detune * ratio));
        modulation *= indexFall;
        voice.left[i] = static_cast<float>(left * amplitude);
        voice.right[i] = static_cast<float>(right * amplitude);
    }
    FadeTail(voice, rate);
    return voice;
}

StereoBuffer RenderPad(const ScoreInstrument& in, double frequency, double gate, double velocity, double rate,
                       Random& random)
{
    const Envelope envelope = EnvelopeOf(in, 0.8, 1.0, 0.8, 1.5);
    const int voices = std::clamp(static_cast<int>(Get(in, "voices", 3)), 1, 8);
    const double detuneCents = Get(in, "detune", 9.0);
    const double cutoff = Get(in, "cutoff", 1600.0);
    const double vibrato = Get(in, "vibrato", 0.0);
    StereoBuffer voice(FramesOf(envelope.End(gate), rate));
    std::vector<double> phases(static_cast<std::size_t>(voices) * 2);
    std::vector<double> increments(phases.size());
    for (std::size_t v = 0; v < phases.size(); ++v) {
        phases[v] = random.Uniform();
        // Spread the detune evenly from -detune to +detune; the two sides get mirror images.
        const double spread = voices == 1 ? 0.0 : (static_cast<double>(v / 2) / (voices - 1) * 2.0 - 1.0);
        const double cents = detuneCents * spread * (v % 2 == 0 ? 1.0 : -1.0);
        increments[v] = frequency * std::pow(2.0, cents / 1200.0) / rate;
    }
    StateVariableFilter filterLeft, filterRight;
    const double vibratoPhase = random.Uniform(); // cycles
    for (std::size_t i = 0; i < voice.Frames(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double level = envelope.Level(t, gate);
        if (i % 32 == 0) {
            // The filter opens with the envelope: the pad swells brighter as it grows.
            const double opened = cutoff * (0.45 + 0.55 * level) * (0.7 + 0.3 * velocity);
            filterLeft.Set(opened, 0.8, rate);
            filterRight.Set(opened, 0.8, rate);
        }
        const double wobble = 1.0 + vibrato * 0.01 * SineOfCycles(4.8 * t + vibratoPhase);
        double left = 0.0;
        double right = 0.0;
        for (std::size_t v = 0; v < phases.size(); ++v) {
            const double increment = increments[v] * wobble;
            const double sample = SawtoothSample(phases[v], increment);
            phases[v] += increment;
            if (phases[v] >= 1.0) {
                phases[v] -= 1.0;
            }
            (v % 2 == 0 ? left : right) += sample;
        }
        filterLeft.Process(static_cast<float>(left / voices));
        filterRight.Process(static_cast<float>(right / voices));
        voice.left[i] = static_cast<float>(filterLeft.Low() * level * velocity);
        voice.right[i] = static_cast<float>(filterRight.Low() * level * velocity);
    }
    FadeTail(voice, rate);
    return voice;
}

StereoBuffer RenderPluck(const ScoreInstrument& in, double frequency, double gate, double velocity, double rate,
                         Random& random)
{
    const double brightness = std::clamp(Get(in, "brightness", 0.5), 0.0, 1.0);
    const double decay = std::max(0.05, Get(in, "decay", 1.5));
    const double release = std::max(0.01, Get(in, "release", 0.15));
    const double length = std::min(decay, gate + release);
    StereoBuffer voice(FramesOf(length, rate));
    // Karplus-Strong: a noise burst circulating in a delay line one period long, averaged
    // (low-passed) on every pass. The loss per pass is set so that it falls 60 dB in `decay`.
    const double period = rate / frequency;
    const std::size_t size = static_cast<std::size_t>(period) + 2;
    std::vector<double> history(size, 0.0);
    OnePoleLowPass exciteFilter;
    exciteFilter.SetCutoff(800.0 + 9000.0 * brightness * velocity, rate);
    for (std::size_t i = 0; i < size; ++i) {
        history[i] = exciteFilter.Process(static_cast<float>(random.Bipolar()));
    }
    const double loss = std::pow(0.001, 1.0 / (decay * frequency));
    const double fraction = period - std::floor(period);
    double previous = 0.0;
    std::size_t write = 0;
    const std::size_t whole = static_cast<std::size_t>(period);
    for (std::size_t i = 0; i < voice.Frames(); ++i) {
        // Read `period` samples back, with linear interpolation for the fraction.
        const std::size_t readA = (write + size - whole) % size;
        const std::size_t readB = (readA + size - 1) % size;
        const double delayed = history[readA] * (1.0 - fraction) + history[readB] * fraction;
        const double damped = (delayed * (0.5 + 0.5 * brightness) + previous * (0.5 - 0.5 * brightness)) * loss;
        previous = delayed;
        history[write] = damped;
        write = (write + 1) % size;
        const double t = static_cast<double>(i) / rate;
        double amplitude = velocity * std::min(1.0, t / 0.001);
        if (t > gate) {
            amplitude *= std::max(0.0, 1.0 - (t - gate) / release);
        }
        voice.left[i] = static_cast<float>(delayed * amplitude);
        voice.right[i] = voice.left[i];
    }
    FadeTail(voice, rate);
    return voice;
}

StereoBuffer RenderTone(const ScoreInstrument& in, double frequency, double gate, double velocity, double rate)
{
    const Envelope envelope = EnvelopeOf(in, 0.01, 0.3, 0.7, 0.2);
    const double shape = std::clamp(Get(in, "shape", 0.0), 0.0, 1.0);
    const double vibrato = Get(in, "vibrato", 0.0);
    StereoBuffer voice(FramesOf(envelope.End(gate), rate));
    double phase = 0.0;
    for (std::size_t i = 0; i < voice.Frames(); ++i) {
        const double t = static_cast<double>(i) / rate;
        // Vibrato eases in after a quarter second, as a singer's would.
        const double depth = vibrato * 0.01 * std::min(1.0, t / 0.4);
        phase += frequency * (1.0 + depth * SineOfCycles(5.2 * t)) / rate;
        phase -= std::floor(phase);
        const double sine = SineOfCycles(phase);
        // A triangle in step with the sine (0 at phase 0, peak at a quarter).
        const double quarterOn = phase + 0.25 - std::floor(phase + 0.25);
        const double triangle = 1.0 - 4.0 * std::fabs(quarterOn - 0.5);
        const double sample = (sine * (1.0 - shape) + triangle * shape) * envelope.Level(t, gate) * velocity;
        voice.left[i] = static_cast<float>(sample);
        voice.right[i] = voice.left[i];
    }
    FadeTail(voice, rate);
    return voice;
}

StereoBuffer RenderKick(const ScoreInstrument& in, double frequency, double velocity, double rate)
{
    const double decay = std::max(0.05, Get(in, "decay", 0.35));
    const double punch = Get(in, "punch", 3.0);
    StereoBuffer voice(FramesOf(decay, rate));
    double phase = 0.0;
    for (std::size_t i = 0; i < voice.Frames(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double pitch = frequency * (1.0 + punch * std::exp(-t / 0.03));
        phase += pitch / rate;
        const double amplitude = std::exp(-5.0 * t / decay) * std::min(1.0, t / 0.001) * velocity;
        voice.left[i] = static_cast<float>(std::sin(2.0 * Pi * phase) * amplitude);
        voice.right[i] = voice.left[i];
    }
    FadeTail(voice, rate);
    return voice;
}

StereoBuffer RenderHat(const ScoreInstrument& in, double velocity, double rate, Random& random)
{
    const double cutoff = Get(in, "cutoff", 7000.0);
    const double attack = std::max(0.0005, Get(in, "attack", 0.001));
    const double decay = std::max(0.005, Get(in, "decay", 0.05));
    StereoBuffer voice(FramesOf(attack + decay * 1.5, rate));
    StateVariableFilter filterLeft, filterRight;
    filterLeft.Set(cutoff, 0.9, rate);
    filterRight.Set(cutoff, 0.9, rate);
    for (std::size_t i = 0; i < voice.Frames(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double amplitude = (t < attack ? t / attack : std::exp(-5.0 * (t - attack) / decay)) * velocity;
        filterLeft.Process(static_cast<float>(random.Bipolar()));
        filterRight.Process(static_cast<float>(random.Bipolar()));
        voice.left[i] = static_cast<float>(filterLeft.High() * amplitude);
        voice.right[i] = static_cast<float>(filterRight.High() * amplitude);
    }
    FadeTail(voice, rate);
    return voice;
}

StereoBuffer RenderSnare(const ScoreInstrument& in, double frequency, double velocity, double rate, Random& random)
{
    const double cutoff = Get(in, "cutoff", 2500.0);
    const double decay = std::max(0.02, Get(in, "decay", 0.18));
    StereoBuffer voice(FramesOf(decay * 1.5, rate));
    StateVariableFilter filter;
    filter.Set(cutoff, 0.7, rate);
    for (std::size_t i = 0; i < voice.Frames(); ++i) {
        const double t = static_cast<double>(i) / rate;
        filter.Process(static_cast<float>(random.Bipolar()));
        const double noise = filter.Band() * std::exp(-5.0 * t / decay);
        const double body = std::sin(2.0 * Pi * frequency * t) * std::exp(-t / 0.04) * 0.6;
        const double sample = (noise + body) * std::min(1.0, t / 0.0007) * velocity;
        voice.left[i] = static_cast<float>(sample);
        voice.right[i] = voice.left[i];
    }
    FadeTail(voice, rate);
    return voice;
}

} // namespace

void CheckInstrument(const ScoreInstrument& instrument, const std::string& sourceName)
{
    const auto kind = VoiceParameters().find(instrument.kind);
    const std::string where = sourceName + ":" + std::to_string(instrument.line) + ": ";
    if (kind == VoiceParameters().end()) {
        throw ScoreError(where + "instrument \"" + instrument.name + "\" has unknown kind \"" + instrument.kind + "\"");
    }
    for (const auto& [key, value] : instrument.parameters) {
        const bool known = std::find(kind->second.begin(), kind->second.end(), key) != kind->second.end() ||
                           std::find(MixerParameters.begin(), MixerParameters.end(), key) != MixerParameters.end();
        if (!known) {
            throw ScoreError(where + "a " + instrument.kind + " instrument takes no \"" + key + "\"");
        }
    }
}

StereoBuffer RenderVoice(const ScoreInstrument& instrument, double frequency, double gateSeconds, double velocity,
                         double sampleRate, Random& random)
{
    const std::string& kind = instrument.kind;
    if (kind == "fm") {
        return RenderFm(instrument, frequency, gateSeconds, velocity, sampleRate);
    }
    if (kind == "pad") {
        return RenderPad(instrument, frequency, gateSeconds, velocity, sampleRate, random);
    }
    if (kind == "pluck") {
        return RenderPluck(instrument, frequency, gateSeconds, velocity, sampleRate, random);
    }
    if (kind == "tone") {
        return RenderTone(instrument, frequency, gateSeconds, velocity, sampleRate);
    }
    if (kind == "kick") {
        return RenderKick(instrument, frequency, velocity, sampleRate);
    }
    if (kind == "hat") {
        return RenderHat(instrument, velocity, sampleRate, random);
    }
    if (kind == "snare") {
        return RenderSnare(instrument, frequency, velocity, sampleRate, random);
    }
    throw ScoreError("instrument \"" + instrument.name + "\" has unknown kind \"" + kind + "\"");
}

} // namespace SoundGen
