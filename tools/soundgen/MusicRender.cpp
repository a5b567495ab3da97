#include "MusicRender.h"

#include "Instruments.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace SoundGen {

namespace {

double Get(const Parameters& parameters, const char* key, double fallback)
{
    const auto found = parameters.find(key);
    return found == parameters.end() ? fallback : found->second;
}

void CheckEffect(const Parameters& parameters, const std::vector<std::string>& known, const std::string& where)
{
    for (const auto& [key, value] : parameters) {
        if (std::find(known.begin(), known.end(), key) == known.end()) {
            throw ScoreError(where + " takes no \"" + key + "\"");
        }
    }
}

// Adds `voice` scaled by the two gains into `target` from `start`, wrapping at its end.
void AddVoice(StereoBuffer& target, const StereoBuffer& voice, std::size_t start, float left, float right)
{
    const std::size_t frames = target.Frames();
    std::size_t position = start % frames;
    for (std::size_t i = 0; i < voice.Frames(); ++i) {
        target.left[position] += voice.left[i] * left;
        target.right[position] += voice.right[i] * right;
        if (++position == frames) {
            position = 0;
        }
    }
}

// Brings the mix to a steady level: the loudest 0.05 % of samples (drum and bell strikes) are
// rounded off by a soft knee instead of setting the gain for the whole track, and nothing
// exceeds `peak`. Works sample by sample, so the loop stays seamless.
void Master(StereoBuffer& mix, float peak)
{
    std::vector<float> magnitudes;
    magnitudes.reserve(mix.Frames() * 2);
    for (std::size_t i = 0; i < mix.Frames(); ++i) {
        magnitudes.push_back(std::fabs(mix.left[i]));
        magnitudes.push_back(std::fabs(mix.right[i]));
    }
    if (magnitudes.empty()) {
        return;
    }
    const std::size_t rank = magnitudes.size() - 1 - magnitudes.size() / 2000;
    std::nth_element(magnitudes.begin(), magnitudes.begin() + static_cast<std::ptrdiff_t>(rank), magnitudes.end());
    const float loud = magnitudes[rank];
    if (loud <= 0.0f) {
        return;
    }
    const float knee = peak * 0.85f;
    const float gain = knee / loud;
    auto limit = [knee, peak](float x) {
        const float magnitude = std::fabs(x);
        if (magnitude <= knee) {
            return x;
        }
        const float room = peak - knee;
        const float shaped = knee + room * std::tanh((magnitude - knee) / room);
        return std::copysign(shaped, x);
    };
    for (std::size_t i = 0; i < mix.Frames(); ++i) {
        mix.left[i] = limit(mix.left[i] * gain);
        mix.right[i] = limit(mix.right[i] * gain);
    }
}

} // namespace

StereoBuffer RenderLoop(const Score& score, const std::string& sourceName, float peak)
{
    CheckEffect(score.reverb, {"size", "damping", "return"}, sourceName + ": reverb");
    CheckEffect(score.delay, {"beats", "feedback", "tone", "return"}, sourceName + ": delay");
    CheckEffect(score.humanize, {"timing", "velocity"}, sourceName + ": humanize");
    // A player's hands: onsets a few milliseconds off the grid, strikes a little uneven.
    const double timingJitter = std::clamp(Get(score.humanize, "timing", 0.0), 0.0, 0.05) * score.sampleRate;
    const double velocityJitter = std::clamp(Get(score.humanize, "velocity", 0.0), 0.0, 0.5);
    for (const ScoreInstrument& instrument : score.instruments) {
        CheckInstrument(instrument, sourceName);
    }
    const double rate = score.sampleRate;
    const std::size_t frames = score.LoopFrames();
    StereoBuffer dry(frames);
    StereoBuffer reverbSend(frames);
    StereoBuffer delaySend(frames);
    // One random stream per track, seeded by its position, so that editing one track leaves
    // the noise and phases of the others as they were.
    std::uint64_t seed = 0x51A7E5EEDull;
    for (const ScoreTrack& track : score.tracks) {
        Random random(seed += 0x9E3779B97F4A7C15ull);
        const ScoreInstrument& instrument = *score.FindInstrument(track.instrument);
        const double gain = Get(instrument.parameters, "gain", 0.5);
        const double reverb = Get(instrument.parameters, "reverb", 0.0);
        const double delay = Get(instrument.parameters, "delay", 0.0);
        float panLeft = 0.0f;
        float panRight = 0.0f;
        PanGains(Get(instrument.parameters, "pan", 0.0), panLeft, panRight);
        const float left = static_cast<float>(gain) * panLeft;
        const float right = static_cast<float>(gain) * panRight;
        for (const ScoreNote& note : track.notes) {
            const double gate = note.beats * score.SecondsPerBeat();
            const double shift = random.Bipolar() * timingJitter;
            const double velocity = std::clamp(note.velocity * (1.0 + random.Bipolar() * velocityJitter), 0.0, 1.0);
            const StereoBuffer voice = RenderVoice(instrument, NoteFrequency(note.midiNote), gate, velocity, rate, random);
            // A note pushed early from the loop's first frame lands at its end, the loop wrapping.
            const auto onset = static_cast<std::int64_t>(score.FrameOfBeat(note.beat)) + std::llround(shift);
            const auto length = static_cast<std::int64_t>(frames);
            const std::size_t start = static_cast<std::size_t>(((onset % length) + length) % length);
            AddVoice(dry, voice, start, left, right);
            if (reverb > 0.0) {
                AddVoice(reverbSend, voice, start, left * static_cast<float>(reverb), right * static_cast<float>(reverb));
            }
            if (delay > 0.0) {
                AddVoice(delaySend, voice, start, left * static_cast<float>(delay), right * static_cast<float>(delay));
            }
        }
    }

    // Effects return into the dry mix; the echoes also fade into the hall.
    StereoBuffer& mix = dry;
    const float delayReturn = static_cast<float>(Get(score.delay, "return", 0.0));
    if (delayReturn > 0.0f) {
        PingPongDelay delay(rate, Get(score.delay, "beats", 0.75) * score.SecondsPerBeat(),
                            Get(score.delay, "feedback", 0.35), Get(score.delay, "tone", 3500.0));
        const StereoBuffer echoes = RunPeriodic(delay, delaySend);
        for (std::size_t i = 0; i < frames; ++i) {
            reverbSend.left[i] += echoes.left[i] * 0.5f;
            reverbSend.right[i] += echoes.right[i] * 0.5f;
            mix.left[i] += echoes.left[i] * delayReturn;
            mix.right[i] += echoes.right[i] * delayReturn;
        }
    }
    const float reverbReturn = static_cast<float>(Get(score.reverb, "return", 0.0));
    if (reverbReturn > 0.0f) {
        Reverb reverb(rate, Get(score.reverb, "size", 0.8), Get(score.reverb, "damping", 0.5));
        const StereoBuffer hall = RunPeriodic(reverb, reverbSend);
        for (std::size_t i = 0; i < frames; ++i) {
            mix.left[i] += hall.left[i] * reverbReturn;
            mix.right[i] += hall.right[i] * reverbReturn;
        }
    }
    RemoveOffset(mix);
    Master(mix, peak);
    return std::move(mix);
}

} // namespace SoundGen
