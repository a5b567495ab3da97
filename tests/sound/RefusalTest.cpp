// Sounds that cannot be made: a null result and one line on stderr that names the file.
#include "SoundTestSupport.h"

#include <algorithm>

#include <gmock/gmock.h>

using ::testing::HasSubstr;

namespace SoundTest {
namespace {

using Refusal = HeadlessSound;

struct Attempt {
    bool effectMade;
    bool streamMade;
    std::string message;
};

// Tries the bytes as an effect and as a stream through `decoder`, capturing stderr.
Attempt TryBoth(const std::string& name, const std::vector<std::uint8_t>& bytes, const char* decoder)
{
    MemoryFile* file = MemoryFile::Create(name, bytes);
    ::testing::internal::CaptureStderr();
    Lumora::ISound* effect = Lumora::Internal::CreateSoundWithDecoder(file, decoder);
    Lumora::IStreamSound* stream = Lumora::Internal::CreateStreamSound(file, decoder);
    Attempt attempt{effect != nullptr, stream != nullptr, ::testing::internal::GetCapturedStderr()};
    Lumora::SafeRelease(effect);
    Lumora::SafeRelease(stream);
    EXPECT_EQ(file->References(), 1) << "a refused sound keeps no reference on its file";
    file->Release();
    return attempt;
}

TEST_F(Refusal, UnusableFormatsAreRefusedWithAMessage)
{
    struct Case {
        const char* what;
        Lumora::SoundFormat format;
        std::vector<std::uint8_t> samples;
        std::int32_t declaredSize;
    };
    Lumora::SoundFormat floatFormat = PcmFormat(1, 48000, 16);
    floatFormat.formatTag = 3;
    std::vector<Case> cases = {
        {"no channels", PcmFormat(0, 48000, 16), Constant16(10, {1}), -1},
        {"nine channels", PcmFormat(9, 48000, 16), Constant16(10, {1, 1, 1, 1, 1, 1, 1, 1, 1}), -1},
        {"no rate", PcmFormat(1, 0, 16), Constant16(10, {1}), -1},
        {"24 bits", PcmFormat(1, 48000, 24), std::vector<std::uint8_t>(30, 1), -1},
        {"4 bits", PcmFormat(1, 48000, 4), std::vector<std::uint8_t>(30, 1), -1},
        {"floating point", floatFormat, Constant16(10, {1}), -1},
        {"empty data", PcmFormat(1, 48000, 16), {}, 0},
        {"negative data size", PcmFormat(1, 48000, 16), Constant16(10, {1}), -20},
        {"less than one frame", PcmFormat(2, 48000, 16), {1, 2, 3}, -1},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = TestPcmBytes(c.format, c.samples, c.declaredSize);
        if (c.declaredSize < -1) {
            auto size = static_cast<std::uint32_t>(c.declaredSize);
            for (int i = 0; i < 4; ++i) {
                bytes[22 + i] = static_cast<std::uint8_t>(size >> (8 * i));
            }
        }
        Attempt attempt = TryBoth("bad.wav", bytes, "TestPcm");
        EXPECT_FALSE(attempt.effectMade) << c.what;
        EXPECT_FALSE(attempt.streamMade) << c.what;
        EXPECT_THAT(attempt.message, HasSubstr("\"bad.wav\"")) << c.what;
    }
}

TEST_F(Refusal, AnEffectClaimingAnEnormousSizeIsNotAllocated)
{
    Attempt attempt = TryBoth("huge.wav", TestPcmBytes(PcmFormat(2, 48000, 16), Constant16(10, {1, 1}), 0x7FFFFFFC),
        "TestPcm");
    EXPECT_FALSE(attempt.effectMade);
    EXPECT_THAT(attempt.message, HasSubstr("more than it can hold"));
}

TEST_F(Refusal, AHeaderTheDecoderCannotReadIsRefused)
{
    Attempt attempt = TryBoth("noise.wav", {'N', 'O', 'P', 'E', 1, 2, 3}, "TestPcm");
    EXPECT_FALSE(attempt.effectMade);
    EXPECT_FALSE(attempt.streamMade);
    EXPECT_THAT(attempt.message, HasSubstr("TestPcm.lmp cannot read it"));
}

TEST_F(Refusal, AMissingPluginIsNamedInTheMessage)
{
    Attempt attempt = TryBoth("bgm.ogg", TestPcmBytes(PcmFormat(1, 48000, 16), Constant16(10, {1})), "Missing");
    EXPECT_FALSE(attempt.effectMade);
    EXPECT_FALSE(attempt.streamMade);
    EXPECT_THAT(attempt.message, HasSubstr(std::string(SOUND_TEST_PLUGIN_DIR) + "/Missing.lmp"));
    EXPECT_THAT(attempt.message, HasSubstr("\"bgm.ogg\""));
}

TEST_F(Refusal, AMissingPluginIsReportedOnceAndTheRestStaySilent)
{
    const std::vector<std::uint8_t> bytes = TestPcmBytes(PcmFormat(1, 48000, 16), Constant16(10, {1}));
    Attempt first = TryBoth("one.wav", bytes, "Absent");
    Attempt second = TryBoth("two.wav", bytes, "Absent");
    EXPECT_FALSE(second.effectMade);
    EXPECT_FALSE(second.streamMade);
    EXPECT_EQ(std::count(first.message.begin(), first.message.end(), '\n'), 1) << first.message;
    EXPECT_THAT(first.message, HasSubstr("/Absent.lmp"));
    EXPECT_EQ(second.message, "");
    // Another plug-in is still tried and named.
    EXPECT_THAT(TryBoth("three.wav", bytes, "AlsoAbsent").message, HasSubstr("/AlsoAbsent.lmp"));
}

TEST_F(Refusal, APluginWithoutTheExportIsRefused)
{
    Attempt attempt = TryBoth("bgm.ogg", TestPcmBytes(PcmFormat(1, 48000, 16), Constant16(10, {1})), "NoExport");
    EXPECT_FALSE(attempt.streamMade);
    EXPECT_THAT(attempt.message, HasSubstr("NoExport.lmp has no CreateSoundStreamDecoder export"));
}

TEST_F(Refusal, DecoderNamesCannotLeaveThePluginDirectory)
{
    std::vector<std::uint8_t> bytes = TestPcmBytes(PcmFormat(1, 48000, 16), Constant16(10, {1}));
    for (const char* name : {"../plugins/TestPcm", "/tmp/TestPcm", "..", ""}) {
        Attempt attempt = TryBoth("bgm.ogg", bytes, name);
        EXPECT_FALSE(attempt.streamMade) << name;
        EXPECT_THAT(attempt.message, HasSubstr("not a plain plug-in name")) << name;
    }
    EXPECT_EQ(Lumora::Internal::CreateStreamSound(nullptr, "TestPcm"), nullptr);
    EXPECT_EQ(Lumora::Internal::CreateSound(nullptr), nullptr);
}

TEST_F(Refusal, EffectsPickTheirDecoderByTheData)
{
    // The test plug-in folder has no Wave.lmp and no OggVorbis.lmp: the message shows which
    // one the data asked for.
    struct Case {
        std::vector<std::uint8_t> bytes;
        const char* expected;
    };
    std::vector<Case> cases = {
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, "/Wave.lmp"},
        // Wave.lmp was reported missing just above: it is not tried, or named, again.
        {{'r', 'i', 'f', 'f', 0, 0, 0, 0, 'w', 'a', 'v', 'e'}, ""},
        {{'O', 'g', 'g', 'S', 0, 2}, "/OggVorbis.lmp"},
        {{'o', 'g', 'g', 's', 0, 2}, "neither WAVE (RIFF) nor Ogg"},
        {{'R', 'I'}, "neither WAVE (RIFF) nor Ogg"},
        {{}, "neither WAVE (RIFF) nor Ogg"},
    };
    for (const Case& c : cases) {
        MemoryFile* file = MemoryFile::Create("se.wav", c.bytes);
        ::testing::internal::CaptureStderr();
        Lumora::ISound* sound = Lumora::Internal::CreateSound(file);
        std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(sound, nullptr);
        EXPECT_THAT(message, HasSubstr(c.expected));
        Lumora::SafeRelease(sound);
        file->Release();
    }
}

} // namespace
} // namespace SoundTest
