// Sound test material shared by the sound tests and benchmarks: an in-memory IFile, builders
// of test sound files (TestPcm.lmp files, Ogg Vorbis encoded with libvorbisenc) and signal
// measurements.
#pragma once

#include <Lumora/IFile.h>
#include <Lumora/SoundStreamDecoder.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace SoundTest {

// An IFile over bytes in memory, reference-counted like the engine's own files.
class MemoryFile final : public Lumora::IFile {
public:
    static MemoryFile* Create(std::string name, std::vector<std::uint8_t> bytes);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;
    std::int32_t Read(void* buffer, std::int32_t size) override;
    std::int32_t GetSize() override { return static_cast<std::int32_t>(bytes_.size()); }
    std::int32_t GetPosition() override { return position_; }
    std::int32_t Seek(std::int32_t position) override;
    const char* GetName() override { return name_.c_str(); }

    std::int32_t References() const { return references_; }

private:
    MemoryFile(std::string name, std::vector<std::uint8_t> bytes);
    ~MemoryFile() override = default;

    std::atomic<std::int32_t> references_{1};
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    std::int32_t position_ = 0;
};

// A PCM format record for `channels` of `bits` at `rate`.
Lumora::SoundFormat PcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);

// The bytes of a TestPcm.lmp file; `declaredSize` < 0 declares the real sample size.
std::vector<std::uint8_t> TestPcmBytes(const Lumora::SoundFormat& format, const std::vector<std::uint8_t>& samples,
    std::int32_t declaredSize = -1);

// 16-bit little-endian samples of a sine at `frequency` Hz, `amplitude` of full scale,
// the same value on every channel.
std::vector<std::uint8_t> Sine16(double frequency, std::uint32_t rate, std::int32_t frames, std::uint16_t channels,
    double amplitude);

// 16-bit frames all holding the same values, one per channel.
std::vector<std::uint8_t> Constant16(std::int32_t frames, const std::vector<std::int16_t>& perChannel);

// An Ogg Vorbis file of a sine, encoded with libvorbisenc.
std::vector<std::uint8_t> EncodeOggSine(double frequency, std::uint32_t rate, std::int32_t frames, int channels);

// Sign changes from negative to non-negative or back, on one channel of interleaved stereo.
int CountZeroCrossings(const std::vector<float>& stereo, int channel);

// Root mean square of one channel of interleaved stereo.
float ChannelRms(const std::vector<float>& stereo, int channel);

} // namespace SoundTest
