// Effects.h: the game's four sound effects, synthesised from the kit in Synth.h.
//
//   decision   a bright two-note chime that confirms a choice (about 0.5 s)
//   cancel     a soft, lower blip falling in pitch, for backing out (about 0.25 s)
//   defrost    icy crackle over a melting, falling shimmer (about 0.85 s)
//   frog_drag  ice scraping under a sliding frog; a loop whose end joins its start exactly
//              (it is rendered as one period of a periodic signal), played repeated while a
//              frog slides
//
// All are stereo at `sampleRate` Hz, peaks below full scale, and fade to silence at their end
// except the loop, which never ends. The same rate always gives the same samples.
#pragma once

#include "Synth.h"

#include <string>
#include <vector>

namespace SoundGen {

struct SoundEffect {
    std::string fileName; // e.g. "decision.wav"
    bool loops = false;   // true when the game plays it repeated
    StereoBuffer samples;
};

StereoBuffer MakeDecision(double sampleRate);
StereoBuffer MakeCancel(double sampleRate);
StereoBuffer MakeDefrost(double sampleRate);
StereoBuffer MakeFrogDrag(double sampleRate);

// All four, in the order above.
std::vector<SoundEffect> MakeAllEffects(double sampleRate);

} // namespace SoundGen
