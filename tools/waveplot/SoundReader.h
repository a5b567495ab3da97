// SoundReader.h: reads the game's sound files back for checking and plotting.
//
// Independent of the generator's writers on purpose: the WAVE reader walks the RIFF chunks as
// any player would (chunks in any order, unknown chunks skipped, odd sizes padded), and Ogg
// Vorbis goes through libvorbisfile, the decoder the engine plays music with.
//
// Samples come back as floats -1..1, interleaved by channel. Errors throw
// std::runtime_error with a message that names the file and what is wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace WavePlot {

struct DecodedSound {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;    // 16 for WAVE here; 0 for Vorbis (decoded to float)
    int formatTag = 0;        // WAVE format tag (1 = PCM); 0 for Vorbis
    std::vector<float> samples; // interleaved

    std::size_t Frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
    float At(std::size_t frame, int channel) const { return samples[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)]; }
};

// Parses WAVE bytes: RIFF/WAVE magic, a "fmt " chunk of PCM 8 or 16 bits, then "data".
DecodedSound ParseWave(const std::vector<std::uint8_t>& bytes, const std::string& name);
DecodedSound ReadWave(const std::string& path);

// Decodes a whole Ogg Vorbis file with libvorbisfile. `declaredFrames` receives the stream's
// own length (ov_pcm_total), which a seamless loop needs to match the decoded length.
DecodedSound ReadVorbis(const std::string& path, std::int64_t* declaredFrames = nullptr);

// Reads either kind, chosen by the file's extension (".wav" or ".ogg").
DecodedSound ReadSound(const std::string& path);

} // namespace WavePlot
