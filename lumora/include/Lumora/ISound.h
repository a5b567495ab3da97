// Lumora/ISound.h: sound effects and streamed music.
//
// ISound is a sound effect decoded whole into memory (ICore::CreateSound); IStreamSound is
// music decoded a little at a time while it plays (ICore::CreateStreamSound). The caller
// owns the reference; releasing a sound that plays stops it. Volumes are percentages, 0
// (silent) to 100 (as recorded), applied on a perceptual curve by the mixer: the amplitude is
// multiplied by (percent / 100)^2, so 70 percent is about -6 dB and 50 percent about -12 dB;
// values outside 0..100 are clamped. A volume holds until it is set again, across plays.
// Every operation may be called from any thread.
#pragma once

#include <Lumora/Base.h>

#include <cstdint>

namespace Lumora {

class ISound : public IInterface {
public:
    // Starts the sound from its beginning. `channel` is 0 (an effect has one voice, whatever
    // the value); `loop` non-zero repeats it without a gap until Stop. Playing a sound that
    // already plays restarts it.
    virtual void Play(std::int32_t channel, std::int32_t loop) = 0;
    // Stops it; harmless when it is not playing. `channel` is 0.
    virtual void Stop(std::int32_t channel) = 0;
    // Volume in percent, 0..100. `channel` is 0.
    virtual void SetVolume(std::int32_t channel, float percent) = 0;
};

class IStreamSound : public IInterface {
public:
    // Starts playing from the beginning, also when it already plays; `loops` of -1 (or any
    // negative value) repeats for ever without a gap at the join, n > 0 plays n times, 0 once.
    virtual void Play(std::int32_t loops) = 0;
    // Stops playing; harmless when it is not playing.
    virtual void Stop() = 0;
    // Volume in percent, 0..100.
    virtual void SetVolume(float percent) = 0;
};

} // namespace Lumora
