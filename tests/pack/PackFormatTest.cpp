// The parts of the pack format that a damaged or hostile pack reaches before (or despite)
// authentication: header bounds, table bounds, entry sizes; and pack path normal form.
#include "PackPath.h"
#include "PackReader.h"
#include "PackTestSupport.h"

namespace {

using namespace PackTest;
using namespace Lumora::Internal;

PackEntry MakeEntry(std::string name, std::uint64_t offset, std::uint32_t sealedSize,
                    std::uint32_t originalSize, std::uint8_t method = kPackMethodStored)
{
    PackEntry entry;
    entry.name = std::move(name);
    entry.offset = offset;
    entry.sealedSize = sealedSize;
    entry.originalSize = originalSize;
    entry.method = method;
    return entry;
}

bool Parses(const std::vector<PackEntry>& entries, std::uint64_t tableOffset, std::string* why = nullptr)
{
    std::vector<PackEntry> parsed;
    std::string error;
    const bool ok = ParsePackTable(EncodePackTable(entries), tableOffset, parsed, error);
    if (why != nullptr) {
        *why = error;
    }
    return ok;
}

TEST(PackTable, ValidRecordsParseBackExactly)
{
    std::vector<PackEntry> entries = {MakeEntry("a/b.bin", 80, 116, 100),
                                      MakeEntry(Lumora::Utf8ToShiftJis("表/ソ.pzd"), 196, 40, 5000, kPackMethodZlib),
                                      MakeEntry("empty", 236, 16, 0)};
    entries[1].nonce[23] = 0xAB;
    std::vector<PackEntry> parsed;
    std::string error;
    ASSERT_TRUE(ParsePackTable(EncodePackTable(entries), 252, parsed, error)) << error;
    ASSERT_EQ(parsed.size(), 3u);
    EXPECT_EQ(parsed[1].name, entries[1].name);
    EXPECT_EQ(parsed[1].method, kPackMethodZlib);
    EXPECT_EQ(parsed[1].offset, 196u);
    EXPECT_EQ(parsed[1].sealedSize, 40u);
    EXPECT_EQ(parsed[1].originalSize, 5000u);
    EXPECT_EQ(parsed[1].nonce, entries[1].nonce);
}

TEST(PackTable, EntriesOutsideThePackAreRefused)
{
    std::string why;
    EXPECT_FALSE(Parses({MakeEntry("x", 10, 20, 4)}, 1000, &why)) << "inside the header";
    EXPECT_FALSE(Parses({MakeEntry("x", 990, 20, 4)}, 1000)) << "runs into the table";
    EXPECT_FALSE(Parses({MakeEntry("x", 2000, 20, 4)}, 1000)) << "past the table";
    EXPECT_FALSE(Parses({MakeEntry("x", 0xFFFFFFFFFFFFFFF0ull, 0x20, 0x10)}, 1000)) << "offset wraps";
    EXPECT_FALSE(Parses({MakeEntry("x", 100, 8, 0)}, 1000)) << "shorter than a tag";
    EXPECT_TRUE(Parses({MakeEntry("x", 980, 20, 4)}, 1000)) << "ends exactly at the table";
}

TEST(PackTable, SizesThatCannotBeTrueAreRefused)
{
    EXPECT_FALSE(Parses({MakeEntry("x", 100, 36, 21)}, 1000)) << "stored size disagrees";
    EXPECT_FALSE(Parses({MakeEntry("x", 100, 36, 0x7FFFFFFF, kPackMethodZlib)}, 1000)) << "beyond zlib's ratio";
    EXPECT_TRUE(Parses({MakeEntry("x", 100, 36, 20 * 1032, kPackMethodZlib)}, 1000));
    EXPECT_FALSE(Parses({MakeEntry("x", 100, 36, 20, 7)}, 1000)) << "unknown method";
}

TEST(PackTable, NamesMustBeUniqueNonEmptyAndInNormalForm)
{
    EXPECT_FALSE(Parses({MakeEntry("x", 100, 16, 0), MakeEntry("x", 116, 16, 0)}, 1000));
    EXPECT_FALSE(Parses({MakeEntry("", 100, 16, 0)}, 1000));
    for (const char* name : {"/x", "x/", "a//b", "a\\b", "a/../b", "./x"}) {
        EXPECT_FALSE(Parses({MakeEntry(name, 100, 16, 0)}, 1000)) << name;
    }
    EXPECT_FALSE(Parses({MakeEntry(std::string(kPackMaxNameLength + 1, 'n'), 100, 16, 0)}, 1000));
}

TEST(PackTable, CountsAndLengthsAreBoundedByTheTableBeforeAllocation)
{
    // A count of four billion in a 4-byte table: refused without reserving anything.
    std::vector<std::uint8_t> table = {0xFF, 0xFF, 0xFF, 0xFF};
    std::vector<PackEntry> parsed;
    std::string error;
    EXPECT_FALSE(ParsePackTable(table, 1000, parsed, error));
    EXPECT_TRUE(parsed.empty());

    auto valid = EncodePackTable({MakeEntry("abc", 100, 16, 0)});
    auto cut = valid;
    cut.pop_back();
    EXPECT_FALSE(ParsePackTable(cut, 1000, parsed, error)) << "record cut short";
    auto longer = valid;
    longer.push_back(0);
    EXPECT_FALSE(ParsePackTable(longer, 1000, parsed, error)) << "trailing bytes";
    auto reserved = valid;
    reserved[4 + 2 + 3 + 1] = 1; // first reserved byte after the method
    EXPECT_FALSE(ParsePackTable(reserved, 1000, parsed, error)) << "reserved bytes set";
}

TEST(PackHeaderBounds, CostlyOrMisplacedHeadersAreRefusedBeforeKeyDerivation)
{
    PackHeader header;
    header.tableOffset = 80;
    header.tableSealedSize = 20;
    std::string error;
    PackHeader decoded;
    EXPECT_TRUE(DecodePackHeader(EncodePackHeader(header), 100, decoded, error)) << error;
    EXPECT_FALSE(DecodePackHeader(EncodePackHeader(header), 99, decoded, error)) << "table cut";

    PackHeader greedy = header;
    greedy.kdfMemoryKiB = 0xFFFFFFFF; // four terabytes of Argon2 memory
    EXPECT_FALSE(DecodePackHeader(EncodePackHeader(greedy), 100, decoded, error));
    PackHeader slow = header;
    slow.kdfOps = 1000000;
    EXPECT_FALSE(DecodePackHeader(EncodePackHeader(slow), 100, decoded, error));
    PackHeader wrapping = header;
    wrapping.tableOffset = 0xFFFFFFFFFFFFFFF0ull;
    EXPECT_FALSE(DecodePackHeader(EncodePackHeader(wrapping), 100, decoded, error));
}

TEST(PackEntrySizes, AnEntryWhoseRecordedSizeIsWrongIsRefused)
{
    // Re-seal a genuine table with the right key but a wrong original size: only the
    // inflation check can catch this, and it must.
    auto pack = MakePack({{"text.txt", Bytes(std::string(5000, 'k'))}});
    PackHeader header;
    std::string error;
    ASSERT_TRUE(DecodePackHeader(pack, pack.size(), header, error));
    PackKey key{};
    ASSERT_TRUE(DerivePackKey(kPassword, header, key));
    const std::span<const std::uint8_t> headerBytes(pack.data(), kPackHeaderSize);
    std::vector<std::uint8_t> table;
    ASSERT_TRUE(OpenPackBytes(std::span(pack).subspan(header.tableOffset), headerBytes,
                              header.tableNonce, key, table));
    std::vector<PackEntry> entries;
    ASSERT_TRUE(ParsePackTable(table, header.tableOffset, entries, error));
    ASSERT_EQ(entries[0].method, kPackMethodZlib);

    for (std::uint32_t wrongSize : {4999u, 5001u, 0u}) {
        entries[0].originalSize = wrongSize;
        auto resealed = SealPackBytes(EncodePackTable(entries), headerBytes, header.tableNonce, key);
        auto forged = pack;
        ASSERT_EQ(resealed.size(), forged.size() - header.tableOffset);
        std::copy(resealed.begin(), resealed.end(), forged.begin() + static_cast<std::ptrdiff_t>(header.tableOffset));
        auto reader = PackReader::Open(CreateMemoryPackSource(forged), kPassword, error);
        ASSERT_NE(reader, nullptr) << error;
        std::vector<std::uint8_t> bytes = {1, 2, 3};
        EXPECT_FALSE(reader->ReadEntry(reader->Entries()[0], bytes, error)) << wrongSize;
        EXPECT_TRUE(bytes.empty());
    }
}

TEST(PackPaths, SeparatorsDotsAndShiftJisTrailBytes)
{
    EXPECT_EQ(NormalisePackPath("font\\"), "font");
    EXPECT_EQ(NormalisePackPath("/graphic//sprite/./mapchip/"), "graphic/sprite/mapchip");
    EXPECT_EQ(NormalisePackPath("a/b/../../../c"), "c");
    EXPECT_EQ(NormalisePackPath(""), "");
    EXPECT_EQ(NormalisePackPath("\\\\"), "");
    const std::string hyou = Lumora::Utf8ToShiftJis("表"); // 0x95 0x5C
    EXPECT_EQ(NormalisePackPath(hyou + "\\" + hyou), hyou + "/" + hyou);
    EXPECT_EQ(JoinPackPath("font\\", "Font.lft"), "font/Font.lft");
    EXPECT_EQ(JoinPackPath("stage/normal", "/readme"), "readme");
    EXPECT_EQ(JoinPackPath("", "x"), "x");
    EXPECT_EQ(PackPathLeaf("a/b/" + hyou), hyou);
}

TEST(DiskAndMemoryFiles, OpenDiskFileReadsTheWholeFileUnderItsShiftJisName)
{
    ScratchFolder scratch;
    const fs::path path = scratch.Path() / "体験版Hard.pzd";
    const auto content = RandomBytes(10000, 5);
    WriteWhole(path, content);
    Lumora::IFile* file = OpenDiskFile(path.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(file->GetName()), Lumora::Utf8ToShiftJis("体験版Hard.pzd"));
    EXPECT_EQ(file->GetSize(), 10000);
    EXPECT_EQ(ReadRest(file), content);
    file->Release();

    WriteWhole(scratch.Path() / "empty", {});
    file = OpenDiskFile((scratch.Path() / "empty").c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetSize(), 0);
    file->Release();

    EXPECT_EQ(OpenDiskFile((scratch.Path() / "missing").c_str()), nullptr);
    EXPECT_EQ(OpenDiskFile(scratch.Path().c_str()), nullptr); // a folder
    EXPECT_EQ(OpenDiskFile(""), nullptr);
    EXPECT_EQ(OpenDiskFile(nullptr), nullptr);
}

TEST(DiskAndMemoryFiles, MemoryFilesOwnTheirBytes)
{
    std::vector<std::uint8_t> bytes = Bytes("memory");
    Lumora::IFile* file = CreateMemoryFile("name", bytes);
    bytes.assign(6, 'x');
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(file->GetName()), "name");
    EXPECT_EQ(ReadRest(file), Bytes("memory"));
    file->Release();
    file = CreateMemoryFile(nullptr, {});
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(file->GetName()), "");
    file->Release();
}

} // namespace
