// Synth.h: the small signal-processing kit the sound generator builds every sound from.
//
// Everything works on float samples in the range -1..1 at one sample rate that the caller
// passes in (Hz). Times are in seconds, frequencies in Hz, gains linear. Nothing here
// allocates per sample; the stateful parts (filters, reverb, delay) are plain values that the
// caller owns and runs sample by sample.
//
// Loops: a sound that repeats must join its end to its start. `RunPeriodic` runs a stateful
// effect over a buffer as if the buffer repeated for ever (one priming pass, then the pass
// that is kept), so the effect's state at the loop point is the steady state and no click
// appears where the loop closes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace SoundGen {

constexpr double Pi = 3.14159265358979323846;

// A two-channel buffer of equal length.
struct StereoBuffer {
    std::vector<float> left;
    std::vector<float> right;

    explicit StereoBuffer(std::size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
    std::size_t Frames() const { return left.size(); }
};

// Deterministic random numbers (xorshift64*), so that every build writes the same sounds.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    std::uint64_t Next();
    // Uniform in [0, 1).
    double Uniform();
    // Uniform in [-1, 1).
    double Bipolar() { return Uniform() * 2.0 - 1.0; }

private:
    std::uint64_t state_;
};

// Frequency in Hz of a MIDI note number (69 = A4 = 440 Hz), equal temperament.
double NoteFrequency(double midiNote);

// sin(2 pi x) for x in cycles (any value; only its fraction matters), from a 4096-entry table
// with linear interpolation: error below 1e-6, several times faster than std::sin.
double SineOfCycles(double cycles);

// Band-limited sawtooth step (polyBLEP) for a phase in [0, 1) advancing `increment` per sample.
double SawtoothSample(double phase, double increment);

// Attack-decay-sustain-release envelope: level at `time` seconds after note-on for a note
// released `gate` seconds after note-on. Attack is linear, decay and release exponential-like
// (raised cosine shapes, no corners that would click).
struct Envelope {
    double attack = 0.005;
    double decay = 0.2;
    double sustain = 1.0;
    double release = 0.1;

    double Level(double time, double gate) const;
    // Seconds after note-on at which the envelope has reached silence.
    double End(double gate) const { return gate + release; }
};

// One-pole low-pass filter (6 dB/octave).
class OnePoleLowPass {
public:
    void SetCutoff(double cutoffHz, double sampleRate);
    float Process(float input);
    void Reset() { state_ = 0.0; }

private:
    double coefficient_ = 1.0;
    double state_ = 0.0;
};

// State-variable filter (12 dB/octave): low-, band- and high-pass outputs of one input.
class StateVariableFilter {
public:
    void Set(double cutoffHz, double resonanceQ, double sampleRate);
    void Process(float input);
    float Low() const { return static_cast<float>(low_); }
    float Band() const { return static_cast<float>(band_); }
    float High() const { return static_cast<float>(high_); }
    void Reset() { low_ = band_ = high_ = 0.0; }

private:
    double frequency_ = 0.1;
    double damping_ = 1.0;
    double low_ = 0.0;
    double band_ = 0.0;
    double high_ = 0.0;
};

// Stereo hall reverb: parallel damped comb filters into series all-pass filters per channel,
// the right channel with slightly longer delays so the tail spreads. Output is wet only.
class Reverb {
public:
    // `size` 0..1 sets the tail length, `damping` 0..1 darkens it.
    Reverb(double sampleRate, double size, double damping);
    void Process(float inLeft, float inRight, float& outLeft, float& outRight);

private:
    struct Comb {
        std::vector<float> line;
        std::size_t index = 0;
        float store = 0.0f;
    };
    struct AllPass {
        std::vector<float> line;
        std::size_t index = 0;
    };
    float RunComb(Comb& comb, float input) const;
    static float RunAllPass(AllPass& pass, float input);

    std::vector<Comb> combsLeft_, combsRight_;
    std::vector<AllPass> passesLeft_, passesRight_;
    float feedback_;
    float damping_;
};

// Stereo ping-pong echo: the left input echoes on the right and back. Output is wet only.
class PingPongDelay {
public:
    PingPongDelay(double sampleRate, double delaySeconds, double feedback, double toneHz);
    void Process(float inLeft, float inRight, float& outLeft, float& outRight);

private:
    std::vector<float> lineLeft_, lineRight_;
    std::size_t index_ = 0;
    float feedback_;
    OnePoleLowPass toneLeft_, toneRight_;
};

// Runs a stereo effect over `input` as if it repeated for ever and returns one period of its
// steady-state output. `effect` is any object with Process(inL, inR, outL&, outR&).
template <typename Effect>
StereoBuffer RunPeriodic(Effect& effect, const StereoBuffer& input, int primingPasses = 1)
{
    const std::size_t frames = input.Frames();
    StereoBuffer output(frames);
    float left = 0.0f;
    float right = 0.0f;
    for (int pass = 0; pass < primingPasses; ++pass) {
        for (std::size_t i = 0; i < frames; ++i) {
            effect.Process(input.left[i], input.right[i], left, right);
        }
    }
    for (std::size_t i = 0; i < frames; ++i) {
        effect.Process(input.left[i], input.right[i], output.left[i], output.right[i]);
    }
    return output;
}

// Adds `source` (any length) into `target` starting at frame `start`, wrapping around the end
// of `target`: what rings past the loop point sounds again from the loop's start.
void AddWrapped(StereoBuffer& target, const StereoBuffer& source, std::size_t start);

// Subtracts each channel's mean. For a loop this removes the constant offset that filtered
// noise or one-sided strikes leave, without touching the join (the shift is the same everywhere).
void RemoveOffset(StereoBuffer& buffer);

// Largest absolute sample of both channels.
float PeakOf(const StereoBuffer& buffer);

// Scales the buffer so that its peak is `targetPeak` (no change for a silent buffer).
void NormalizePeak(StereoBuffer& buffer, float targetPeak);

// Constant-power pan: `pan` -1 (left) .. +1 (right) gives the two channel gains.
void PanGains(double pan, float& left, float& right);

} // namespace SoundGen
