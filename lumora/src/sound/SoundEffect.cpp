#include "SoundInternal.h"

#include <utility>

namespace Lumora::Internal {

SoundEffect::SoundEffect(std::string name, const PcmLayout& layout, std::vector<std::uint8_t> samples)
    : name_(std::move(name)), samples_(std::move(samples))
{
    voice_.layout = layout;
    voice_.samples = samples_.data();
    voice_.frameCount = samples_.size() / static_cast<std::size_t>(layout.FrameBytes());
    TheMixer().Add(&voice_);
}

SoundEffect::~SoundEffect()
{
    // Under the mixer lock: after this the callback can no longer reach the voice.
    TheMixer().Remove(&voice_);
}

std::int32_t SoundEffect::AddRef()
{
    return references_.fetch_add(1) + 1;
}

std::int32_t SoundEffect::Release()
{
    std::int32_t left = references_.fetch_sub(1) - 1;
    if (left == 0) {
        delete this;
    }
    return left;
}

// There is one voice per effect; `channel` is accepted whatever it is and means that voice.
void SoundEffect::Play(std::int32_t, std::int32_t loop)
{
    {
        std::lock_guard lock(TheMixer().Mutex());
        voice_.loop = loop != 0;
        Mixer::RestartLocked(voice_);
    }
    RecordSoundEvent(SoundEvent::Kind::Play, name_, loop, 0.0f);
}

void SoundEffect::Stop(std::int32_t)
{
    {
        std::lock_guard lock(TheMixer().Mutex());
        Mixer::StopLocked(voice_);
    }
    RecordSoundEvent(SoundEvent::Kind::Stop, name_, 0, 0.0f);
}

void SoundEffect::SetVolume(std::int32_t, float percent)
{
    float gain = GainFromPercent(percent);
    {
        std::lock_guard lock(TheMixer().Mutex());
        voice_.gain = gain;
    }
    RecordSoundEvent(SoundEvent::Kind::Volume, name_, 0, percent);
}

} // namespace Lumora::Internal
