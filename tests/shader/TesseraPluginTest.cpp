// Tessera.lmp as the engine sees it: which blob each option record selects, and what the
// export does when "Common.lmp" is missing, incomplete or elsewhere. A copy of the built
// plug-in runs from a scratch directory beside a stand-in "Common.lmp".
#include "DecodeRecord.h"
#include "PluginFiles.h"
#include "ShaderBlobTable.h"

#include <Lumora/ModelShader.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The blob sets in their order, as the options 3 to 6 that are on in each.
const std::vector<std::set<int>> SetsInOrder = {
    {},     {3},    {4},    {5},    {6},       {3, 4},    {3, 5},    {3, 6},
    {4, 5}, {4, 6}, {5, 6}, {4, 5, 6}, {3, 5, 6}, {3, 4, 6}, {3, 4, 5}, {3, 4, 5, 6}};
// The variants of a set in their order, as the options 0 to 2 that are on in each.
const std::vector<std::set<int>> VariantsInOrder = {{}, {1}, {1, 2}, {2}, {0}, {0, 1}, {0, 1, 2}, {0, 2}};

// Options with bit n of `bits` switching option n on, written as `onValue`.
Lumora::ModelShaderOptions MakeOptions(int bits, std::uint8_t onValue = 1)
{
    std::array<std::uint8_t, 7> bytes{};
    for (int option = 0; option < 7; ++option) {
        bytes[option] = (bits >> option) & 1 ? onValue : 0;
    }
    Lumora::ModelShaderOptions options;
    std::memcpy(&options, bytes.data(), sizeof(options));
    return options;
}

int IndexOf(const std::vector<std::set<int>>& table, int bits, int firstOption, int lastOption)
{
    std::set<int> on;
    for (int option = firstOption; option <= lastOption; ++option) {
        if ((bits >> option) & 1) {
            on.insert(option);
        }
    }
    for (std::size_t index = 0; index < table.size(); ++index) {
        if (table[index] == on) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

std::string BlobBytes(const void* address, std::uint32_t size)
{
    return std::string(static_cast<const char*>(address), size);
}

std::string FileOfAddress(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return info.dli_fname;
}

class TesseraWithRecorder : public ::testing::Test {
protected:
    ScratchDirectory directory;
    const std::filesystem::path tesseraPath = directory.Place(TESSERA_PLUGIN_PATH, "Tessera.lmp");
    const std::filesystem::path commonPath = directory.Place(RECORDING_COMMON_PATH, "Common.lmp");
    // Held open here so that the record survives Tessera's unloading after each call.
    LoadedLibrary recorder{commonPath};
    LoadedLibrary tessera{tesseraPath};
    GetModelShaderBufferFunction getBuffer =
        tessera.Export<GetModelShaderBufferFunction>("GetModelShaderBuffer");
    RecordedDecodeFunction recorded = recorder.Export<RecordedDecodeFunction>("RecordedDecode");

    void SetUp() override
    {
        ASSERT_TRUE(recorder.IsOpen()) << recorder.Error();
        ASSERT_TRUE(tessera.IsOpen()) << tessera.Error();
        ASSERT_NE(getBuffer, nullptr);
        ASSERT_NE(recorded, nullptr);
    }

    // Calls the export and checks that exactly one decode of a blob inside the plug-in
    // happened with the export's own buffer and the caller's size variable; returns the
    // blob's bytes.
    std::string DecodedBlobFor(const Lumora::ModelShaderOptions& options)
    {
        const std::int32_t callsBefore = recorded()->calls;
        char* buffer = nullptr;
        std::uint32_t size = 0;
        EXPECT_TRUE(getBuffer(&options, &buffer, &size));
        const DecodeRecord& record = *recorded();
        EXPECT_EQ(record.calls, callsBefore + 1);
        EXPECT_EQ(record.output, buffer);
        EXPECT_EQ(record.size, &size);
        EXPECT_EQ(record.sizeOnEntry, Lumora::ModelShaderBufferSize);
        EXPECT_EQ(FileOfAddress(record.blob), tesseraPath.string()) << "the blob lies inside the plug-in";
        // Whatever the decoder stores reaches the caller unchanged.
        EXPECT_EQ(size, sizeof(RecordedMarker) - 1);
        EXPECT_STREQ(buffer, RecordedMarker);
        return BlobBytes(record.blob, record.blobSize);
    }
};

TEST_F(TesseraWithRecorder, EveryOptionCombinationHandsItsOwnBlobToTheDecoder)
{
    // The blobs must differ, or matching bytes would not identify the blob chosen.
    std::set<std::string> distinct;
    for (const Tessera::BlobSet& set : Tessera::BlobSets) {
        for (int variant = 0; variant < Tessera::VariantCount; ++variant) {
            distinct.insert(BlobBytes(set.addresses[variant], set.sizes[variant]));
        }
    }
    ASSERT_EQ(distinct.size(), 128u);

    for (int bits = 0; bits < 128; ++bits) {
        SCOPED_TRACE("options " + std::to_string(bits));
        const int set = IndexOf(SetsInOrder, bits, 3, 6);
        const int variant = IndexOf(VariantsInOrder, bits, 0, 2);
        const Tessera::BlobSet& expected = Tessera::BlobSets[set];
        EXPECT_EQ(DecodedBlobFor(MakeOptions(bits)),
                  BlobBytes(expected.addresses[variant], expected.sizes[variant]));
    }
}

TEST_F(TesseraWithRecorder, AnyNonZeroOptionByteCountsAsOn)
{
    for (const std::uint8_t onValue : {2, 0x7F, 0x80, 0xFF}) {
        for (int bits = 0; bits < 128; ++bits) {
            SCOPED_TRACE("options " + std::to_string(bits) + " written as " + std::to_string(onValue));
            EXPECT_EQ(DecodedBlobFor(MakeOptions(bits, onValue)), DecodedBlobFor(MakeOptions(bits, 1)));
        }
    }
}

TEST_F(TesseraWithRecorder, NullArgumentsAreRefusedWithoutDecoding)
{
    const Lumora::ModelShaderOptions options = MakeOptions(0);
    const std::int32_t calls = recorded()->calls;
    char* buffer = nullptr;
    std::uint32_t size = 0;

    EXPECT_FALSE(getBuffer(nullptr, &buffer, &size));
    EXPECT_NE(buffer, nullptr) << "the buffer is still stored";
    EXPECT_EQ(size, Lumora::ModelShaderBufferSize);

    size = 0;
    EXPECT_FALSE(getBuffer(&options, nullptr, &size));
    EXPECT_EQ(size, Lumora::ModelShaderBufferSize);

    buffer = nullptr;
    EXPECT_FALSE(getBuffer(&options, &buffer, nullptr));
    EXPECT_NE(buffer, nullptr);

    EXPECT_EQ(recorded()->calls, calls);
}

// Fills the shared buffer with a text that a call which decodes nothing must leave alone.
char* MarkBuffer(GetModelShaderBufferFunction getBuffer)
{
    const Lumora::ModelShaderOptions options = MakeOptions(0);
    char* buffer = nullptr;
    std::uint32_t size = 0;
    getBuffer(&options, &buffer, &size);
    if (buffer != nullptr) {
        std::strcpy(buffer, "left by an earlier call");
    }
    return buffer;
}

TEST(TesseraCommonLibrary, IsLoadedForEachCallAndUnloadedAfterIt)
{
    ScratchDirectory directory;
    LoadedLibrary tessera(directory.Place(TESSERA_PLUGIN_PATH, "Tessera.lmp"));
    const std::filesystem::path commonPath = directory.Place(RECORDING_COMMON_PATH, "Common.lmp");
    ASSERT_TRUE(tessera.IsOpen()) << tessera.Error();
    const auto getBuffer = tessera.Export<GetModelShaderBufferFunction>("GetModelShaderBuffer");
    ASSERT_NE(getBuffer, nullptr);

    for (int call = 0; call < 2; ++call) {
        char* buffer = MarkBuffer(getBuffer);
        ASSERT_NE(buffer, nullptr);
        ASSERT_FALSE(IsLibraryResident(commonPath));
        const Lumora::ModelShaderOptions options = MakeOptions(0b1010011);
        std::uint32_t size = 0;
        EXPECT_TRUE(getBuffer(&options, &buffer, &size));
        EXPECT_STREQ(buffer, RecordedMarker) << "the decoder ran";
        EXPECT_FALSE(IsLibraryResident(commonPath)) << "and was unloaded again";
    }
}

TEST(TesseraCommonLibrary, MissingLibraryStillStoresBufferAndCapacityAndReturnsTrue)
{
    ScratchDirectory directory;
    LoadedLibrary tessera(directory.Place(TESSERA_PLUGIN_PATH, "Tessera.lmp"));
    ASSERT_TRUE(tessera.IsOpen()) << tessera.Error();
    const auto getBuffer = tessera.Export<GetModelShaderBufferFunction>("GetModelShaderBuffer");
    char* const marked = MarkBuffer(getBuffer);

    for (const int bits : {0, 0x7F, 0b0010110}) {
        const Lumora::ModelShaderOptions options = MakeOptions(bits);
        char* buffer = nullptr;
        std::uint32_t size = 0;
        EXPECT_TRUE(getBuffer(&options, &buffer, &size));
        EXPECT_EQ(buffer, marked);
        EXPECT_EQ(size, Lumora::ModelShaderBufferSize);
        EXPECT_STREQ(buffer, "left by an earlier call") << "nothing was decoded";
    }
}

TEST(TesseraCommonLibrary, LibraryWithoutShaderDecodeIsNotCalledAndTheCallFails)
{
    ScratchDirectory directory;
    LoadedLibrary tessera(directory.Place(TESSERA_PLUGIN_PATH, "Tessera.lmp"));
    const std::filesystem::path commonPath = directory.Place(NO_DECODER_COMMON_PATH, "Common.lmp");
    ASSERT_TRUE(tessera.IsOpen()) << tessera.Error();
    const auto getBuffer = tessera.Export<GetModelShaderBufferFunction>("GetModelShaderBuffer");
    char* const marked = MarkBuffer(getBuffer);

    const Lumora::ModelShaderOptions options = MakeOptions(0b0001111);
    char* buffer = nullptr;
    std::uint32_t size = 0;
    EXPECT_FALSE(getBuffer(&options, &buffer, &size));
    EXPECT_EQ(buffer, marked);
    EXPECT_EQ(size, Lumora::ModelShaderBufferSize);
    EXPECT_STREQ(buffer, "left by an earlier call");
    EXPECT_FALSE(IsLibraryResident(commonPath)) << "the library is unloaded on this path too";
}

TEST(TesseraCommonLibrary, IsLookedForBesideThePluginNotInTheWorkingDirectory)
{
    ScratchDirectory pluginDirectory;
    ScratchDirectory workingDirectory;
    workingDirectory.Place(RECORDING_COMMON_PATH, "Common.lmp");
    LoadedLibrary tessera(pluginDirectory.Place(TESSERA_PLUGIN_PATH, "Tessera.lmp"));
    ASSERT_TRUE(tessera.IsOpen()) << tessera.Error();
    const auto getBuffer = tessera.Export<GetModelShaderBufferFunction>("GetModelShaderBuffer");
    MarkBuffer(getBuffer);

    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(workingDirectory.Path());
    const Lumora::ModelShaderOptions options = MakeOptions(0);
    char* buffer = nullptr;
    std::uint32_t size = 0;
    const bool result = getBuffer(&options, &buffer, &size);
    std::filesystem::current_path(previous);

    EXPECT_TRUE(result);
    EXPECT_EQ(size, Lumora::ModelShaderBufferSize) << "no decoder was found beside the plug-in";
    EXPECT_STREQ(buffer, "left by an earlier call");
}

} // namespace
