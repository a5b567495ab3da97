// Stage files through both readers: layout, zero padding, failed opens, the engine file.
#include "StageDataReader.h"

#include "MemoryFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void PutU32(std::vector<std::uint8_t>& bytes, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// A stage file: header, then the given cells (not necessarily width * height of them).
std::vector<std::uint8_t> StageBytes(std::uint32_t reserved, std::uint8_t width, std::uint8_t height,
                                     const std::vector<StageCell>& cells, std::uint8_t spare0 = 0,
                                     std::uint8_t spare1 = 0)
{
    std::vector<std::uint8_t> bytes;
    PutU32(bytes, reserved);
    bytes.insert(bytes.end(), {width, height, spare0, spare1});
    for (const StageCell& cell : cells) {
        PutU32(bytes, static_cast<std::uint32_t>(cell.floor));
        PutU32(bytes, static_cast<std::uint32_t>(cell.object));
    }
    return bytes;
}

// Reads bytes both ways (disk path and engine file) so every case checks both readers.
class StageReaders : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = std::filesystem::temp_directory_path() /
                    ("tomarugi-stage-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string WriteFile(const std::vector<std::uint8_t>& bytes, const std::string& name = "stage.pzd")
    {
        const std::filesystem::path path = directory / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // Both readers must agree; returns the disk reader's stage.
    StageDataReader ReadBoth(const std::vector<std::uint8_t>& bytes)
    {
        StageDataReader fromPath;
        EXPECT_TRUE(fromPath.ReadFromPath(WriteFile(bytes).c_str()));
        MemoryFile file(bytes);
        StageDataReaderLumora fromStream(&file);
        EXPECT_EQ(fromPath.reserved, fromStream.reserved);
        EXPECT_EQ(fromPath.width, fromStream.width);
        EXPECT_EQ(fromPath.height, fromStream.height);
        EXPECT_EQ(fromPath.GetCells(), fromStream.GetCells());
        return fromPath;
    }

    std::filesystem::path directory;
};

TEST_F(StageReaders, ReadHeaderAndCellsInRowOrder)
{
    std::vector<StageCell> cells;
    for (int i = 0; i < 6; ++i) {
        cells.push_back({i % 2, i});
    }
    const StageDataReader stage = ReadBoth(StageBytes(0xDEADBEEF, 3, 2, cells, 7, 9));
    EXPECT_EQ(stage.reserved, 0xDEADBEEFu);
    EXPECT_EQ(stage.width, 3);
    EXPECT_EQ(stage.height, 2);
    EXPECT_EQ(stage.spare[0], 7);
    EXPECT_EQ(stage.spare[1], 9);
    ASSERT_EQ(stage.GetCells().size(), 6u);
    EXPECT_EQ(stage.GetCells()[4], (StageCell{0, 4})); // cell 4 is (1, 1) of a 3 x 2 stage
}

TEST_F(StageReaders, CodesPassThroughUncheckedAndTheTailIsIgnored)
{
    std::vector<StageCell> cells = {{2, -1}, {-5, 4}, {0x7FFFFFFF, static_cast<std::int32_t>(0x80000000u)}};
    std::vector<StageCell> withTail = cells;
    withTail.push_back({1, 1}); // bytes after the last cell are ignored
    EXPECT_EQ(ReadBoth(StageBytes(0, 3, 1, withTail)).GetCells(), cells);
}

TEST_F(StageReaders, ZeroWidthOrHeightHasNoCellsWhateverFollows)
{
    const std::vector<StageCell> junk = {{1, 1}, {1, 2}};
    EXPECT_TRUE(ReadBoth(StageBytes(0, 0, 5, junk)).GetCells().empty());
    const StageDataReader flat = ReadBoth(StageBytes(0, 5, 0, junk));
    EXPECT_EQ(flat.width, 5);
    EXPECT_TRUE(flat.GetCells().empty());
}

TEST_F(StageReaders, ShortFilesReadAsZeroPadded)
{
    // Empty file: all zero.
    const StageDataReader empty = ReadBoth({});
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, 0);
    EXPECT_TRUE(empty.GetCells().empty());
    // An empty file's bytes may come as no pointer at all (an empty vector's data()).
    StageDataReader none;
    none.ReadFromBytes(nullptr, 0);
    EXPECT_EQ(none.width, 0);
    EXPECT_TRUE(none.GetCells().empty());

    // Five bytes: width present, height missing, so no cells.
    const StageDataReader noHeight = ReadBoth({1, 0, 0, 0, 4});
    EXPECT_EQ(noHeight.reserved, 1u);
    EXPECT_EQ(noHeight.width, 4);
    EXPECT_EQ(noHeight.height, 0);
    EXPECT_TRUE(noHeight.GetCells().empty());

    // A 2 x 2 header with one whole cell and 5 bytes of the second: the second keeps its
    // floor and the low byte of its object; later cells are all zero.
    std::vector<std::uint8_t> bytes = StageBytes(0, 2, 2, {{1, 2}, {0x01020304, 0x7F}});
    bytes.resize(8 + 8 + 5);
    const StageDataReader cut = ReadBoth(bytes);
    EXPECT_EQ(cut.GetCells(), (std::vector<StageCell>{{1, 2}, {0x01020304, 0x7F}, {0, 0}, {0, 0}}));
    bytes.resize(8 + 8 + 6);
    EXPECT_EQ(ReadBoth(bytes).GetCells()[1], (StageCell{0x01020304, 0x7F}));
    bytes.resize(8 + 8 + 2);
    EXPECT_EQ(ReadBoth(bytes).GetCells()[1], (StageCell{0x0304, 0}));
}

TEST_F(StageReaders, LargestStage)
{
    std::vector<StageCell> cells(255 * 255, StageCell{1, 0});
    cells.back() = {1, 2};
    const StageDataReader stage = ReadBoth(StageBytes(0, 255, 255, cells));
    ASSERT_EQ(stage.GetCells().size(), 65025u);
    EXPECT_EQ(stage.GetCells().back(), (StageCell{1, 2}));
}

TEST_F(StageReaders, FailedOpenKeepsTheStage)
{
    StageDataReader stage;
    EXPECT_FALSE(stage.ReadFromPath((directory / "missing.pzd").string().c_str()));
    EXPECT_EQ(stage.width, 0);
    EXPECT_TRUE(stage.GetCells().empty());

    ASSERT_TRUE(stage.ReadFromPath(WriteFile(StageBytes(5, 1, 2, {{1, 1}, {1, 2}})).c_str()));
    EXPECT_FALSE(stage.ReadFromPath((directory / "missing.pzd").string().c_str()));
    EXPECT_FALSE(stage.ReadFromPath(nullptr));
    EXPECT_EQ(stage.reserved, 5u);
    EXPECT_EQ(stage.height, 2);
    EXPECT_EQ(stage.GetCells().size(), 2u);
}

TEST_F(StageReaders, OnlyPlainFilesAreRead)
{
    // A named pipe without a writer would block the open for ever; a folder holds nothing.
    const std::filesystem::path pipe = directory / "pipe.pzd";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::create_directory(directory / "folder.pzd");
    StageDataReader stage;
    ASSERT_TRUE(stage.ReadFromPath(WriteFile(StageBytes(5, 1, 2, {{1, 1}, {1, 2}})).c_str()));
    EXPECT_FALSE(stage.ReadFromPath(pipe.c_str()));
    EXPECT_FALSE(stage.ReadFromPath((directory / "folder.pzd").c_str()));
    EXPECT_EQ(stage.height, 2);
    EXPECT_EQ(stage.GetCells().size(), 2u);
}

TEST_F(StageReaders, Utf8PathsOpen)
{
    StageDataReader stage;
    EXPECT_TRUE(stage.ReadFromPath(WriteFile(StageBytes(0, 1, 1, {{1, 1}}), "体験版Easy.pzd").c_str()));
    EXPECT_EQ(stage.width, 1);
}

TEST(StageReaderLumora, NullFileReadsNothing)
{
    StageDataReaderLumora stage(nullptr);
    EXPECT_EQ(stage.width, 0);
    EXPECT_EQ(stage.height, 0);
    EXPECT_TRUE(stage.GetCells().empty());

    MemoryFile file(StageBytes(0, 1, 1, {{1, 2}}));
    stage.ReadFromStream(&file);
    stage.ReadFromStream(nullptr); // keeps what it held
    EXPECT_EQ(stage.GetCells(), (std::vector<StageCell>{{1, 2}}));
}

TEST(StageReaderLumora, ReadsFromTheCurrentPositionAndLeavesTheFileOpen)
{
    std::vector<std::uint8_t> bytes = {0xAA, 0xBB, 0xCC};
    const std::vector<std::uint8_t> stageBytes = StageBytes(0, 2, 1, {{1, 1}, {1, 2}});
    bytes.insert(bytes.end(), stageBytes.begin(), stageBytes.end());
    MemoryFile file(bytes);
    file.Seek(3);
    StageDataReaderLumora stage(&file);
    EXPECT_EQ(stage.GetCells(), (std::vector<StageCell>{{1, 1}, {1, 2}}));
    EXPECT_EQ(file.references, 1);
    EXPECT_EQ(file.GetPosition(), static_cast<std::int32_t>(bytes.size())); // not rewound
}

TEST(StageReaderLumora, FileThatDeliversInPiecesStillReadsWhole)
{
    MemoryFile file(StageBytes(3, 2, 1, {{1, 1}, {1, 2}}), 3);
    StageDataReaderLumora stage(&file);
    EXPECT_EQ(stage.reserved, 3u);
    EXPECT_EQ(stage.GetCells(), (std::vector<StageCell>{{1, 1}, {1, 2}}));
}

} // namespace
