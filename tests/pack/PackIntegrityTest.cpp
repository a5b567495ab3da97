// A pack that is missing, cut short, altered or opened with the wrong password is refused
// with one line on stderr naming the pack, and never yields a single byte of content.
#include "PackReader.h"
#include "PackTestSupport.h"

#include <algorithm>

namespace {

using namespace PackTest;
using namespace Lumora::Internal;
using Tomarugi::Pack::PackInputFile;

std::vector<PackInputFile> SmallFiles()
{
    return {{"a/first.bin", RandomBytes(3000, 1)},
            {"a/second.txt", Bytes(std::string(4000, 'q'))},
            {Lumora::Utf8ToShiftJis("練習問題１.pzd"), Bytes("stage")}};
}

class PackIntegrityTest : public testing::Test {
protected:
    void SetUp() override
    {
        pack_ = MakePack(SmallFiles());
        packPath_ = scratch_.Path() / "data.lpk";
    }

    // Writes `bytes` as data.lpk and tries to open it; returns whether it was accepted,
    // and leaves what it printed in stderr_.
    bool TryOpen(const std::vector<std::uint8_t>& bytes, const char* password = kPassword)
    {
        WriteWhole(packPath_, bytes);
        testing::internal::CaptureStderr();
        const bool accepted = manager_->SetPackFile(0, "data", password);
        stderr_ = testing::internal::GetCapturedStderr();
        return accepted;
    }

    // The refusal says so once, on one line, and names the pack file.
    void ExpectOneLineNamingThePack() const
    {
        EXPECT_NE(stderr_.find(packPath_.string()), std::string::npos) << stderr_;
        EXPECT_EQ(std::count(stderr_.begin(), stderr_.end(), '\n'), 1) << stderr_;
    }

    // Nothing at all can be opened from the manager.
    void ExpectNothingOpens() const
    {
        for (const PackInputFile& file : SmallFiles()) {
            Lumora::IFile* opened = manager_->OpenFile(file.name.c_str());
            EXPECT_EQ(opened, nullptr);
            Lumora::SafeRelease(opened);
        }
    }

    // Where each part of the pack lies, read back through the real reader.
    std::vector<PackEntry> Entries() const
    {
        std::string error;
        auto reader = PackReader::Open(CreateMemoryPackSource(pack_), kPassword, error);
        EXPECT_NE(reader, nullptr) << error;
        return reader != nullptr ? reader->Entries() : std::vector<PackEntry>{};
    }

    ScratchFolder scratch_;
    ManagerHolder manager_{scratch_.Path()};
    std::vector<std::uint8_t> pack_;
    fs::path packPath_;
    std::string stderr_;
};

TEST_F(PackIntegrityTest, TheIntactPackOpensSilently)
{
    EXPECT_TRUE(TryOpen(pack_));
    EXPECT_EQ(stderr_, "");
}

TEST_F(PackIntegrityTest, WrongOrEmptyPasswordIsRefused)
{
    for (const char* password : {"hasunohanagasaku ", "Hasunohanagasaku", "", "x"}) {
        EXPECT_FALSE(TryOpen(pack_, password)) << password;
        ExpectOneLineNamingThePack();
        EXPECT_NE(stderr_.find("wrong password"), std::string::npos) << stderr_;
        ExpectNothingOpens();
    }
    EXPECT_FALSE(TryOpen(pack_, nullptr)); // null is the empty password, also wrong here
}

TEST_F(PackIntegrityTest, MissingOrForeignFilesAreRefused)
{
    testing::internal::CaptureStderr();
    EXPECT_FALSE(manager_->SetPackFile(0, "data", kPassword));
    stderr_ = testing::internal::GetCapturedStderr();
    ExpectOneLineNamingThePack();

    EXPECT_FALSE(TryOpen(Bytes("PK\x03\x04 this is some other archive format, not ours at all......"
                               "........................................................")));
    ExpectOneLineNamingThePack();
    EXPECT_FALSE(TryOpen({}));
    ExpectOneLineNamingThePack();

    fs::create_directories(scratch_.Path() / "folder.lpk");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(manager_->SetPackFile(0, "folder", kPassword));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("folder.lpk"), std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(manager_->SetPackFile(1, "data", kPassword)); // there is only slot 0
    EXPECT_NE(testing::internal::GetCapturedStderr().find("slot"), std::string::npos);
}

TEST_F(PackIntegrityTest, EveryTruncationIsRefused)
{
    // Cut at every length from empty to one byte short: each must be refused at open
    // (the table sits at the end) and never let a file be opened.
    for (std::size_t length = 0; length < pack_.size(); length += (length < 200 ? 1 : 97)) {
        const std::vector<std::uint8_t> cut(pack_.begin(), pack_.begin() + static_cast<std::ptrdiff_t>(length));
        ASSERT_FALSE(TryOpen(cut)) << "accepted a pack cut to " << length << " bytes";
        ExpectOneLineNamingThePack();
    }
    ExpectNothingOpens();
    std::vector<std::uint8_t> lastByteMissing(pack_.begin(), pack_.end() - 1);
    EXPECT_FALSE(TryOpen(lastByteMissing));
}

TEST_F(PackIntegrityTest, AnyFlippedHeaderOrTableByteIsRefused)
{
    std::uint64_t tableOffset = 0;
    {
        PackHeader header;
        std::string error;
        ASSERT_TRUE(DecodePackHeader(pack_, pack_.size(), header, error));
        tableOffset = header.tableOffset;
    }
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < kPackHeaderSize; ++i) {
        positions.push_back(i);
    }
    for (std::size_t i = tableOffset; i < pack_.size(); i += 3) {
        positions.push_back(i);
    }
    positions.push_back(pack_.size() - 1); // the last byte of the table's tag
    for (std::size_t position : positions) {
        auto altered = pack_;
        altered[position] ^= 0x20;
        ASSERT_FALSE(TryOpen(altered)) << "accepted a flip at byte " << position;
        ExpectOneLineNamingThePack();
    }
    ExpectNothingOpens();
}

TEST_F(PackIntegrityTest, AFlippedEntryByteRefusesThatEntryOnly)
{
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 3u);
    const PackEntry& damaged = entries[1];
    for (std::uint64_t offset : {damaged.offset, damaged.offset + damaged.sealedSize / 2,
                                 damaged.offset + damaged.sealedSize - 1}) {
        auto altered = pack_;
        altered[offset] ^= 0x01;
        ASSERT_TRUE(TryOpen(altered)); // the table is intact
        testing::internal::CaptureStderr();
        Lumora::IFile* file = manager_->OpenFile(damaged.name.c_str());
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(file, nullptr) << "damaged entry opened (byte " << offset << ")";
        Lumora::SafeRelease(file);
        EXPECT_NE(message.find(packPath_.string()), std::string::npos) << message;
        EXPECT_NE(message.find("a/second.txt"), std::string::npos) << message;
        EXPECT_EQ(OpenAndRead(manager_.manager, entries[0].name), SmallFiles()[0].bytes);
        EXPECT_EQ(OpenAndRead(manager_.manager, entries[2].name), SmallFiles()[2].bytes);
    }
}

TEST_F(PackIntegrityTest, EntriesCannotBeSwappedBetweenNames)
{
    // Give the first entry the second's sealed bytes (same length by construction).
    std::vector<PackInputFile> twins = {{"one.bin", RandomBytes(100, 3)}, {"two.bin", RandomBytes(100, 4)}};
    pack_ = MakePack(twins);
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    auto altered = pack_;
    std::copy_n(pack_.begin() + static_cast<std::ptrdiff_t>(entries[1].offset), entries[1].sealedSize,
                altered.begin() + static_cast<std::ptrdiff_t>(entries[0].offset));
    ASSERT_TRUE(TryOpen(altered));
    testing::internal::CaptureStderr();
    EXPECT_EQ(manager_->OpenFile("one.bin"), nullptr);
    testing::internal::GetCapturedStderr();
}

TEST_F(PackIntegrityTest, ARefusedPackReplacesTheOldOne)
{
    ASSERT_TRUE(TryOpen(pack_));
    EXPECT_EQ(OpenAndRead(manager_.manager, "a/second.txt"), SmallFiles()[1].bytes);
    auto altered = pack_;
    altered[20] ^= 0xFF; // inside the salt
    EXPECT_FALSE(TryOpen(altered));
    ExpectNothingOpens(); // files never come from a pack other than the one last asked for
}

} // namespace
