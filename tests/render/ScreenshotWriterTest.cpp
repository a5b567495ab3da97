// Screenshots are written on the writer's own thread: every shot handed over arrives whole,
// in order, and one that cannot be written is named on stderr without holding up the rest.
#include "ImageCodec.h"
#include "ScreenshotWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::uint8_t> Filled(std::int32_t width, std::int32_t height, std::uint8_t red)
{
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height) * 4, 0xFF);
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = red;
    }
    return rgba;
}

std::vector<std::uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ScreenshotWriter, EveryShotArrivesWholeAndAnUnwritableOneIsNamed)
{
    const std::string folder = ::testing::TempDir();
    const std::string first = folder + "writer-first.png";
    const std::string second = folder + "writer-second.png";
    const std::string nowhere = folder + "no-such-folder/shot.png";
    std::remove(first.c_str());
    std::remove(second.c_str());

    ::testing::internal::CaptureStderr();
    {
        Lumora::Internal::ScreenshotWriter writer;
        writer.Submit(first, 64, 48, Filled(64, 48, 0x10));
        writer.Submit(nowhere, 8, 8, Filled(8, 8, 0x20));
        writer.Submit(second, 640, 480, Filled(640, 480, 0x30));
        writer.Flush();
        const std::vector<std::uint8_t> bytes = ReadAll(first);
        std::string error;
        auto image = Lumora::Internal::DecodeImage(bytes.data(), bytes.size(), error);
        ASSERT_TRUE(image.has_value()) << "written by the time Flush returns: " << error;
        EXPECT_EQ(image->width, 64);
        EXPECT_EQ(image->rgba[0], 0x10);
        // Left to the destructor: it must finish the shot rather than drop it.
        writer.Submit(folder + "writer-last.png", 32, 32, Filled(32, 32, 0x40));
    }
    const std::string messages = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("cannot write screenshot \"" + nowhere + "\""), std::string::npos) << messages;
    EXPECT_EQ(messages.find("writer-first"), std::string::npos) << messages;

    for (const auto& [path, red] : {std::pair{second, 0x30}, std::pair{folder + "writer-last.png", 0x40}}) {
        const std::vector<std::uint8_t> bytes = ReadAll(path);
        std::string error;
        auto image = Lumora::Internal::DecodeImage(bytes.data(), bytes.size(), error);
        ASSERT_TRUE(image.has_value()) << path << ": " << error;
        EXPECT_EQ(image->rgba[0], red) << path;
        std::remove(path.c_str());
    }
    std::remove(first.c_str());
}

} // namespace
