// The decoder against WAVE files that another program wrote: sox makes each file at test
// time, and sox's own raw output of the same file says which bytes are the samples.
// sox is a test dependency (scripts/setup-debian); without it these tests fail.
#include "WaveTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace WaveTest {
namespace {

namespace fs = std::filesystem;

class WaveSox : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "wave-sox-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory = pattern;
    }
    void TearDown() override { fs::remove_all(directory); }

    fs::path PathOf(const std::string& name) const { return directory / name; }

    // Runs sox quietly with `arguments`; the test fails when it does not succeed.
    void Sox(const std::string& arguments) const
    {
        const std::string command = "sox -V1 " + arguments;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // The sample bytes sox itself reads out of `wav`.
    Bytes RawSamplesOf(const std::string& wav)
    {
        Sox("'" + PathOf(wav).string() + "' -t raw '" + PathOf(wav + ".raw").string() + "'");
        return Load(wav + ".raw");
    }

    Bytes Load(const std::string& name) const
    {
        std::ifstream in(PathOf(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    void Store(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream out(PathOf(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    fs::path directory;
};

struct SoxCase {
    int bits;
    int channels;
    int rate;
};

TEST_F(WaveSox, DeliversExactlyTheSampleBytesOfEachPcmLayout)
{
    for (const SoxCase& c : {SoxCase{8, 1, 8000}, SoxCase{8, 2, 11025}, SoxCase{8, 1, 48000}, SoxCase{16, 1, 8000},
                             SoxCase{16, 2, 22050}, SoxCase{16, 1, 32000}, SoxCase{16, 2, 44100},
                             SoxCase{16, 2, 48000}}) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.channels) + " channels, " +
                     std::to_string(c.rate) + " Hz");
        const std::string name = "tone" + std::to_string(c.bits) + "_" + std::to_string(c.channels) + "_" +
                                 std::to_string(c.rate) + ".wav";
        Sox("-n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) + " -b " +
            std::to_string(c.bits) + " '" + PathOf(name).string() + "' synth 0.05 sine 440 sine 660 vol 0.5");
        const Bytes raw = RawSamplesOf(name);
        ASSERT_FALSE(raw.empty());

        OpenedWave wave(Load(name));
        ASSERT_TRUE(wave.headerFound);
        const Lumora::SoundFormat& format = *wave.decoder->GetFormat();
        EXPECT_EQ(format.formatTag, 1);
        EXPECT_EQ(format.channels, c.channels);
        EXPECT_EQ(format.samplesPerSecond, static_cast<std::uint32_t>(c.rate));
        EXPECT_EQ(format.bitsPerSample, c.bits);
        EXPECT_EQ(format.blockAlign, c.channels * c.bits / 8);
        EXPECT_EQ(wave.decoder->GetDataSize(), static_cast<std::int32_t>(raw.size()));

        const auto size = static_cast<std::int32_t>(raw.size());
        const Bytes twice = wave.Read(size * 2);
        ASSERT_EQ(twice.size(), raw.size() * 2);
        EXPECT_TRUE(Slice(twice, 0, raw.size()) == raw);
        EXPECT_TRUE(Slice(twice, raw.size(), raw.size()) == raw) << "the second pass repeats the first";
    }
}

TEST_F(WaveSox, OddSampleCountLoopsWithoutThePadByte)
{
    // 81 one-byte frames: sox pads the data chunk to an even size with a zero byte, which is
    // not a sample and must not be heard at the loop point.
    Sox("-r 8000 -n -r 8000 -c 1 -b 8 '" + PathOf("odd.wav").string() + "' synth 81s sine 440 vol 0.5");
    const Bytes raw = RawSamplesOf("odd.wav");
    ASSERT_EQ(raw.size(), 81u);
    const Bytes file = Load("odd.wav");
    ASSERT_EQ(file.size() % 2, 0u) << "sox is expected to pad the chunk";

    OpenedWave wave(file);
    ASSERT_TRUE(wave.headerFound);
    EXPECT_EQ(wave.decoder->GetDataSize(), 81);
    Bytes expected = raw;
    expected.insert(expected.end(), raw.begin(), raw.end());
    expected.insert(expected.end(), raw.begin(), raw.begin() + 10);
    EXPECT_TRUE(wave.Read(81 * 2 + 10) == expected);
}

TEST_F(WaveSox, OddListChunkBeforeTheDataIsPassedOver)
{
    Sox("-n -r 22050 -c 2 -b 16 '" + PathOf("plain.wav").string() + "' synth 0.02 sine 300 sine 500 vol 0.5");
    const Bytes plain = Load("plain.wav");
    ASSERT_GE(plain.size(), 44u);
    ASSERT_EQ(std::string(plain.begin() + 36, plain.begin() + 40), "data") << "sox's canonical layout";

    // A LIST/INFO chunk of 13 bytes (a one-letter comment), inserted between "fmt " and
    // "data" once with its pad byte and once without, with the RIFF size fixed up.
    Bytes info;
    AppendTag(info, "INFO");
    AppendTag(info, "ICMT");
    Append32(info, 1);
    info.push_back('x');
    for (const bool pad : {true, false}) {
        SCOPED_TRACE(pad ? "padded" : "unpadded");
        const Bytes list = Chunk("LIST", info, pad);
        Bytes file = Slice(plain, 0, 36);
        file.insert(file.end(), list.begin(), list.end());
        file.insert(file.end(), plain.begin() + 36, plain.end());
        Bytes riffSize;
        Append32(riffSize, static_cast<std::uint32_t>(file.size() - 8));
        std::copy(riffSize.begin(), riffSize.end(), file.begin() + 4);
        Store("commented.wav", file);

        // sox reads only the well-formed file; both must yield its samples.
        static Bytes raw;
        if (pad) {
            raw = RawSamplesOf("commented.wav");
            ASSERT_EQ(raw, Slice(plain, 44, plain.size() - 44)) << "sox sees the same samples";
        }
        OpenedWave wave(file);
        ASSERT_TRUE(wave.headerFound);
        EXPECT_EQ(wave.decoder->GetFormat()->channels, 2);
        EXPECT_EQ(wave.decoder->GetDataSize(), static_cast<std::int32_t>(raw.size()));
        EXPECT_TRUE(wave.Read(static_cast<std::int32_t>(raw.size())) == raw);
    }
}

TEST_F(WaveSox, FloatingPointFileIsRefused)
{
    Sox("-n -r 44100 -c 1 -e floating-point -b 32 '" + PathOf("float.wav").string() + "' synth 0.01 sine 440");
    OpenedWave wave(Load("float.wav"));
    EXPECT_FALSE(wave.headerFound);
}

} // namespace
} // namespace WaveTest
