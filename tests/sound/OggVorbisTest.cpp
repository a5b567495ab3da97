// OggVorbis.lmp on Ogg Vorbis files encoded here, at test time: the decoder on its own, and
// effects and music made from it through the engine.
#include "DecoderHost.h"
#include "SoundTestSupport.h"

#include <cmath>
#include <cstring>

using Lumora::Internal::CreateDecoder;
using Lumora::Internal::DecoderPointer;
using Lumora::Internal::FileStreamSource;

namespace SoundTest {
namespace {

class OggVorbis : public HeadlessSound {
protected:
    void SetUp() override
    {
        HeadlessSound::SetUp();
        Lumora::Internal::SetPluginDirectory(SOUND_GAME_DIR);
    }

    // A decoder over `bytes` that has read its header (or not: see `headerRead`).
    void Open(const std::vector<std::uint8_t>& bytes)
    {
        file_ = MemoryFile::Create("music.ogg", bytes);
        source_ = std::make_unique<FileStreamSource>(file_);
        decoder_ = CreateDecoder("OggVorbis", "music.ogg");
        ASSERT_NE(decoder_, nullptr);
        decoder_->SetSource(source_.get());
        headerRead_ = decoder_->ReadHeader();
    }

    void TearDown() override
    {
        decoder_.reset();
        source_.reset();
        Lumora::SafeRelease(file_);
        HeadlessSound::TearDown();
    }

    std::vector<std::uint8_t> ReadBytes(std::int32_t count)
    {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
        EXPECT_EQ(decoder_->Read(bytes.data(), count), count);
        return bytes;
    }

    MemoryFile* file_ = nullptr;
    std::unique_ptr<FileStreamSource> source_;
    DecoderPointer decoder_;
    bool headerRead_ = false;
};

TEST_F(OggVorbis, TheFormatIsSixteenBitPcmWithTheStreamsChannelsAndRate)
{
    Open(EncodeOggSine(440.0, 44100, 22050, 2));
    ASSERT_TRUE(headerRead_);
    const Lumora::SoundFormat* format = decoder_->GetFormat();
    EXPECT_EQ(format->formatTag, 1);
    EXPECT_EQ(format->channels, 2);
    EXPECT_EQ(format->samplesPerSecond, 44100u);
    EXPECT_EQ(format->bitsPerSample, 16);
    EXPECT_EQ(format->blockAlign, 4);
    EXPECT_EQ(format->averageBytesPerSecond, 44100u * 4);
    EXPECT_EQ(decoder_->GetDataSize(), 22050 * 4) << "every encoded frame, in PCM bytes";
}

TEST_F(OggVorbis, ReadGoesOnFromTheStartAndSeekIsInPcmBytes)
{
    Open(EncodeOggSine(300.0, 22050, 5000, 1));
    ASSERT_TRUE(headerRead_);
    std::int32_t size = decoder_->GetDataSize();
    ASSERT_EQ(size, 10000);
    std::vector<std::uint8_t> whole = ReadBytes(size);
    // Reading on past the end: 2000 more bytes come from the start again, with no gap.
    std::vector<std::uint8_t> past = ReadBytes(2000);
    EXPECT_TRUE(std::equal(past.begin(), past.end(), whole.begin()));
    // One read that crosses the end returns the whole count.
    ASSERT_TRUE(decoder_->Seek(size - 600));
    std::vector<std::uint8_t> across = ReadBytes(1000);
    EXPECT_TRUE(std::equal(across.begin(), across.begin() + 600, whole.end() - 600));
    EXPECT_TRUE(std::equal(across.begin() + 600, across.end(), whole.begin()));
    ASSERT_TRUE(decoder_->Seek(4000));
    std::vector<std::uint8_t> middle = ReadBytes(100);
    EXPECT_TRUE(std::equal(middle.begin(), middle.end(), whole.begin() + 4000));
}

TEST_F(OggVorbis, DataThatIsNotOggVorbisIsRefused)
{
    std::vector<std::uint8_t> good = EncodeOggSine(440.0, 44100, 4410, 1);
    std::vector<std::vector<std::uint8_t>> bad = {
        {},
        {'O', 'g', 'g', 'S'},
        std::vector<std::uint8_t>(4096, 0x5A),
        std::vector<std::uint8_t>(good.begin(), good.begin() + 40), // cut inside the headers
    };
    for (const auto& bytes : bad) {
        Open(bytes);
        EXPECT_FALSE(headerRead_) << bytes.size() << " bytes";
        std::uint8_t buffer[16];
        EXPECT_EQ(decoder_->Read(buffer, 16), 0) << "no samples without a header";
        EXPECT_EQ(decoder_->GetDataSize(), 0);
        decoder_.reset();
        source_.reset();
        Lumora::SafeRelease(file_);
    }
}

TEST_F(OggVorbis, AnEffectDecodesWholeThroughTheEngineAndKeepsItsPitch)
{
    MemoryFile* file = MemoryFile::Create("defrost.ogg", EncodeOggSine(500.0, 24000, 24000, 1));
    Lumora::ISound* sound = Lumora::Internal::CreateSound(file);
    file->Release();
    ASSERT_NE(sound, nullptr);
    sound->Play(0, 0);
    std::vector<float> mix = Mix(48000);
    EXPECT_NEAR(CountZeroCrossings(mix, 0), 1000, 6);
    EXPECT_NEAR(ChannelRms(mix, 0), 0.5f / std::sqrt(2.0f), 0.03f);
    Mix(4800);
    EXPECT_EQ(Lumora::Internal::GetLastMixLevels().peak, 0.0f) << "played once, it ends";
    sound->Release();
}

TEST_F(OggVorbis, MusicStreamsAndLoops)
{
    // Half a second of 440 Hz at 44100 Hz, looped for two seconds: 4 × 440 × 2 crossings.
    MemoryFile* file = MemoryFile::Create("bgm_hanagumo.ogg", EncodeOggSine(440.0, 44100, 22050, 2));
    Lumora::IStreamSound* music = Lumora::Internal::CreateStreamSound(file, "OggVorbis");
    file->Release();
    ASSERT_NE(music, nullptr);
    music->Play(-1);
    std::vector<float> mix = Mix(96000);
    EXPECT_NEAR(CountZeroCrossings(mix, 0), 1760, 8);
    EXPECT_NEAR(CountZeroCrossings(mix, 1), 1760, 8);
    Mix(480);
    EXPECT_GT(Lumora::Internal::GetLastMixLevels().peak, 0.3f) << "still playing after four passes";
    music->Release();
}

} // namespace
} // namespace SoundTest
