// The plug-in as a library: what it exports and what a new decoder starts with.
#include "WaveTestSupport.h"

#include <cstdio>
#include <set>

namespace WaveTest {
namespace {

TEST(WavePlugin, ExportsOnlyTheDecoderFactory)
{
    FILE* pipe = popen("nm -D --defined-only '" WAVE_PLUGIN_PATH "'", "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        text.erase(text.find_last_not_of("\r\n") + 1);
        exported.insert(text.substr(text.find_last_of(' ') + 1));
    }
    ASSERT_EQ(pclose(pipe), 0) << "nm failed on " WAVE_PLUGIN_PATH;
    EXPECT_EQ(exported, std::set<std::string>{"CreateSoundStreamDecoder"});
}

TEST(WavePlugin, EachCallCreatesAnIndependentEmptyDecoder)
{
    DecoderPtr first = CreateDecoder();
    DecoderPtr second = CreateDecoder();
    ASSERT_NE(first.get(), second.get());
    EXPECT_EQ(first->GetDataSize(), 0);
    const auto* record = reinterpret_cast<const std::uint8_t*>(first->GetFormat());
    EXPECT_EQ(Bytes(record, record + 18), Bytes(18, 0));
    EXPECT_FALSE(first->ReadHeader()) << "no source yet";

    // Two decoders over two sources do not disturb each other.
    MemoryStreamSource a(Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8)), Chunk("data", Samples(10, 1))}));
    MemoryStreamSource b(Riff({Chunk("fmt ", FormatBody(1, 2, 44100, 16)), Chunk("data", Samples(12, 50))}));
    first->SetSource(&a);
    second->SetSource(&b);
    ASSERT_TRUE(first->ReadHeader());
    ASSERT_TRUE(second->ReadHeader());
    EXPECT_EQ(first->GetDataSize(), 10);
    EXPECT_EQ(second->GetDataSize(), 12);
    EXPECT_EQ(first->GetFormat()->channels, 1);
    EXPECT_EQ(second->GetFormat()->channels, 2);
}

} // namespace
} // namespace WaveTest
