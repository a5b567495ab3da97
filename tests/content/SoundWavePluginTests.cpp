// The generated effects as the game hears them: through the built Wave.lmp decoder, loaded
// with dlopen as the engine loads it, looping where the sample data ends.
#include "SoundReader.h"

#include <Lumora/SoundStreamDecoder.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string SoundDir = TOMARUGI_SOUND_DIR;

// A file's bytes behind the engine's source-stream contract.
class FileBytesSource final : public Lumora::IStreamSource {
public:
    explicit FileBytesSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::int32_t GetSize() override { return static_cast<std::int32_t>(bytes_.size()); }
    std::int32_t Read(void* buffer, std::int32_t count) override
    {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, count)), bytes_.size() - position_);
        std::memcpy(buffer, bytes_.data() + position_, n);
        position_ += n;
        return static_cast<std::int32_t>(n);
    }
    std::int32_t GetPosition() override { return static_cast<std::int32_t>(position_); }
    void Seek(std::int32_t to) override { position_ = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(0, to)), 0, bytes_.size()); }
    bool IsEnd() override { return position_ == bytes_.size(); }
    void Skip(std::int32_t count) override { Seek(static_cast<std::int32_t>(position_) + count); }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

struct Release {
    void operator()(Lumora::ISoundStreamDecoder* decoder) const { decoder->Release(); }
};

std::unique_ptr<Lumora::ISoundStreamDecoder, Release> CreateDecoder()
{
    static void* library = dlopen(WAVE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        ADD_FAILURE() << "cannot load Wave.lmp: " << dlerror();
        return nullptr;
    }
    auto create = reinterpret_cast<CreateSoundStreamDecoderFunction>(dlsym(library, "CreateSoundStreamDecoder"));
    if (create == nullptr) {
        ADD_FAILURE() << "Wave.lmp has no CreateSoundStreamDecoder";
        return nullptr;
    }
    return std::unique_ptr<Lumora::ISoundStreamDecoder, Release>(create());
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

class SoundThroughWavePlugin : public ::testing::TestWithParam<const char*> {};

TEST_P(SoundThroughWavePlugin, DecodesTheSameSamplesAndLoopsToTheFirst)
{
    const std::string path = SoundDir + "/se/" + GetParam();
    const WavePlot::DecodedSound expected = WavePlot::ReadWave(path);
    FileBytesSource source(ReadBytes(path));
    auto decoder = CreateDecoder();
    ASSERT_NE(decoder, nullptr);
    decoder->SetSource(&source);
    ASSERT_TRUE(decoder->ReadHeader());
    const Lumora::SoundFormat* format = decoder->GetFormat();
    EXPECT_EQ(format->formatTag, 1);
    EXPECT_EQ(format->channels, expected.channels);
    EXPECT_EQ(format->samplesPerSecond, static_cast<std::uint32_t>(expected.sampleRate));
    EXPECT_EQ(format->bitsPerSample, 16);
    const std::int32_t dataSize = decoder->GetDataSize();
    ASSERT_EQ(static_cast<std::size_t>(dataSize), expected.samples.size() * 2);

    // One full pass and 64 frames more: the extra frames are the first ones again, exactly
    // what a looping play of the drag sound hears at the loop point.
    const std::size_t frameBytes = static_cast<std::size_t>(expected.channels) * 2;
    std::vector<std::int16_t> played((static_cast<std::size_t>(dataSize) + 64 * frameBytes) / 2);
    const auto wanted = static_cast<std::int32_t>(played.size() * 2);
    ASSERT_EQ(decoder->Read(played.data(), wanted), wanted);
    for (std::size_t i = 0; i < expected.samples.size(); i += 101) {
        ASSERT_EQ(played[i], static_cast<std::int16_t>(std::lround(expected.samples[i] * 32768.0f))) << "sample " << i;
    }
    for (std::size_t i = 0; i < 64 * static_cast<std::size_t>(expected.channels); ++i) {
        ASSERT_EQ(played[expected.samples.size() + i], played[i]) << "looped sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Effects, SoundThroughWavePlugin,
                         ::testing::Values("decision.wav", "cancel.wav", "defrost.wav", "frog_drag.wav"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             const std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
