#include "AudioFiles.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace SoundGen {

std::int16_t ToPcm16(float sample)
{
    const double scaled = std::round(static_cast<double>(sample) * 32767.0);
    if (scaled >= 32767.0) {
        return 32767;
    }
    if (scaled <= -32768.0) {
        return -32768;
    }
    return static_cast<std::int16_t>(scaled);
}

namespace {

void Put16(std::vector<std::uint8_t>& bytes, std::uint32_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& bytes, std::uint32_t value)
{
    Put16(bytes, value & 0xFFFF);
    Put16(bytes, value >> 16);
}

void PutTag(std::vector<std::uint8_t>& bytes, const char* tag)
{
    bytes.insert(bytes.end(), tag, tag + 4);
}

// Writes the file through a temporary beside it, renamed into place once it is complete.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path) : path_(path), temporary_(path + ".tmp")
    {
        stream_.open(temporary_, std::ios::binary | std::ios::trunc);
        if (!stream_) {
            throw std::runtime_error(path + ": cannot be created");
        }
    }
    ~AtomicFile()
    {
        if (!committed_) {
            stream_.close();
            std::error_code ignored;
            std::filesystem::remove(temporary_, ignored);
        }
    }
    void Write(const void* data, std::size_t size) { stream_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size)); }
    void Commit()
    {
        stream_.close();
        if (!stream_) {
            throw std::runtime_error(path_ + ": write failed");
        }
        std::error_code error;
        std::filesystem::rename(temporary_, path_, error);
        if (error) {
            throw std::runtime_error(path_ + ": cannot be renamed into place: " + error.message());
        }
        committed_ = true;
    }

private:
    std::string path_;
    std::string temporary_;
    std::ofstream stream_;
    bool committed_ = false;
};

} // namespace

std::vector<std::uint8_t> EncodeWave(const StereoBuffer& buffer, int channels, int sampleRate)
{
    if (channels != 1 && channels != 2) {
        throw std::invalid_argument("a WAVE file here has 1 or 2 channels");
    }
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * 2;
    const std::uint64_t dataSize = static_cast<std::uint64_t>(buffer.Frames()) * blockAlign;
    if (dataSize > 0xFFFFFFFFull - 36) {
        throw std::length_error("sound too long for a WAVE file");
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(44 + dataSize);
    PutTag(bytes, "RIFF");
    Put32(bytes, static_cast<std::uint32_t>(36 + dataSize));
    PutTag(bytes, "WAVE");
    PutTag(bytes, "fmt ");
    Put32(bytes, 16);
    Put16(bytes, 1); // PCM
    Put16(bytes, static_cast<std::uint32_t>(channels));
    Put32(bytes, static_cast<std::uint32_t>(sampleRate));
    Put32(bytes, static_cast<std::uint32_t>(sampleRate) * blockAlign);
    Put16(bytes, blockAlign);
    Put16(bytes, 16);
    PutTag(bytes, "data");
    Put32(bytes, static_cast<std::uint32_t>(dataSize));
    for (std::size_t i = 0; i < buffer.Frames(); ++i) {
        Put16(bytes, static_cast<std::uint16_t>(ToPcm16(buffer.left[i])));
        if (channels == 2) {
            Put16(bytes, static_cast<std::uint16_t>(ToPcm16(buffer.right[i])));
        }
    }
    return bytes;
}

void WriteWave(const std::string& path, const StereoBuffer& buffer, int channels, int sampleRate)
{
    const std::vector<std::uint8_t> bytes = EncodeWave(buffer, channels, sampleRate);
    AtomicFile file(path);
    file.Write(bytes.data(), bytes.size());
    file.Commit();
}

void WriteVorbis(const std::string& path, const StereoBuffer& buffer, int sampleRate, float quality,
                 std::uint32_t serialNumber)
{
    AtomicFile file(path);
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 2, sampleRate, quality) != 0) {
        vorbis_info_clear(&info);
        throw std::runtime_error(path + ": the Vorbis encoder refused " + std::to_string(sampleRate) + " Hz at quality " +
                                 std::to_string(quality));
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "ENCODER", "tomarugi-soundgen");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, static_cast<int>(serialNumber));

    ogg_page page;
    auto writePage = [&file, &page]() {
        file.Write(page.header, static_cast<std::size_t>(page.header_len));
        file.Write(page.body, static_cast<std::size_t>(page.body_len));
    };
    {
        ogg_packet identification, commentPacket, codebooks;
        vorbis_analysis_headerout(&dsp, &comment, &identification, &commentPacket, &codebooks);
        ogg_stream_packetin(&stream, &identification);
        ogg_stream_packetin(&stream, &commentPacket);
        ogg_stream_packetin(&stream, &codebooks);
        // The headers end on a page of their own, so audio starts on a fresh page.
        while (ogg_stream_flush(&stream, &page) != 0) {
            writePage();
        }
    }
    const std::size_t chunk = 4096;
    std::size_t written = 0;
    bool finished = false;
    while (!finished) {
        const std::size_t count = std::min(chunk, buffer.Frames() - written);
        if (count == 0) {
            vorbis_analysis_wrote(&dsp, 0); // end of stream
        } else {
            float** channels = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            std::copy(buffer.left.begin() + static_cast<std::ptrdiff_t>(written),
                      buffer.left.begin() + static_cast<std::ptrdiff_t>(written + count), channels[0]);
            std::copy(buffer.right.begin() + static_cast<std::ptrdiff_t>(written),
                      buffer.right.begin() + static_cast<std::ptrdiff_t>(written + count), channels[1]);
            vorbis_analysis_wrote(&dsp, static_cast<int>(count));
            written += count;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    writePage();
                    if (ogg_page_eos(&page) != 0) {
                        finished = true;
                    }
                }
            }
        }
        if (count == 0 && !finished) {
            while (ogg_stream_flush(&stream, &page) != 0) {
                writePage();
            }
            finished = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    file.Commit();
}

} // namespace SoundGen
