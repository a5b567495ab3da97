// The file writers and the reader the checks rely on: bytes a player can read, nothing
// partial left behind, and a Vorbis stream exactly as long as what went in.
#include "AudioFiles.h"
#include "Effects.h"
#include "SoundReader.h"
#include "SoundSeam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class SoundScratch : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("tomarugi-sound-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

SoundGen::StereoBuffer Sine(std::size_t frames, double frequency, double rate, float gain)
{
    SoundGen::StereoBuffer buffer(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        buffer.left[i] = static_cast<float>(gain * std::sin(2.0 * SoundGen::Pi * frequency * static_cast<double>(i) / rate));
        buffer.right[i] = -buffer.left[i];
    }
    return buffer;
}

TEST(SoundWave, SamplesRoundTripThroughTheFile)
{
    const SoundGen::StereoBuffer buffer = Sine(1001, 440.0, 48000.0, 0.5f);
    const std::vector<std::uint8_t> bytes = SoundGen::EncodeWave(buffer, 2, 48000);
    ASSERT_EQ(bytes.size(), 44u + 1001u * 4u);
    const WavePlot::DecodedSound sound = WavePlot::ParseWave(bytes, "sine");
    EXPECT_EQ(sound.channels, 2);
    EXPECT_EQ(sound.sampleRate, 48000);
    ASSERT_EQ(sound.Frames(), 1001u);
    for (std::size_t i = 0; i < sound.Frames(); i += 97) {
        EXPECT_NEAR(sound.At(i, 0), buffer.left[i], 1.0 / 32000.0);
        EXPECT_NEAR(sound.At(i, 1), buffer.right[i], 1.0 / 32000.0);
    }
    // Mono keeps the left channel only.
    const WavePlot::DecodedSound mono = WavePlot::ParseWave(SoundGen::EncodeWave(buffer, 1, 48000), "mono");
    EXPECT_EQ(mono.channels, 1);
    EXPECT_NEAR(mono.At(500, 0), buffer.left[500], 1.0 / 32000.0);
}

TEST(SoundWave, OverloadedSamplesClampInsteadOfWrapping)
{
    EXPECT_EQ(SoundGen::ToPcm16(1.5f), 32767);
    EXPECT_EQ(SoundGen::ToPcm16(-1.5f), -32768);
    EXPECT_EQ(SoundGen::ToPcm16(1.0f), 32767);
    EXPECT_EQ(SoundGen::ToPcm16(0.0f), 0);
    EXPECT_EQ(SoundGen::ToPcm16(-0.5f), -16384);
}

TEST_F(SoundScratch, AFailedWriteLeavesNoFile)
{
    const fs::path missing = folder_ / "no-such-folder" / "x.wav";
    try {
        SoundGen::WriteWave(missing.string(), Sine(10, 440.0, 44100.0, 0.5f), 2, 44100);
        FAIL() << "writing into a missing folder succeeded";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("x.wav"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_FALSE(fs::exists(missing.string() + ".tmp"));
}

TEST_F(SoundScratch, VorbisDecodesToExactlyTheFramesWritten)
{
    // An odd length that is no multiple of any encoder block size.
    const std::size_t frames = 44100 + 1237;
    const SoundGen::StereoBuffer buffer = Sine(frames, 441.0, 44100.0, 0.5f);
    const fs::path path = folder_ / "tone.ogg";
    SoundGen::WriteVorbis(path.string(), buffer, 44100, 0.4f, 1234u);
    std::int64_t declared = 0;
    const WavePlot::DecodedSound sound = WavePlot::ReadVorbis(path.string(), &declared);
    EXPECT_EQ(sound.channels, 2);
    EXPECT_EQ(declared, static_cast<std::int64_t>(frames));
    ASSERT_EQ(sound.Frames(), frames);
    // The tone comes back in place, not shifted by encoder delay: compare in the middle.
    double error = 0.0;
    for (std::size_t i = 20000; i < 30000; ++i) {
        error = std::max(error, static_cast<double>(std::fabs(sound.At(i, 0) - buffer.left[i])));
    }
    EXPECT_LT(error, 0.05);
    EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
}

TEST(SoundReaderChecks, RefusesWhatIsNotPlainPcm)
{
    std::vector<std::uint8_t> bytes = SoundGen::EncodeWave(Sine(8, 440.0, 44100.0, 0.5f), 2, 44100);
    std::vector<std::uint8_t> floating = bytes;
    floating[20] = 3; // format tag: IEEE float
    EXPECT_THROW(WavePlot::ParseWave(floating, "float"), std::runtime_error);
    std::vector<std::uint8_t> truncated(bytes.begin(), bytes.end() - 4);
    EXPECT_THROW(WavePlot::ParseWave(truncated, "truncated"), std::runtime_error);
    std::vector<std::uint8_t> notRiff = bytes;
    notRiff[0] = 'X';
    EXPECT_THROW(WavePlot::ParseWave(notRiff, "magic"), std::runtime_error);
}

TEST(SoundReaderChecks, SkipsUnknownChunksWithTheirPadByte)
{
    std::vector<std::uint8_t> bytes = SoundGen::EncodeWave(Sine(8, 440.0, 44100.0, 0.5f), 2, 44100);
    // Insert a 3-byte "LIST" chunk (plus its pad byte) between "fmt " and "data".
    const std::vector<std::uint8_t> list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    bytes.insert(bytes.begin() + 36, list.begin(), list.end());
    const std::uint32_t riffSize = static_cast<std::uint32_t>(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) {
        bytes[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    }
    const WavePlot::DecodedSound sound = WavePlot::ParseWave(bytes, "list");
    EXPECT_EQ(sound.Frames(), 8u);
}

TEST(SoundSeamCheck, CatchesACutThatDoesNotJoin)
{
    // A slow sine cut off mid-cycle jumps at the loop point; the same sine over whole cycles
    // does not. The check must tell them apart.
    WavePlot::DecodedSound whole;
    whole.channels = 1;
    whole.sampleRate = 44100;
    for (int i = 0; i < 44100; ++i) {
        whole.samples.push_back(static_cast<float>(0.5 * std::sin(2.0 * SoundGen::Pi * 10.0 * i / 44100.0)));
    }
    EXPECT_TRUE(SoundChecks::MeasureSeam(whole).smooth) << SoundChecks::MeasureSeam(whole).detail;
    WavePlot::DecodedSound cut = whole;
    cut.samples.resize(44100 - 1000);
    EXPECT_FALSE(SoundChecks::MeasureSeam(cut).smooth);
}

TEST(SoundEffectsSynthesis, TheSameRateAlwaysGivesTheSameSounds)
{
    // Builds must be reproducible: the packed data changes only when a sound's code does.
    const auto first = SoundGen::MakeAllEffects(44100.0);
    const auto second = SoundGen::MakeAllEffects(44100.0);
    ASSERT_EQ(first.size(), 4u);
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].samples.left, second[i].samples.left) << first[i].fileName;
    }
}

TEST(SoundEffectsSynthesis, TheDragLoopStaysSeamlessAt48kHz)
{
    const SoundChecks::SeamReport seam = SoundChecks::MeasureSeam(SoundChecks::FromBuffer(SoundGen::MakeFrogDrag(48000.0), 48000));
    EXPECT_TRUE(seam.smooth) << seam.detail;
}

} // namespace
