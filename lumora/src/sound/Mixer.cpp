#include "Mixer.h"

#include <algorithm>
#include <cstring>

namespace Lumora::Internal {

void StreamRing::Reserve(std::size_t capacity)
{
    bytes_.assign(capacity, 0);
    Clear();
}

std::size_t StreamRing::Push(const std::uint8_t* data, std::size_t count)
{
    count = std::min(count, Free());
    std::size_t tail = (head_ + size_) % bytes_.size();
    std::size_t first = std::min(count, bytes_.size() - tail);
    std::memcpy(bytes_.data() + tail, data, first);
    std::memcpy(bytes_.data(), data + first, count - first);
    size_ += count;
    return count;
}

void StreamRing::Pop(std::uint8_t* out, std::size_t count)
{
    count = std::min(count, size_);
    std::size_t first = std::min(count, bytes_.size() - head_);
    std::memcpy(out, bytes_.data() + head_, first);
    std::memcpy(out + first, bytes_.data(), count - first);
    head_ = (head_ + count) % bytes_.size();
    size_ -= count;
}

namespace {

enum class Pull { Frame, Underrun, End };

// Converts one source frame to stereo float: mono feeds both sides, further channels beyond
// the first two are dropped.
void DecodeFrame(const PcmLayout& layout, const std::uint8_t* frame, float out[2])
{
    float left;
    float right;
    if (layout.bytesPerSample == 1) {
        left = (static_cast<float>(frame[0]) - 128.0f) / 128.0f;
        right = layout.channels > 1 ? (static_cast<float>(frame[1]) - 128.0f) / 128.0f : left;
    } else {
        auto sample = [frame](int index) {
            auto low = static_cast<std::uint16_t>(frame[index * 2]);
            auto high = static_cast<std::uint16_t>(frame[index * 2 + 1]);
            return static_cast<float>(static_cast<std::int16_t>(low | (high << 8))) / 32768.0f;
        };
        left = sample(0);
        right = layout.channels > 1 ? sample(1) : left;
    }
    out[0] = left;
    out[1] = right;
}

Pull PullFrame(Voice& voice, float out[2])
{
    if (voice.ring != nullptr) {
        auto frameBytes = static_cast<std::size_t>(voice.layout.FrameBytes());
        if (voice.ring->Size() >= frameBytes) {
            std::uint8_t frame[64];
            voice.ring->Pop(frame, frameBytes);
            DecodeFrame(voice.layout, frame, out);
            return Pull::Frame;
        }
        return voice.feedFinished ? Pull::End : Pull::Underrun;
    }
    if (voice.cursor >= voice.frameCount) {
        if (!voice.loop || voice.frameCount == 0) {
            return Pull::End;
        }
        voice.cursor = 0; // seamless: the last frame is followed by the first
    }
    DecodeFrame(voice.layout, voice.samples + voice.cursor * static_cast<std::size_t>(voice.layout.FrameBytes()), out);
    ++voice.cursor;
    return Pull::Frame;
}

// Moves the resampler one source frame on. False when the voice has nothing to give now
// (underrun) or has ended (then it is no longer playing).
bool Advance(Voice& voice)
{
    float frame[2];
    switch (PullFrame(voice, frame)) {
    case Pull::Underrun:
        return false;
    case Pull::End:
        if (voice.tailGiven) {
            voice.playing = false;
            return false;
        }
        // One silent frame after the last lets the output glide to zero instead of clicking.
        frame[0] = 0.0f;
        frame[1] = 0.0f;
        voice.tailGiven = true;
        break;
    case Pull::Frame:
        break;
    }
    voice.previous[0] = voice.next[0];
    voice.previous[1] = voice.next[1];
    voice.next[0] = frame[0];
    voice.next[1] = frame[1];
    if (voice.primed < 2) {
        ++voice.primed;
    } else {
        voice.phase -= 1.0;
    }
    return true;
}

// `rampStep` is the largest change of the applied gain from one output frame to the next.
void MixVoice(Voice& voice, float* out, std::int32_t frames, double step, float rampStep)
{
    const float target = voice.stopping ? 0.0f : voice.gain;
    float gain = voice.appliedGain;
    for (std::int32_t i = 0; i < frames; ++i) {
        while (voice.primed < 2 || voice.phase >= 1.0) {
            if (!Advance(voice)) {
                if (voice.stopping) {
                    // Nothing left to fade out (an underrun or the end): quiet now.
                    voice.playing = false;
                    voice.stopping = false;
                }
                voice.appliedGain = gain;
                return;
            }
        }
        if (gain != target) {
            gain = gain < target ? std::min(gain + rampStep, target) : std::max(gain - rampStep, target);
        }
        auto t = static_cast<float>(voice.phase);
        out[2 * i] += (voice.previous[0] + (voice.next[0] - voice.previous[0]) * t) * gain;
        out[2 * i + 1] += (voice.previous[1] + (voice.next[1] - voice.previous[1]) * t) * gain;
        voice.phase += step;
        if (voice.stopping && gain == 0.0f) {
            voice.playing = false;
            voice.stopping = false;
            break;
        }
    }
    voice.appliedGain = gain;
}

} // namespace

Mixer::Mixer()
{
    voices_.reserve(64);
}

void Mixer::Add(Voice* voice)
{
    std::lock_guard lock(mutex_);
    voices_.push_back(voice);
}

void Mixer::Remove(Voice* voice)
{
    std::lock_guard lock(mutex_);
    std::erase(voices_, voice);
}

void Mixer::RestartLocked(Voice& voice)
{
    voice.cursor = 0;
    voice.phase = 0.0;
    voice.primed = 0;
    voice.tailGiven = false;
    voice.previous[0] = voice.previous[1] = 0.0f;
    voice.next[0] = voice.next[1] = 0.0f;
    voice.playing = true;
    voice.stopping = false;
    voice.appliedGain = voice.gain; // a start is no volume change: no glide in
}

void Mixer::StopLocked(Voice& voice)
{
    if (voice.playing) {
        voice.stopping = true;
    }
}

void Mixer::MixLocked(float* out, std::int32_t frames)
{
    std::fill(out, out + static_cast<std::size_t>(frames) * 2, 0.0f);
    const auto rampStep = static_cast<float>(1.0 / (kVolumeRampSeconds * static_cast<double>(outputRate_)));
    for (Voice* voice : voices_) {
        if (!voice->playing || voice->layout.rate == 0) {
            continue;
        }
        double step = static_cast<double>(voice->layout.rate) / static_cast<double>(outputRate_);
        MixVoice(*voice, out, frames, step, rampStep);
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(frames) * 2; ++i) {
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }
}

Mixer& TheMixer()
{
    static Mixer mixer;
    return mixer;
}

} // namespace Lumora::Internal
