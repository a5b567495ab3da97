// How the decoder delivers samples: full buffers, an endless loop over the data chunk,
// seeking within it, and stopping when there is nothing to play.
#include "WaveTestSupport.h"

namespace WaveTest {
namespace {

Bytes Repeated(const Bytes& samples, std::size_t from, std::size_t count)
{
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(samples[(from + i) % samples.size()]);
    }
    return out;
}

Bytes MonoFile(const Bytes& samples)
{
    return Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8)), Chunk("data", samples)});
}

TEST(WaveRead, JoinsTheEndOfTheDataToItsStart)
{
    const Bytes samples = Samples(2000);
    OpenedWave wave(MonoFile(samples));
    ASSERT_TRUE(wave.headerFound);
    ASSERT_TRUE(wave.decoder->Seek(1400));

    const Bytes got = wave.Read(1000);
    ASSERT_EQ(got.size(), 1000u);
    EXPECT_EQ(Slice(got, 0, 600), Slice(samples, 1400, 600));
    EXPECT_EQ(Slice(got, 600, 400), Slice(samples, 0, 400));
    EXPECT_EQ(wave.Read(10), Slice(samples, 400, 10)) << "the next read goes on from there";
}

TEST(WaveRead, BuffersLargerThanTheDataRepeatIt)
{
    const Bytes samples = Samples(37);
    OpenedWave wave(MonoFile(samples));
    ASSERT_TRUE(wave.headerFound);
    EXPECT_EQ(wave.Read(37 * 3 + 20), Repeated(samples, 0, 37 * 3 + 20));
    EXPECT_EQ(wave.Read(5), Repeated(samples, 20, 5));
}

TEST(WaveRead, WhatFollowsTheDataChunkIsNeverPlayed)
{
    // An odd data chunk with its pad byte, then a trailing LIST chunk: the loop closes at the
    // last sample byte, not at the end of the file.
    const Bytes samples = Samples(21);
    OpenedWave wave(Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8)), Chunk("data", samples),
                          Chunk("LIST", Bytes(64, 0xEE))}));
    ASSERT_TRUE(wave.headerFound);
    EXPECT_EQ(wave.Read(21 * 4), Repeated(samples, 0, 21 * 4));
}

TEST(WaveRead, SeekMovesWithinTheDataOnly)
{
    const Bytes samples = Samples(100);
    OpenedWave wave(MonoFile(samples));
    ASSERT_TRUE(wave.headerFound);
    wave.Read(55);

    EXPECT_TRUE(wave.decoder->Seek(0));
    EXPECT_EQ(wave.Read(10), Slice(samples, 0, 10)) << "Seek(0) starts again at the first sample byte";
    EXPECT_TRUE(wave.decoder->Seek(73));
    EXPECT_EQ(wave.Read(4), Slice(samples, 73, 4));

    // Out-of-range positions are clamped to the data; the header is never played.
    EXPECT_TRUE(wave.decoder->Seek(-30));
    EXPECT_EQ(wave.source.GetPosition(), 44);
    EXPECT_EQ(wave.Read(3), Slice(samples, 0, 3));
    EXPECT_TRUE(wave.decoder->Seek(100000));
    EXPECT_EQ(wave.Read(3), Slice(samples, 0, 3)) << "past the end is the end, which loops";
    EXPECT_TRUE(wave.decoder->Seek(INT32_MAX));
    EXPECT_EQ(wave.Read(3), Slice(samples, 0, 3));
}

TEST(WaveRead, CountsOfZeroOrLessReadNothing)
{
    OpenedWave wave(MonoFile(Samples(16)));
    ASSERT_TRUE(wave.headerFound);
    Bytes untouched(8, 0x77);
    for (const std::int32_t count : {0, -1, INT32_MIN}) {
        EXPECT_EQ(wave.decoder->Read(untouched.data(), count), 0) << count;
    }
    EXPECT_EQ(untouched, Bytes(8, 0x77));
    EXPECT_EQ(wave.decoder->Read(nullptr, 8), 0);
    EXPECT_EQ(wave.Read(4), Slice(Samples(16), 0, 4)) << "nothing was consumed";
}

TEST(WaveRead, NothingToPlayEndsTheReadInsteadOfSpinning)
{
    // Empty data chunk.
    OpenedWave empty(MonoFile({}));
    ASSERT_TRUE(empty.headerFound);
    EXPECT_EQ(empty.decoder->GetDataSize(), 0);
    EXPECT_EQ(empty.Read(4096).size(), 0u);

    // A source that stops delivering altogether, even right after seeking back.
    OpenedWave dead(MonoFile(Samples(50)));
    ASSERT_TRUE(dead.headerFound);
    dead.source.FailReads();
    EXPECT_EQ(dead.Read(100).size(), 0u);

    // A source that fails part-way: the bytes it did deliver are returned, and counted.
    const Bytes samples = Samples(50);
    OpenedWave dying(MonoFile(samples));
    ASSERT_TRUE(dying.headerFound);
    ASSERT_EQ(dying.Read(30), Slice(samples, 0, 30));
    dying.source.FailReads();
    EXPECT_EQ(dying.Read(100).size(), 0u);

    // Before any header was read there is no data either.
    MemoryStreamSource raw(Samples(64));
    DecoderPtr fresh = CreateDecoder();
    fresh->SetSource(&raw);
    Bytes buffer(32);
    EXPECT_EQ(fresh->Read(buffer.data(), 32), 0);
    EXPECT_EQ(fresh->GetDataSize(), 0);
}

TEST(WaveRead, TruncatedDataLoopsOverWhatIsThere)
{
    // The data chunk claims 1000 bytes but the file was cut after 300.
    const Bytes samples = Samples(300);
    Bytes file = Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8)), ChunkHeader("data", 1000)});
    file.insert(file.end(), samples.begin(), samples.end());
    OpenedWave wave(file);
    ASSERT_TRUE(wave.headerFound);
    EXPECT_EQ(wave.decoder->GetDataSize(), 300);
    EXPECT_EQ(wave.Read(1000), Repeated(samples, 0, 1000));
}

} // namespace
} // namespace WaveTest
