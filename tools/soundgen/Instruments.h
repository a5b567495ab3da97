// Instruments.h: the voices the music is played with.
//
// Each kind renders one note into its own stereo buffer, starting at the note's onset and
// lasting until the sound has died away (the release or ring-out included), at full scale
// before the instrument's gain and pan. Kinds and their settings (seconds, Hz, cents):
//   fm     two-operator FM: bells, glassy keys. ratio, index, indexdecay, attack, decay,
//          sustain, release, detune
//   pad    detuned band-limited saws through a low-pass. voices, detune, cutoff, attack,
//          decay, sustain, release, vibrato
//   pluck  plucked string (Karplus-Strong). brightness, decay, release
//   tone   soft sine/triangle. shape (0 sine .. 1 triangle), attack, decay, sustain, release,
//          vibrato
//   kick   low sine with a falling pitch. decay, punch
//   hat    high-passed noise tick or shaker. cutoff, attack, decay
//   snare  noise snap over a short tone. cutoff, decay
// Every kind also takes gain, pan (-1..1), reverb and delay (send amounts, 0..1), which the
// mixer applies.
#pragma once

#include "Score.h"
#include "Synth.h"

#include <string>
#include <vector>

namespace SoundGen {

// Settings every instrument accepts, handled by the mixer rather than the voice.
extern const std::vector<std::string> MixerParameters;

// Throws ScoreError when the kind is unknown or a setting is not one the kind takes.
void CheckInstrument(const ScoreInstrument& instrument, const std::string& sourceName);

// Renders one note of `instrument`: `frequency` in Hz, held for `gateSeconds`, at `velocity`
// 0..1. `random` supplies noise and phases (deterministic per call order).
StereoBuffer RenderVoice(const ScoreInstrument& instrument, double frequency, double gateSeconds,
                         double velocity, double sampleRate, Random& random);

} // namespace SoundGen
