// MusicRender.h: plays a score into one seamless loop of stereo samples.
//
// The loop is rendered as one period of the music repeating for ever: a note that rings past
// the loop's end sounds again from its start, and the echo and reverb run over the loop as if
// it had already played once, so their tails at the start are the ones the end leaves behind.
// Joining the last sample to the first is then no different from any other pair of samples.
#pragma once

#include "Score.h"
#include "Synth.h"

#include <string>

namespace SoundGen {

// Renders `score` into exactly score.LoopFrames() frames at score.sampleRate, levelled so that
// the loudest few strikes are softly limited and no sample exceeds `peak` (linear, below 1). Throws ScoreError for an instrument the mixer cannot play.
StereoBuffer RenderLoop(const Score& score, const std::string& sourceName, float peak);

} // namespace SoundGen
