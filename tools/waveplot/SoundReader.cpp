#include "SoundReader.h"

#include <vorbis/vorbisfile.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace WavePlot {

namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t Read16(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool TagIs(const std::vector<std::uint8_t>& bytes, std::size_t at, const char* tag)
{
    return bytes.size() >= at + 4 && std::equal(tag, tag + 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

[[noreturn]] void Fail(const std::string& name, const std::string& message)
{
    throw std::runtime_error(name + ": " + message);
}

} // namespace

DecodedSound ParseWave(const std::vector<std::uint8_t>& bytes, const std::string& name)
{
    if (!TagIs(bytes, 0, "RIFF") || !TagIs(bytes, 8, "WAVE")) {
        Fail(name, "not a RIFF WAVE file");
    }
    if (Read32(bytes, 4) != bytes.size() - 8) {
        Fail(name, "RIFF size " + std::to_string(Read32(bytes, 4)) + " does not match the file's " +
                       std::to_string(bytes.size() - 8) + " bytes after the header");
    }
    DecodedSound sound;
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t size = Read32(bytes, at + 4);
        const std::size_t body = at + 8;
        if (size > bytes.size() - body) {
            Fail(name, "a chunk runs past the end of the file");
        }
        if (TagIs(bytes, at, "fmt ")) {
            if (size < 16) {
                Fail(name, "\"fmt \" chunk shorter than 16 bytes");
            }
            sound.formatTag = Read16(bytes, body);
            sound.channels = Read16(bytes, body + 2);
            sound.sampleRate = static_cast<int>(Read32(bytes, body + 4));
            const std::uint32_t bytesPerSecond = Read32(bytes, body + 8);
            const int blockAlign = Read16(bytes, body + 12);
            sound.bitsPerSample = Read16(bytes, body + 14);
            if (sound.formatTag != 1) {
                Fail(name, "format tag " + std::to_string(sound.formatTag) + " is not PCM");
            }
            if (sound.channels < 1 || (sound.bitsPerSample != 8 && sound.bitsPerSample != 16)) {
                Fail(name, "unsupported channel count or sample size");
            }
            if (blockAlign != sound.channels * sound.bitsPerSample / 8 ||
                bytesPerSecond != static_cast<std::uint32_t>(sound.sampleRate) * static_cast<std::uint32_t>(blockAlign)) {
                Fail(name, "block alignment or byte rate disagrees with the format");
            }
            haveFormat = true;
        } else if (TagIs(bytes, at, "data")) {
            if (!haveFormat) {
                Fail(name, "\"data\" comes before \"fmt \"");
            }
            const std::size_t width = static_cast<std::size_t>(sound.bitsPerSample / 8);
            if (size % (width * static_cast<std::size_t>(sound.channels)) != 0) {
                Fail(name, "data size is not a whole number of frames");
            }
            sound.samples.reserve(size / width);
            for (std::size_t i = 0; i < size; i += width) {
                if (width == 2) {
                    sound.samples.push_back(static_cast<float>(static_cast<std::int16_t>(Read16(bytes, body + i))) / 32768.0f);
                } else {
                    sound.samples.push_back((static_cast<float>(bytes[body + i]) - 128.0f) / 128.0f);
                }
            }
            return sound;
        }
        at = body + size + (size & 1); // chunks are padded to an even size
    }
    Fail(name, "no \"data\" chunk");
}

DecodedSound ReadWave(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        Fail(path, "cannot be opened");
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    return ParseWave(bytes, path);
}

DecodedSound ReadVorbis(const std::string& path, std::int64_t* declaredFrames)
{
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) {
        Fail(path, "not an Ogg Vorbis file, or cannot be opened");
    }
    const vorbis_info* info = ov_info(&file, -1);
    DecodedSound sound;
    sound.channels = info->channels;
    sound.sampleRate = static_cast<int>(info->rate);
    const ogg_int64_t total = ov_pcm_total(&file, -1);
    if (declaredFrames != nullptr) {
        *declaredFrames = total;
    }
    if (total > 0) {
        sound.samples.reserve(static_cast<std::size_t>(total) * static_cast<std::size_t>(sound.channels));
    }
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        const long frames = ov_read_float(&file, &pcm, 4096, &section);
        if (frames == 0) {
            break;
        }
        if (frames < 0) {
            ov_clear(&file);
            Fail(path, "damaged Vorbis data");
        }
        for (long i = 0; i < frames; ++i) {
            for (int c = 0; c < sound.channels; ++c) {
                sound.samples.push_back(pcm[c][i]);
            }
        }
    }
    ov_clear(&file);
    return sound;
}

DecodedSound ReadSound(const std::string& path)
{
    const auto endsWith = [&path](const char* suffix) {
        const std::string tail(suffix);
        return path.size() >= tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0;
    };
    if (endsWith(".wav")) {
        return ReadWave(path);
    }
    if (endsWith(".ogg")) {
        return ReadVorbis(path);
    }
    Fail(path, "neither .wav nor .ogg");
}

} // namespace WavePlot
