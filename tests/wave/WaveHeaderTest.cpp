// How the decoder finds the sample data: magic words, chunk walking, the format record, and
// files whose sizes or order cannot be trusted.
#include "WaveTestSupport.h"

namespace WaveTest {
namespace {

Bytes AllZeroRecord()
{
    return Bytes(sizeof(Lumora::SoundFormat), 0);
}

Bytes RecordOf(Lumora::ISoundStreamDecoder& decoder)
{
    const auto* record = reinterpret_cast<const std::uint8_t*>(decoder.GetFormat());
    return Bytes(record, record + sizeof(Lumora::SoundFormat));
}

TEST(WaveHeader, FindsFormatAndDataOfACanonicalFile)
{
    const Bytes samples = Samples(40);
    OpenedWave wave(Riff({Chunk("fmt ", FormatBody(1, 2, 22050, 16)), Chunk("data", samples)}));

    ASSERT_TRUE(wave.headerFound);
    const Lumora::SoundFormat& format = *wave.decoder->GetFormat();
    EXPECT_EQ(format.formatTag, 1);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.samplesPerSecond, 22050u);
    EXPECT_EQ(format.averageBytesPerSecond, 88200u);
    EXPECT_EQ(format.blockAlign, 4);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(wave.decoder->GetDataSize(), 40);
    EXPECT_EQ(wave.source.GetPosition(), 44) << "the source stands at the first sample byte";
}

TEST(WaveHeader, MagicWordsAndIdentifiersIgnoreLetterCase)
{
    OpenedWave lower(Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8)), Chunk("data", Samples(8))}, "riff", "wave"));
    EXPECT_TRUE(lower.headerFound);

    OpenedWave mixed(Riff({Chunk("FmT ", FormatBody(1, 1, 8000, 8)), Chunk("DaTa", Samples(8))}, "RiFf", "wAvE"));
    ASSERT_TRUE(mixed.headerFound);
    EXPECT_EQ(mixed.decoder->GetFormat()->samplesPerSecond, 8000u);
    EXPECT_EQ(mixed.decoder->GetDataSize(), 8);
}

TEST(WaveHeader, RefusesOtherContainersAndForms)
{
    const Bytes fmt = Chunk("fmt ", FormatBody(1, 1, 8000, 8));
    const Bytes data = Chunk("data", Samples(8));
    for (const auto& [riff, wave] : {std::pair{"RIFX", "WAVE"}, std::pair{"RF64", "WAVE"}, std::pair{"RIFF", "AVI "},
                                     std::pair{"RIF\0", "WAVE"}, std::pair{"RIFF", "WAV\0"}}) {
        OpenedWave opened(Riff({fmt, data}, riff, wave));
        EXPECT_FALSE(opened.headerFound) << riff << "/" << wave;
    }
}

TEST(WaveHeader, AcceptsOnlyIntegerPcm)
{
    for (const std::uint16_t tag : {3, 0, 2, 0xFFFE}) {
        OpenedWave refused(Riff({Chunk("fmt ", FormatBody(tag, 1, 44100, 32)), Chunk("data", Samples(8))}));
        EXPECT_FALSE(refused.headerFound) << "format tag " << tag;
        EXPECT_EQ(RecordOf(*refused.decoder), AllZeroRecord());
    }
    // Any channel count and sample size passes, as long as it is PCM.
    OpenedWave odd(Riff({Chunk("fmt ", FormatBody(1, 6, 96000, 24)), Chunk("data", Samples(18))}));
    EXPECT_TRUE(odd.headerFound);
}

TEST(WaveHeader, PassesOverOtherChunksByTheirSize)
{
    // The unknown chunk's body spells "data" to catch a decoder that scans for it.
    Bytes decoy;
    AppendTag(decoy, "data");
    Append32(decoy, 2);
    decoy.resize(30, 0xAB);
    const Bytes samples = Samples(12);
    OpenedWave wave(Riff({Chunk("LIST", decoy), Chunk("fmt ", FormatBody(1, 1, 11025, 8)), Chunk("junk", decoy),
                          Chunk("fact", Samples(4)), Chunk("data", samples)}));

    ASSERT_TRUE(wave.headerFound);
    EXPECT_EQ(wave.decoder->GetDataSize(), 12);
    EXPECT_EQ(wave.Read(12), samples);
}

TEST(WaveHeader, OddChunksAreReadWithOrWithoutTheirPadByte)
{
    const Bytes samples = Samples(10);
    for (const bool pad : {true, false}) {
        OpenedWave wave(Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8)), Chunk("LIST", Samples(13, 9), pad),
                              Chunk("data", samples)}));
        ASSERT_TRUE(wave.headerFound) << "pad " << pad;
        EXPECT_EQ(wave.decoder->GetDataSize(), 10);
        EXPECT_EQ(wave.Read(10), samples) << "pad " << pad;
    }
}

TEST(WaveHeader, FormatRecordBeyondAShortChunkIsZero)
{
    // A 16-byte chunk has no extra-size field: the bytes after it ("da" of "data") must not
    // leak into the record.
    OpenedWave common(Riff({Chunk("fmt ", FormatBody(1, 2, 48000, 16)), Chunk("data", Samples(8))}));
    ASSERT_TRUE(common.headerFound);
    EXPECT_EQ(common.decoder->GetFormat()->extraSize, 0);

    // The old 14-byte record lacks the sample size as well.
    Bytes old = FormatBody(1, 1, 8000, 8);
    old.resize(14);
    OpenedWave oldStyle(Riff({Chunk("fmt ", old), Chunk("data", Samples(8))}));
    ASSERT_TRUE(oldStyle.headerFound);
    EXPECT_EQ(oldStyle.decoder->GetFormat()->bitsPerSample, 0);
    EXPECT_EQ(oldStyle.decoder->GetFormat()->extraSize, 0);
    EXPECT_EQ(oldStyle.decoder->GetFormat()->samplesPerSecond, 8000u);

    // An extensible-style 40-byte chunk keeps only its first 18 bytes and is passed over whole.
    Bytes extended = FormatBody(1, 2, 44100, 16);
    Append16(extended, 22);
    extended.resize(40, 0x5A);
    OpenedWave longer(Riff({Chunk("fmt ", extended), Chunk("data", Samples(8))}));
    ASSERT_TRUE(longer.headerFound);
    EXPECT_EQ(longer.decoder->GetFormat()->extraSize, 22);
    EXPECT_EQ(longer.decoder->GetDataSize(), 8);
}

TEST(WaveHeader, FormatChunkTooShortForItsTagIsRefused)
{
    for (const std::size_t size : {0u, 1u}) {
        Bytes tiny = FormatBody(1, 1, 8000, 8);
        tiny.resize(size);
        OpenedWave wave(Riff({Chunk("fmt ", tiny), Chunk("data", Samples(8))}));
        EXPECT_FALSE(wave.headerFound) << "fmt chunk of " << size << " bytes";
    }
}

TEST(WaveHeader, DataBeforeFormatIsFoundWithAnEmptyFormat)
{
    OpenedWave wave(Riff({Chunk("data", Samples(8)), Chunk("fmt ", FormatBody(1, 1, 8000, 8))}));
    EXPECT_TRUE(wave.headerFound);
    EXPECT_EQ(RecordOf(*wave.decoder), AllZeroRecord());
    EXPECT_EQ(wave.decoder->GetDataSize(), 8);
}

TEST(WaveHeader, StreamsThatEndEarlyAreRefused)
{
    const Bytes complete = Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8)), Chunk("data", Samples(8))});
    // Every cut before the "data" chunk's size is complete must be refused.
    for (std::size_t cut = 0; cut < 44; ++cut) {
        OpenedWave wave(Slice(complete, 0, cut));
        EXPECT_FALSE(wave.headerFound) << "cut at " << cut;
        EXPECT_EQ(wave.decoder->GetDataSize(), 0);
    }
    OpenedWave noData(Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8)), Chunk("LIST", Samples(6))}));
    EXPECT_FALSE(noData.headerFound);
}

TEST(WaveHeader, SizesLargerThanTheStreamAreBoundedByIt)
{
    const Bytes fmt = Chunk("fmt ", FormatBody(1, 1, 8000, 8));
    // A data chunk that claims 4 GiB (or -1 as a signed size) holds what the stream holds.
    Bytes claimsAll = Riff({fmt});
    const Bytes hugeData = ChunkHeader("data", 0xFFFFFFFFu);
    claimsAll.insert(claimsAll.end(), hugeData.begin(), hugeData.end());
    const Bytes samples = Samples(20);
    claimsAll.insert(claimsAll.end(), samples.begin(), samples.end());
    OpenedWave wave(claimsAll);
    ASSERT_TRUE(wave.headerFound);
    EXPECT_EQ(wave.decoder->GetDataSize(), 20);
    EXPECT_EQ(wave.Read(25), [&] {
        Bytes expected = samples;
        expected.insert(expected.end(), samples.begin(), samples.begin() + 5);
        return expected;
    }());

    // Format and other chunks claiming more than is left end the walk without a result.
    for (const std::uint32_t size : {0xFFFFFFF0u, 0x80000000u, 0x7FFFFFFFu, 1000u}) {
        Bytes hugeFormat = Riff({ChunkHeader("fmt ", size), FormatBody(1, 1, 8000, 8), Chunk("data", Samples(8))});
        EXPECT_FALSE(OpenedWave(hugeFormat).headerFound) << "fmt size " << size;
        Bytes hugeOther = Riff({fmt, ChunkHeader("LIST", size), Chunk("data", Samples(8))});
        EXPECT_FALSE(OpenedWave(hugeOther).headerFound) << "LIST size " << size;
    }
}

TEST(WaveHeader, ReadingTheHeaderAgainStartsOver)
{
    const Bytes samples = Samples(30);
    OpenedWave wave(Riff({Chunk("fmt ", FormatBody(1, 2, 16000, 8)), Chunk("data", samples)}));
    ASSERT_TRUE(wave.headerFound);
    wave.Read(17);

    ASSERT_TRUE(wave.decoder->ReadHeader());
    EXPECT_EQ(wave.decoder->GetDataSize(), 30);
    EXPECT_EQ(wave.decoder->GetFormat()->samplesPerSecond, 16000u);
    EXPECT_EQ(wave.Read(30), samples) << "reading resumes at the first sample byte";

    // A later walk over a stream without a format forgets the earlier one.
    MemoryStreamSource formatless(Riff({Chunk("data", Samples(4))}));
    wave.decoder->SetSource(&formatless);
    EXPECT_TRUE(wave.decoder->ReadHeader());
    EXPECT_EQ(RecordOf(*wave.decoder), AllZeroRecord());
    EXPECT_EQ(wave.decoder->GetDataSize(), 4);

    // And a refused walk leaves nothing to play.
    MemoryStreamSource broken(Bytes{'R', 'I', 'F', 'F'});
    wave.decoder->SetSource(&broken);
    EXPECT_FALSE(wave.decoder->ReadHeader());
    EXPECT_EQ(wave.decoder->GetDataSize(), 0);
    EXPECT_EQ(wave.Read(10).size(), 0u);
}

} // namespace
} // namespace WaveTest
