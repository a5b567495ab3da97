// SoundSystem.h: the engine's sound module as the core sees it.
//
// One process-wide mixer plays every ISound (an effect decoded whole into memory) and every
// IStreamSound (music decoded a little at a time) into the SDL audio device, or, in headless
// mode, into a scratch buffer that tests read back. Decoding is done by decoder plug-ins
// "<Name>.lmp" (see Lumora/SoundStreamDecoder.h), loaded from the plug-in directory.
//
// Lifetime: StartSound opens the device (or the headless sink), StopSound closes it. Sounds may
// be created before StartSound and may outlive StopSound; they are simply not heard then.
// Threads: every function here may be called from any thread (the core's loader thread creates
// sounds, the game thread plays them); the SDL audio callback only mixes, it never decodes,
// allocates or waits on a decoder.
//
// Failures: a sound that cannot be made is a null result and one line on stderr naming the
// file (missing plug-in or export, unreadable header, unusable format).
#pragma once

#include <Lumora/IFile.h>
#include <Lumora/ISound.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Lumora::Internal {

// Opens the sound output. `headless` opens no device: mixing runs only when MixHeadless asks
// and every Play, Stop and SetVolume is recorded as a SoundEvent. Otherwise SDL audio is
// opened (48 kHz stereo float32 asked for, whatever rate and channel count the device
// obtains is used); the audio subsystem is initialised here when the core has not done so.
// Calling it again closes the previous output first. False when no device could be opened.
bool StartSound(bool headless);

// Closes the device and the stream feeder. Sounds stay valid and silent.
void StopSound();

// Decodes a whole sound effect into memory through the decoder chosen by the data: "RIFF"
// (any letter case) through "Wave.lmp", "OggS" through "OggVorbis.lmp". The caller keeps its
// own reference to `file`; the file is only read during this call. Null when the sound
// cannot be made (one line on stderr says why).
ISound* CreateSound(IFile* file);

// As CreateSound, but through the named decoder plug-in "<decoderName>.lmp" whatever the
// data looks like.
ISound* CreateSoundWithDecoder(IFile* file, const char* decoderName);

// Music decoded while it plays through "<decoderName>.lmp". Takes its own reference on `file`
// (released with the sound). Null when it cannot be made (one line on stderr says why).
IStreamSound* CreateStreamSound(IFile* file, const char* decoderName);

// Where "<Name>.lmp" plug-ins are loaded from (UTF-8 path). Null or empty restores the
// default, the directory of the running program. Plug-ins already loaded stay loaded.
void SetPluginDirectory(const char* directory);

// The rate, in frames per second, that the mixer produces (the device's, 48000 headless).
std::int32_t GetMixRate();

// Frames the audio device has asked for and been given since StartSound opened it: shows
// that the device is really being fed (0 headless).
std::int64_t GetDeviceFramesMixed();

// A recorded call on a sound, headless mode only.
struct SoundEvent {
    enum class Kind { Play, Stop, Volume };
    Kind kind = Kind::Play;
    std::string name;        // the sound file's IFile::GetName
    std::int32_t loop = 0;   // Play: ISound's loop flag, or IStreamSound's loop count (-1 for ever)
    float volume = 0.0f;     // Volume: the percentage asked for, as given
};

// Headless: mixes `frames` stereo frames at GetMixRate() through the real mixer, feeding the
// streams first, exactly as the audio callback would. The result stays readable through
// GetLastMix until the next call. Does nothing when a device is open.
void MixHeadless(std::int32_t frames);

// Headless: the events recorded since the previous call, oldest first.
std::vector<SoundEvent> TakeSoundEvents();

// Headless: the last MixHeadless output, interleaved left/right floats in -1..1.
std::vector<float> GetLastMix();

// Headless: the loudest absolute sample and the root mean square of the last MixHeadless
// output, both channels together, in full-scale units (1.0 = full scale).
struct SoundLevels {
    float peak = 0.0f;
    float rms = 0.0f;
};
SoundLevels GetLastMixLevels();

// The mixer's gain for a volume in percent: (percent / 100)^2, so 0 is silence, 100 is the
// sound as recorded and 50 is about -12 dB. Values outside 0..100 are clamped.
float GainFromPercent(float percent);

} // namespace Lumora::Internal
