// SoundSeam.h: measures how well a looping sound joins its end to its start.
#pragma once

#include "SoundReader.h"
#include "Synth.h"

#include <string>

namespace SoundChecks {

struct SeamReport {
    bool smooth = true;
    std::string detail; // per channel: the step and bend across the loop point against the sound's own
};

// A click is a step (or a sudden change of slope) larger than the sound makes anywhere else.
// The loop point is smooth when, in every channel, the first difference across it is no
// larger than a quarter above the 99.5th percentile of the sound's own first differences,
// the second difference likewise, and the level over 100 ms either side differs by less than a
// factor of 2.5 (a fade or a cut-off tail differs by far more; a drum on the downbeat does not).
SeamReport MeasureSeam(const WavePlot::DecodedSound& sound);

// A rendered buffer as a decoded stereo sound, for the same checks as the files.
WavePlot::DecodedSound FromBuffer(const SoundGen::StereoBuffer& buffer, int sampleRate);

// Largest absolute sample over all channels, and root-mean-square level.
float PeakOf(const WavePlot::DecodedSound& sound);
double RmsOf(const WavePlot::DecodedSound& sound);

} // namespace SoundChecks
