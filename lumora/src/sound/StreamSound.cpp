#include "SoundInternal.h"

#include <algorithm>
#include <utility>

namespace Lumora::Internal {

namespace {

// The ring holds half a second of the stream's own samples: the feeder tops it up every few
// milliseconds, so the device never waits on a decoder.
std::size_t RingBytesFor(const PcmLayout& layout)
{
    auto frameBytes = static_cast<std::size_t>(layout.FrameBytes());
    std::size_t frames = std::max<std::size_t>(layout.rate / 2, 4096);
    return frames * frameBytes;
}

} // namespace

StreamSound::StreamSound(IFile* file, std::unique_ptr<FileStreamSource> source, DecoderPointer decoder,
    const PcmLayout& layout, std::int64_t dataSize)
    : file_(file), name_(NameOfFile(file)), source_(std::move(source)), decoder_(std::move(decoder)),
      dataSize_(dataSize)
{
    file_->AddRef();
    ring_.Reserve(RingBytesFor(layout));
    scratch_.resize(RingBytesFor(layout));
    voice_.layout = layout;
    voice_.ring = &ring_;
    TheMixer().Add(&voice_);
    RegisterStream(this);
}

StreamSound::~StreamSound()
{
    // First out of the feeder's list (waits for a feed in progress), then out of the mixer.
    UnregisterStream(this);
    TheMixer().Remove(&voice_);
    decoder_.reset();
    file_->Release();
}

std::int32_t StreamSound::AddRef()
{
    return references_.fetch_add(1) + 1;
}

std::int32_t StreamSound::Release()
{
    std::int32_t left = references_.fetch_sub(1) - 1;
    if (left == 0) {
        delete this;
    }
    return left;
}

// `loops` below 0 repeats for ever; 0 and 1 play once; n plays n times back to back.
void StreamSound::Play(std::int32_t loops)
{
    {
        std::lock_guard lock(TheMixer().Mutex());
        ring_.Clear();
        ++generation_;
        needsRewind_ = true;
        bytesToFeed_ = loops < 0 ? -1 : static_cast<std::int64_t>(std::max(loops, 1)) * dataSize_;
        voice_.feedFinished = false;
        voice_.loop = false;
        Mixer::RestartLocked(voice_);
    }
    RecordSoundEvent(SoundEvent::Kind::Play, name_, loops, 0.0f);
    WakeFeeder();
}

void StreamSound::Stop()
{
    {
        std::lock_guard lock(TheMixer().Mutex());
        // The ring keeps what it holds for the fade-out; the next Play clears it.
        Mixer::StopLocked(voice_);
        ++generation_;
    }
    RecordSoundEvent(SoundEvent::Kind::Stop, name_, 0, 0.0f);
}

void StreamSound::SetVolume(float percent)
{
    float gain = GainFromPercent(percent);
    {
        std::lock_guard lock(TheMixer().Mutex());
        voice_.gain = gain;
    }
    RecordSoundEvent(SoundEvent::Kind::Volume, name_, 0, percent);
}

void StreamSound::Feed()
{
    std::uint64_t generation;
    bool rewind;
    std::size_t want;
    {
        std::lock_guard lock(TheMixer().Mutex());
        if (!voice_.playing || voice_.stopping || voice_.feedFinished) {
            return;
        }
        generation = generation_;
        rewind = needsRewind_;
        needsRewind_ = false;
        want = std::min(ring_.Free(), scratch_.size());
        if (bytesToFeed_ >= 0) {
            want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(want), bytesToFeed_));
            if (bytesToFeed_ == 0) {
                voice_.feedFinished = true;
                return;
            }
        }
    }
    // The decoder runs outside the mixer lock; a Play or Stop meanwhile changes the
    // generation, and this feed is then thrown away.
    if (rewind) {
        decoder_->Seek(0);
    }
    if (want == 0) {
        return;
    }
    std::int32_t got = decoder_->Read(scratch_.data(), static_cast<std::int32_t>(want));
    got = std::clamp(got, 0, static_cast<std::int32_t>(want));

    std::lock_guard lock(TheMixer().Mutex());
    if (generation != generation_) {
        return;
    }
    if (got == 0) {
        voice_.feedFinished = true; // the decoder gave out: play what is left, then stop
        return;
    }
    ring_.Push(scratch_.data(), static_cast<std::size_t>(got));
    if (bytesToFeed_ >= 0) {
        bytesToFeed_ -= got;
        if (bytesToFeed_ <= 0) {
            voice_.feedFinished = true;
        }
    }
}

} // namespace Lumora::Internal
