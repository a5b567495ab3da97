// Mixer.h: the voices and the mixing arithmetic shared by the device callback and headless mode.
//
// A Voice is one playing sound: either a whole PCM block in memory (an effect) or a StreamRing
// that the stream feeder fills (music). Every field a voice's owner and the mixer both touch is
// guarded by the mixer lock (Mixer::Mutex). The mixer converts 8-bit unsigned and 16-bit signed
// samples of any channel count to stereo float, resamples linearly from the voice's rate to the
// output rate, applies the voice's gain and sums into the output. It never allocates.
//
// Volume changes and stops are never heard as a step: the gain applied to a playing voice
// glides to a new value at most full scale per kVolumeRampSeconds, and a stopped voice fades
// to silence over that time before it falls quiet. A (re)start begins at the set gain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace Lumora::Internal {

// The sample layout of a voice's source bytes.
struct PcmLayout {
    std::int32_t channels = 0;       // 1 and up; channels beyond two are not heard
    std::int32_t bytesPerSample = 0; // 1 (unsigned 8-bit) or 2 (signed 16-bit little-endian)
    std::uint32_t rate = 0;          // frames per second
    std::int32_t FrameBytes() const { return channels * bytesPerSample; }
};

// A byte ring of fixed capacity: the feeder appends whole decoder reads, the mixer takes whole
// frames. Guarded by the mixer lock; memory is set once by Reserve.
class StreamRing {
public:
    void Reserve(std::size_t capacity);
    std::size_t Size() const { return size_; }
    std::size_t Free() const { return bytes_.size() - size_; }
    void Clear() { head_ = 0; size_ = 0; }
    // Appends up to Free() bytes; returns how many were taken.
    std::size_t Push(const std::uint8_t* data, std::size_t count);
    // Removes `count` bytes (at most Size()) into `out`.
    void Pop(std::uint8_t* out, std::size_t count);

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t head_ = 0; // index of the oldest byte
    std::size_t size_ = 0;
};

struct Voice {
    PcmLayout layout;

    // An effect: the whole sample data, owned by the sound; null for a stream.
    const std::uint8_t* samples = nullptr;
    std::size_t frameCount = 0;
    std::size_t cursor = 0; // next frame to take

    // A stream: the ring its feeder fills; null for an effect. `feedFinished` says the feeder
    // will add nothing more (the loops asked for are all fed, or the decoder gave out).
    StreamRing* ring = nullptr;
    bool feedFinished = false;

    bool playing = false;
    bool loop = false;  // an effect starts over at its first frame when it ends
    float gain = 1.0f;  // linear amplitude factor, as set; the mixer glides towards it
    float appliedGain = 1.0f; // the factor on the last frame mixed
    // Stop asked: the mixer fades the voice out, then clears `playing` and this flag.
    bool stopping = false;

    // Linear resampler state: the output lies between `previous` and `next` at `phase` (0..1,
    // in source frames). `primed` counts the frames taken since the start (up to 2);
    // `tailGiven` says the silent frame after the last one has been handed out.
    float previous[2] = {0.0f, 0.0f};
    float next[2] = {0.0f, 0.0f};
    double phase = 0.0;
    std::int32_t primed = 0;
    bool tailGiven = false;
};

// How long a full-scale volume change takes, in seconds (5 ms: too short to hear as a fade,
// long enough that the step no longer clicks).
inline constexpr double kVolumeRampSeconds = 0.005;

class Mixer {
public:
    Mixer();

    // The lock guarding every voice and ring. Hold it only for short, non-blocking work.
    std::mutex& Mutex() { return mutex_; }

    // Register and unregister a voice (take the lock themselves). A voice must be removed
    // before its memory goes away.
    void Add(Voice* voice);
    void Remove(Voice* voice);

    // Output frames per second; the lock must be held.
    void SetOutputRateLocked(std::uint32_t rate) { outputRate_ = rate; }
    std::uint32_t OutputRateLocked() const { return outputRate_; }

    // (Re)starts a voice from its first frame; the lock must be held. A stream's ring is not
    // touched: its owner clears it.
    static void RestartLocked(Voice& voice);
    // Fades a playing voice out (see kVolumeRampSeconds); it stops once silent. The lock must
    // be held.
    static void StopLocked(Voice& voice);

    // Overwrites `out` with `frames` interleaved stereo frames of every playing voice, clipped
    // to -1..1. The lock must be held.
    void MixLocked(float* out, std::int32_t frames);

private:
    std::mutex mutex_;
    std::vector<Voice*> voices_;
    std::uint32_t outputRate_ = 48000;
};

// The one mixer of the process.
Mixer& TheMixer();

} // namespace Lumora::Internal
