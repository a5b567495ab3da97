// The real Common.lmp: ShaderDecode turns every blob back into two-stage GLSL text, keeps
// within the capacity it is given, and refuses damaged data. Then the real pair, as
// installed in the game folder: each option record yields the variant its options name.
#include "PluginFiles.h"
#include "ShaderBlobTable.h"

#include <Lumora/ModelShader.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

class CommonDecoder : public ::testing::Test {
protected:
    LoadedLibrary common{COMMON_PLUGIN_PATH};
    ShaderDecodeFunction decode = common.Export<ShaderDecodeFunction>("ShaderDecode");

    void SetUp() override
    {
        ASSERT_TRUE(common.IsOpen()) << common.Error();
        ASSERT_NE(decode, nullptr);
    }

    // Decodes `blob` into a buffer of `capacity` bytes followed by guard bytes; checks
    // that no guard byte changed and returns the result, the size and the buffer.
    struct Outcome {
        std::int32_t result;
        std::uint32_t size;
        std::vector<char> bytes;
    };
    Outcome Decode(const std::string& blob, std::uint32_t capacity)
    {
        constexpr std::size_t guard = 64;
        Outcome outcome{0, capacity, std::vector<char>(capacity + guard, '\x5A')};
        outcome.result = decode(outcome.bytes.data(), &outcome.size, blob.data(),
                                static_cast<std::uint32_t>(blob.size()));
        for (std::size_t index = capacity; index < outcome.bytes.size(); ++index) {
            EXPECT_EQ(outcome.bytes[index], '\x5A') << "written past the capacity at " << index;
        }
        outcome.bytes.resize(capacity);
        return outcome;
    }

    static std::string Blob(int set, int variant)
    {
        const Tessera::BlobSet& blobs = Tessera::BlobSets[set];
        return std::string(reinterpret_cast<const char*>(blobs.addresses[variant]), blobs.sizes[variant]);
    }

    void ExpectRefused(const Outcome& outcome)
    {
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.size, 0u);
        if (!outcome.bytes.empty()) {
            EXPECT_EQ(outcome.bytes[0], '\0') << "an empty string is left";
        }
    }
};

TEST_F(CommonDecoder, EveryBlobBecomesZeroTerminatedTwoStageGlsl)
{
    for (int set = 0; set < Tessera::SetCount; ++set) {
        for (int variant = 0; variant < Tessera::VariantCount; ++variant) {
            SCOPED_TRACE("set " + std::to_string(set) + ", variant " + std::to_string(variant));
            const Outcome outcome = Decode(Blob(set, variant), Lumora::ModelShaderBufferSize);
            ASSERT_NE(outcome.result, 0);
            ASSERT_LT(outcome.size, Lumora::ModelShaderBufferSize);
            EXPECT_EQ(outcome.bytes[outcome.size], '\0');
            EXPECT_EQ(std::strlen(outcome.bytes.data()), outcome.size) << "no zero byte inside the text";
            std::string_view vertex, fragment;
            ASSERT_TRUE(Lumora::SplitModelShaderText({outcome.bytes.data(), outcome.size}, vertex, fragment));
            EXPECT_TRUE(vertex.starts_with("#version 330 core\n"));
            EXPECT_TRUE(fragment.starts_with("#version 330 core\n"));
            EXPECT_NE(vertex.find("gl_Position"), std::string_view::npos);
            EXPECT_NE(fragment.find("fragColor"), std::string_view::npos);
        }
    }
}

TEST_F(CommonDecoder, KeepsWithinTheCapacityAndNeedsRoomForTheZeroByte)
{
    const std::string blob = Blob(15, 6);
    const std::uint32_t length = Decode(blob, Lumora::ModelShaderBufferSize).size;
    ASSERT_GT(length, 0u);

    ExpectRefused(Decode(blob, length)); // the text fits, its zero byte does not
    ExpectRefused(Decode(blob, length / 2));
    ExpectRefused(Decode(blob, 1));
    const Outcome nothing = Decode(blob, 0);
    EXPECT_EQ(nothing.result, 0);
    EXPECT_EQ(nothing.size, 0u);

    const Outcome exact = Decode(blob, length + 1);
    EXPECT_NE(exact.result, 0);
    EXPECT_EQ(exact.size, length);
    EXPECT_EQ(exact.bytes[length], '\0');
}

TEST_F(CommonDecoder, DamagedDataIsRefused)
{
    const std::string blob = Blob(9, 2);
    std::string flipped = blob;
    flipped[flipped.size() / 2] ^= 0x10;
    std::string badChecksum = blob;
    badChecksum.back() ^= 0x01;

    ExpectRefused(Decode(flipped, Lumora::ModelShaderBufferSize));
    ExpectRefused(Decode(badChecksum, Lumora::ModelShaderBufferSize));
    ExpectRefused(Decode(blob.substr(0, blob.size() - 1), Lumora::ModelShaderBufferSize));
    ExpectRefused(Decode(blob.substr(0, 2), Lumora::ModelShaderBufferSize));
    {
        SCOPED_TRACE("bytes after the stream");
        ExpectRefused(Decode(blob + "x", Lumora::ModelShaderBufferSize));
    }
    ExpectRefused(Decode(std::string(), Lumora::ModelShaderBufferSize));
    {
        SCOPED_TRACE("plain text is not a blob");
        ExpectRefused(Decode("#version 330 core\nvoid main() {}\n", Lumora::ModelShaderBufferSize));
    }
}

TEST_F(CommonDecoder, NullPointersAreRefused)
{
    const std::string blob = Blob(0, 0);
    std::vector<char> buffer(Lumora::ModelShaderBufferSize);
    std::uint32_t size = Lumora::ModelShaderBufferSize;

    EXPECT_EQ(decode(buffer.data(), nullptr, blob.data(), static_cast<std::uint32_t>(blob.size())), 0);
    EXPECT_EQ(decode(nullptr, &size, blob.data(), static_cast<std::uint32_t>(blob.size())), 0);
    EXPECT_EQ(size, 0u);
    size = Lumora::ModelShaderBufferSize;
    buffer[0] = 'x';
    EXPECT_EQ(decode(buffer.data(), &size, nullptr, 10), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer[0], '\0');
}

// The option names as the shader source spells them, by option number.
const char* const OptionMacros[7] = {"LUMORA_SKINNED", "LUMORA_TEXTURED", "LUMORA_VERTEX_COLOR", "LUMORA_LIT",
                                     "LUMORA_AMBIENT", "LUMORA_FOG",      "LUMORA_TRANSPARENT"};

// The option macros a stage defines (the palette size is not an option).
std::set<std::string> DefinedOptions(std::string_view stage)
{
    std::set<std::string> defined;
    std::istringstream lines{std::string(stage)};
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with("#define LUMORA_") && !line.starts_with("#define LUMORA_BONE_PALETTE_SIZE ")) {
            defined.insert(line.substr(std::strlen("#define ")));
        }
    }
    return defined;
}

TEST(InstalledModelShaders, EachOptionRecordYieldsTheVariantItsOptionsName)
{
    LoadedLibrary tessera(TESSERA_PLUGIN_PATH);
    ASSERT_TRUE(tessera.IsOpen()) << tessera.Error();
    const auto getBuffer = tessera.Export<GetModelShaderBufferFunction>("GetModelShaderBuffer");
    ASSERT_NE(getBuffer, nullptr);

    for (int bits = 0; bits < 128; ++bits) {
        SCOPED_TRACE("options " + std::to_string(bits));
        Lumora::ModelShaderOptions options{};
        std::set<std::string> expected;
        std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(&options);
        for (int option = 0; option < 7; ++option) {
            if ((bits >> option) & 1) {
                bytes[option] = 1;
                expected.insert(OptionMacros[option]);
            }
        }
        char* buffer = nullptr;
        std::uint32_t size = 0;
        ASSERT_TRUE(getBuffer(&options, &buffer, &size));
        ASSERT_LT(size, Lumora::ModelShaderBufferSize) << "decoded";
        std::string_view vertex, fragment;
        ASSERT_TRUE(Lumora::SplitModelShaderText({buffer, size}, vertex, fragment));
        EXPECT_EQ(DefinedOptions(vertex), expected);
        EXPECT_EQ(DefinedOptions(fragment), expected);
    }
}

TEST(ModelShaderText, SplitsAtTheSeparatorLineOnly)
{
    std::string_view vertex, fragment;
    const std::string text = "a\n//==== fragment stage ==== not alone\nb\n//==== fragment stage ====\nc\n";
    ASSERT_TRUE(Lumora::SplitModelShaderText(text, vertex, fragment));
    EXPECT_EQ(vertex, "a\n//==== fragment stage ==== not alone\nb\n");
    EXPECT_EQ(fragment, "c\n");
    EXPECT_FALSE(Lumora::SplitModelShaderText("a\nb\n", vertex, fragment));
    ASSERT_TRUE(Lumora::SplitModelShaderText("a\n//==== fragment stage ====", vertex, fragment));
    EXPECT_EQ(vertex, "a\n");
    EXPECT_EQ(fragment, "");
}

} // namespace
