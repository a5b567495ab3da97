// The sound files the build generated, checked as the engine and a listener will meet them.
#include "Score.h"
#include "SoundReader.h"
#include "SoundSeam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>
#include <string>

namespace {

const std::string SoundDir = TOMARUGI_SOUND_DIR;
const std::string ScoreDir = TOMARUGI_SCORE_DIR;

struct EffectCase {
    const char* file;
    double shortest; // seconds
    double longest;
    bool loops;
};

void PrintTo(const EffectCase& effect, std::ostream* out)
{
    *out << effect.file;
}

class SoundEffectFile : public ::testing::TestWithParam<EffectCase> {
protected:
    WavePlot::DecodedSound Load() const { return WavePlot::ReadWave(SoundDir + "/se/" + GetParam().file); }
};

TEST_P(SoundEffectFile, IsSixteenBitPcmTheEngineCanPlay)
{
    const WavePlot::DecodedSound sound = Load();
    EXPECT_EQ(sound.formatTag, 1);
    EXPECT_EQ(sound.bitsPerSample, 16);
    EXPECT_TRUE(sound.channels == 1 || sound.channels == 2) << sound.channels;
    EXPECT_TRUE(sound.sampleRate == 44100 || sound.sampleRate == 48000) << sound.sampleRate;
}

TEST_P(SoundEffectFile, EndsWithItsSampleData)
{
    // The engine's WAVE decoder loops where the stream ends, playing any bytes after the
    // "data" chunk as samples; the data must therefore be the file's last chunk.
    std::ifstream stream(SoundDir + "/se/" + GetParam().file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t data = text.find("data", 12);
    ASSERT_NE(data, std::string::npos);
    ASSERT_LE(data + 8, bytes.size());
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i) {
        size = size << 8 | static_cast<unsigned char>(bytes[data + 4 + static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(data + 8 + size, bytes.size());
}

TEST_P(SoundEffectFile, LastsAsLongAsItsPurpose)
{
    const WavePlot::DecodedSound sound = Load();
    const double seconds = static_cast<double>(sound.Frames()) / sound.sampleRate;
    EXPECT_GE(seconds, GetParam().shortest);
    EXPECT_LE(seconds, GetParam().longest);
}

TEST_P(SoundEffectFile, IsAudibleAndNeverClips)
{
    const WavePlot::DecodedSound sound = Load();
    const float peak = SoundChecks::PeakOf(sound);
    EXPECT_GT(peak, 0.2f);
    // Full scale is where 16-bit samples clip; a mixer adding these to the music needs room.
    EXPECT_LT(peak, 0.95f);
    EXPECT_GT(SoundChecks::RmsOf(sound), 0.02);
}

TEST_P(SoundEffectFile, OneShotsEndInSilenceAndLoopsJoinSmoothly)
{
    const WavePlot::DecodedSound sound = Load();
    if (GetParam().loops) {
        const SoundChecks::SeamReport seam = SoundChecks::MeasureSeam(sound);
        EXPECT_TRUE(seam.smooth) << seam.detail;
        return;
    }
    // The last 5 ms are all but silent, so the sound stops without a click.
    const std::size_t tail = static_cast<std::size_t>(sound.sampleRate * 0.005);
    float loudest = 0.0f;
    for (std::size_t i = sound.Frames() - tail; i < sound.Frames(); ++i) {
        for (int c = 0; c < sound.channels; ++c) {
            loudest = std::max(loudest, std::fabs(sound.At(i, c)));
        }
    }
    EXPECT_LT(loudest, 0.01f);
    // And it starts at once: the first 30 ms already carry sound (a confirm must feel instant).
    double energy = 0.0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(sound.sampleRate * 0.03); ++i) {
        energy += std::fabs(sound.At(i, 0));
    }
    EXPECT_GT(energy, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Effects, SoundEffectFile,
                         ::testing::Values(EffectCase{"decision.wav", 0.15, 0.8, false},
                                           EffectCase{"cancel.wav", 0.08, 0.5, false},
                                           EffectCase{"defrost.wav", 0.6, 1.0, false},
                                           EffectCase{"frog_drag.wav", 0.5, 3.0, true}),
                         [](const ::testing::TestParamInfo<EffectCase>& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

// Decoding a track takes about half a second, so each track is decoded once and all its
// checks run on that one decode.
class MusicFile : public ::testing::TestWithParam<const char*> {};

TEST_P(MusicFile, DecodesToOneSeamlessAudibleLoopOfItsScore)
{
    std::int64_t declared = -1;
    const WavePlot::DecodedSound sound = WavePlot::ReadVorbis(SoundDir + "/bgm/" + GetParam() + ".ogg", &declared);
    const SoundGen::Score score = SoundGen::LoadScore(ScoreDir + "/" + GetParam() + ".score");
    {
        SCOPED_TRACE("length");
        EXPECT_EQ(sound.channels, 2);
        EXPECT_EQ(sound.sampleRate, score.sampleRate);
        // No encoder padding or lost samples: the stream's own length, what it decodes to and
        // the score's loop agree to the frame, so looping playback has no gap.
        EXPECT_EQ(static_cast<std::size_t>(declared), sound.Frames());
        EXPECT_EQ(sound.Frames(), score.LoopFrames());
        const double seconds = static_cast<double>(sound.Frames()) / sound.sampleRate;
        EXPECT_GE(seconds, 60.0);
        EXPECT_LE(seconds, 120.0);
    }
    {
        SCOPED_TRACE("level");
        EXPECT_GT(SoundChecks::RmsOf(sound), 0.05);
        EXPECT_LT(SoundChecks::PeakOf(sound), 0.999f);
        // No dead stretch: every second of the loop has sound in it.
        const std::size_t second = static_cast<std::size_t>(sound.sampleRate);
        for (std::size_t start = 0; start + second <= sound.Frames(); start += second) {
            float loudest = 0.0f;
            for (std::size_t i = start; i < start + second; ++i) {
                loudest = std::max(loudest, std::fabs(sound.At(i, 0)));
            }
            ASSERT_GT(loudest, 0.02f) << "silent second at " << start / second << " s";
        }
    }
    {
        SCOPED_TRACE("loop point");
        const SoundChecks::SeamReport seam = SoundChecks::MeasureSeam(sound);
        EXPECT_TRUE(seam.smooth) << seam.detail;
    }
}

INSTANTIATE_TEST_SUITE_P(Music, MusicFile, ::testing::Values("bgm_yukimichi", "bgm_hanagumo"));

} // namespace
