// SoundInternal.h: what the sound objects share with the sound system inside this module.
#pragma once

#include "DecoderHost.h"
#include "Mixer.h"
#include "SoundSystem.h"

#include <Lumora/SoundStreamDecoder.h>

#include <atomic>
#include <string>
#include <vector>

namespace Lumora::Internal {

// Appends an event when the output is headless; nothing otherwise.
void RecordSoundEvent(SoundEvent::Kind kind, const std::string& name, std::int32_t loop, float volume);

// Why a decoder's format cannot be played, or empty when it can: integer PCM, 1 to 8
// channels, 1000 to 384000 frames per second, 8 or 16 bits.
std::string DescribeUnusableFormat(const SoundFormat& format);

// The file's name for messages and events ("" when it has none).
std::string NameOfFile(IFile* file);

// A decoded sound effect: one voice over its own copy of the PCM data.
class SoundEffect final : public ISound {
public:
    SoundEffect(std::string name, const PcmLayout& layout, std::vector<std::uint8_t> samples);

    std::int32_t AddRef() override;
    std::int32_t Release() override;
    void Play(std::int32_t channel, std::int32_t loop) override;
    void Stop(std::int32_t channel) override;
    void SetVolume(std::int32_t channel, float percent) override;

private:
    ~SoundEffect() override;

    std::atomic<std::int32_t> references_{1};
    std::string name_;
    std::vector<std::uint8_t> samples_;
    Voice voice_;
};

// Streamed music: a decoder, a ring of decoded bytes that the feeder keeps topped up, and a
// voice that the mixer drains from the ring.
class StreamSound final : public IStreamSound {
public:
    // Takes a reference on `file`; `decoder` has read its header already, through `source`.
    StreamSound(IFile* file, std::unique_ptr<FileStreamSource> source, DecoderPointer decoder,
        const PcmLayout& layout, std::int64_t dataSize);

    std::int32_t AddRef() override;
    std::int32_t Release() override;
    void Play(std::int32_t loops) override;
    void Stop() override;
    void SetVolume(float percent) override;

    // Decodes into the ring as much as fits. Called by the feeder only, with the stream list
    // locked (so the stream cannot be destroyed meanwhile); never under the mixer lock.
    void Feed();

private:
    ~StreamSound() override;

    std::atomic<std::int32_t> references_{1};
    IFile* file_;
    std::string name_;
    std::unique_ptr<FileStreamSource> source_;
    DecoderPointer decoder_;
    std::int64_t dataSize_; // bytes of PCM in one pass through the stream
    std::vector<std::uint8_t> scratch_; // the feeder's decode buffer

    // Guarded by the mixer lock.
    StreamRing ring_;
    Voice voice_;
    std::uint64_t generation_ = 0; // changes on every Play and Stop, voiding feeds in flight
    bool needsRewind_ = false;     // the next feed seeks the decoder to the start first
    std::int64_t bytesToFeed_ = 0; // still to decode for the loops asked; -1 for ever
};

// The feeder's list of streams, and a nudge to run it soon.
void RegisterStream(StreamSound* stream);
void UnregisterStream(StreamSound* stream);
void WakeFeeder();

} // namespace Lumora::Internal
