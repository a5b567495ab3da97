#include "SoundFiles.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace SoundTest {

MemoryFile::MemoryFile(std::string name, std::vector<std::uint8_t> bytes)
    : name_(std::move(name)), bytes_(std::move(bytes))
{
}

MemoryFile* MemoryFile::Create(std::string name, std::vector<std::uint8_t> bytes)
{
    return new MemoryFile(std::move(name), std::move(bytes));
}

std::int32_t MemoryFile::Release()
{
    std::int32_t left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

std::int32_t MemoryFile::Read(void* buffer, std::int32_t size)
{
    if (size <= 0) {
        return 0;
    }
    std::int32_t count = std::min(size, GetSize() - position_);
    if (count <= 0) {
        return 0; // at the end, or no bytes at all (data() may be null)
    }
    std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(count));
    position_ += count;
    return count;
}

std::int32_t MemoryFile::Seek(std::int32_t position)
{
    position_ = std::clamp(position, 0, GetSize());
    return position_;
}

Lumora::SoundFormat PcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    Lumora::SoundFormat format{};
    format.formatTag = 1;
    format.channels = channels;
    format.samplesPerSecond = rate;
    format.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    format.averageBytesPerSecond = rate * format.blockAlign;
    format.bitsPerSample = bits;
    return format;
}

std::vector<std::uint8_t> TestPcmBytes(const Lumora::SoundFormat& format, const std::vector<std::uint8_t>& samples,
    std::int32_t declaredSize)
{
    // "TPCM", the format record, the 32-bit little-endian data size, the samples.
    std::vector<std::uint8_t> bytes(4 + sizeof(format) + 4 + samples.size());
    std::memcpy(bytes.data(), "TPCM", 4);
    std::memcpy(bytes.data() + 4, &format, sizeof(format));
    std::int32_t size = declaredSize >= 0 ? declaredSize : static_cast<std::int32_t>(samples.size());
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[4 + sizeof(format) + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(size) >> (8 * i));
    }
    if (!samples.empty()) {
        std::memcpy(bytes.data() + 4 + sizeof(format) + 4, samples.data(), samples.size());
    }
    return bytes;
}

namespace {

void Append16(std::vector<std::uint8_t>& bytes, std::int16_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(value) >> 8) & 0xFF));
}

} // namespace

std::vector<std::uint8_t> Sine16(double frequency, std::uint32_t rate, std::int32_t frames, std::uint16_t channels,
    double amplitude)
{
    std::vector<std::uint8_t> bytes;
    for (std::int32_t i = 0; i < frames; ++i) {
        double value = amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / rate);
        for (std::uint16_t c = 0; c < channels; ++c) {
            Append16(bytes, static_cast<std::int16_t>(std::lround(value * 32767.0)));
        }
    }
    return bytes;
}

std::vector<std::uint8_t> Constant16(std::int32_t frames, const std::vector<std::int16_t>& perChannel)
{
    std::vector<std::uint8_t> bytes;
    for (std::int32_t i = 0; i < frames; ++i) {
        for (std::int16_t value : perChannel) {
            Append16(bytes, value);
        }
    }
    return bytes;
}

std::vector<std::uint8_t> EncodeOggSine(double frequency, std::uint32_t rate, std::int32_t frames, int channels)
{
    std::vector<std::uint8_t> out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, static_cast<long>(rate), 0.4f) != 0) {
        vorbis_info_clear(&info);
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);
    auto writePage = [&out](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header;
    ogg_packet commentPacket;
    ogg_packet codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) {
        writePage(page);
    }
    constexpr std::int32_t kBlock = 1024;
    // Blocks of samples, then one empty write that marks the end and flushes the rest.
    for (std::int32_t done = 0;; done += kBlock) {
        std::int32_t count = std::max(0, std::min(kBlock, frames - done));
        if (count > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, count);
            for (std::int32_t i = 0; i < count; ++i) {
                auto value = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * frequency * (done + i) / rate));
                for (int c = 0; c < channels; ++c) {
                    buffer[c][i] = value;
                }
            }
        }
        vorbis_analysis_wrote(&dsp, count);
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    writePage(page);
                }
            }
        }
        if (count == 0) {
            break;
        }
    }
    while (ogg_stream_flush(&stream, &page) != 0) {
        writePage(page);
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

int CountZeroCrossings(const std::vector<float>& stereo, int channel)
{
    int crossings = 0;
    for (std::size_t i = 2 + static_cast<std::size_t>(channel); i < stereo.size(); i += 2) {
        if ((stereo[i - 2] < 0.0f) != (stereo[i] < 0.0f)) {
            ++crossings;
        }
    }
    return crossings;
}

float ChannelRms(const std::vector<float>& stereo, int channel)
{
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < stereo.size(); i += 2) {
        sum += static_cast<double>(stereo[i]) * stereo[i];
        ++count;
    }
    return count == 0 ? 0.0f : static_cast<float>(std::sqrt(sum / static_cast<double>(count)));
}

} // namespace SoundTest
