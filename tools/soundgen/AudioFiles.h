// AudioFiles.h: writing sounds to the two file formats the game loads.
//
// WAVE: RIFF, a 16-byte "fmt " chunk (PCM, 16 bits), then "data"; little-endian, channels
// interleaved. Ogg Vorbis: libvorbisenc in quality (VBR) mode, one logical stream with a fixed
// serial number so the same sound always gives the same bytes; the last page's granule
// position is the exact sample count, so a decoder delivers exactly the frames written.
//
// Both write to "<path>.tmp" and rename it over `path` when complete: a failed write leaves
// no partial file behind. Failures throw std::runtime_error naming the file.
#pragma once

#include "Synth.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SoundGen {

// Converts a float sample (-1..1) to 16-bit PCM, rounding and clamping at full scale.
std::int16_t ToPcm16(float sample);

// The bytes of a WAVE file holding `buffer` (both channels, or only the left one when
// `channels` is 1) at `sampleRate` Hz.
std::vector<std::uint8_t> EncodeWave(const StereoBuffer& buffer, int channels, int sampleRate);

void WriteWave(const std::string& path, const StereoBuffer& buffer, int channels, int sampleRate);

// Encodes `buffer` as stereo Ogg Vorbis at `quality` (-0.1 .. 1.0).
void WriteVorbis(const std::string& path, const StereoBuffer& buffer, int sampleRate, float quality,
                 std::uint32_t serialNumber);

} // namespace SoundGen
