// The file manager as the game uses it: a pack set once, a shared current directory,
// files opened by Shift-JIS name and read through IFile.
#include "LooseFiles.h"
#include "PackTestSupport.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

using namespace PackTest;
using Lumora::Utf8ToShiftJis;
using Tomarugi::Pack::PackInputFile;

// The directories and names the game opens, plus generated bulk.
std::vector<PackInputFile> GameLikeFiles()
{
    std::vector<PackInputFile> files;
    files.push_back({Utf8ToShiftJis("stage/normal/練習問題１.pzd"), Bytes("practice one")});
    files.push_back({Utf8ToShiftJis("stage/normal/体験版Easy.pzd"), Bytes("trial easy")});
    files.push_back({"font/Font.lft", Bytes("system font")});
    files.push_back({"font/Font_Azuki_32.lft", Bytes("azuki font")});
    files.push_back({Utf8ToShiftJis("font/表.tga"), Bytes("name ending in 0x5C")});
    files.push_back({"graphic/sprite/dialogue.png", RandomBytes(70000, 1)});
    files.push_back({"graphic/sprite/empty.png", {}});
    files.push_back({"readme.txt", Bytes(std::string(50000, 'z'))}); // compresses well
    return files;
}

class FileManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        files_ = GameLikeFiles();
        WriteWhole(scratch_.Path() / "data.lpk", MakePack(files_));
        ASSERT_TRUE(manager_->SetPackFile(0, "data", kPassword));
    }

    ScratchFolder scratch_;
    std::vector<PackInputFile> files_;
    ManagerHolder manager_{scratch_.Path()};
};

TEST_F(FileManagerTest, EveryFileComesBackByteForByte)
{
    for (const PackInputFile& file : files_) {
        EXPECT_EQ(OpenAndRead(manager_.manager, file.name), file.bytes)
            << Lumora::ShiftJisToUtf8(file.name);
    }
}

TEST_F(FileManagerTest, ManyFilesWithMixedSizesRoundTrip)
{
    std::vector<PackInputFile> many;
    for (int i = 0; i < 300; ++i) {
        const std::string name = Utf8ToShiftJis("bulk/段" + std::to_string(i % 5) + "/項目" + std::to_string(i) + ".bin");
        std::vector<std::uint8_t> bytes = (i % 3 == 0) ? RandomBytes(static_cast<std::size_t>(i * 37), i)
                                                       : std::vector<std::uint8_t>(static_cast<std::size_t>(i * 11), static_cast<std::uint8_t>(i));
        many.push_back({name, bytes});
    }
    WriteWhole(scratch_.Path() / "many.lpk", MakePack(many));
    ASSERT_TRUE(manager_->SetPackFile(0, "many", kPassword));
    for (const PackInputFile& file : many) {
        ASSERT_EQ(OpenAndRead(manager_.manager, file.name), file.bytes);
    }
}

TEST_F(FileManagerTest, NamesAreRelativeToTheCurrentDirectory)
{
    manager_->SetCurrentDirectory("stage/normal");
    EXPECT_EQ(OpenAndRead(manager_.manager, Utf8ToShiftJis("練習問題１.pzd")), Bytes("practice one"));
    EXPECT_EQ(manager_->OpenFile("readme.txt"), nullptr); // lives at the root, not here

    manager_->SetCurrentDirectory("font\\"); // the game's spelling of the font folder
    EXPECT_EQ(OpenAndRead(manager_.manager, "Font.lft"), Bytes("system font"));
    EXPECT_EQ(OpenAndRead(manager_.manager, Utf8ToShiftJis("表.tga")), Bytes("name ending in 0x5C"));

    manager_->SetCurrentDirectory("/graphic//sprite/");
    EXPECT_EQ(OpenAndRead(manager_.manager, "empty.png"), std::vector<std::uint8_t>{});
    EXPECT_EQ(OpenAndRead(manager_.manager, "../../font/Font.lft"), Bytes("system font"));
    EXPECT_EQ(OpenAndRead(manager_.manager, "/readme.txt"), Bytes(std::string(50000, 'z')));

    manager_->SetCurrentDirectory("");
    EXPECT_EQ(OpenAndRead(manager_.manager, "readme.txt"), Bytes(std::string(50000, 'z')));
    manager_->SetCurrentDirectory("font");
    manager_->SetCurrentDirectory(nullptr);
    EXPECT_EQ(OpenAndRead(manager_.manager, "font\\Font.lft"), Bytes("system font"));
}

TEST_F(FileManagerTest, LookupIsAnExactByteMatch)
{
    manager_->SetCurrentDirectory("font");
    EXPECT_EQ(manager_->OpenFile("font.lft"), nullptr);   // case differs
    EXPECT_EQ(manager_->OpenFile("Font.lft "), nullptr);  // trailing blank
    EXPECT_EQ(manager_->OpenFile("missing.lft"), nullptr);
    EXPECT_EQ(manager_->OpenFile(""), nullptr);
    EXPECT_EQ(manager_->OpenFile(nullptr), nullptr);
    manager_->SetCurrentDirectory("");
    EXPECT_EQ(manager_->OpenFile("font"), nullptr);        // a folder is not a file
    // The UTF-8 spelling of a Shift-JIS name is a different name.
    EXPECT_EQ(manager_->OpenFile("stage/normal/練習問題１.pzd"), nullptr);
    // Reading 0x5C as a separator would split "表" and miss the file.
    EXPECT_EQ(OpenAndRead(manager_.manager, Utf8ToShiftJis("font/表.tga")), Bytes("name ending in 0x5C"));
}

TEST_F(FileManagerTest, ReadAndSeekFollowTheFileContract)
{
    manager_->SetCurrentDirectory("stage/normal");
    Lumora::IFile* file = manager_->OpenFile(Utf8ToShiftJis("体験版Easy.pzd").c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(file->GetName()), Utf8ToShiftJis("体験版Easy.pzd"));
    EXPECT_EQ(file->GetSize(), 10);
    EXPECT_EQ(file->GetPosition(), 0);

    char buffer[32] = {};
    EXPECT_EQ(file->Read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "trial");
    EXPECT_EQ(file->GetPosition(), 5);
    EXPECT_EQ(file->Read(buffer, 32), 5); // only what is left
    EXPECT_EQ(std::string(buffer, 5), " easy");
    EXPECT_EQ(file->Read(buffer, 32), 0); // at the end
    EXPECT_EQ(file->Read(buffer, 0), 0);
    EXPECT_EQ(file->Read(buffer, -4), 0);

    EXPECT_EQ(file->Seek(6), 6);
    EXPECT_EQ(file->Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "easy");
    EXPECT_EQ(file->Seek(-3), 0);   // clamped to the start
    EXPECT_EQ(file->Seek(999), 10); // clamped to the end
    EXPECT_EQ(file->Read(buffer, 1), 0);
    EXPECT_EQ(file->Seek(0), 0);
    EXPECT_EQ(file->Read(nullptr, 4), 0);
    EXPECT_EQ(file->GetPosition(), 0);
    file->Release();
}

TEST_F(FileManagerTest, OpenFilesOutliveTheManagerAndItsPack)
{
    Lumora::IFile* file = manager_->OpenFile("font/Font.lft");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->AddRef(), 2);
    EXPECT_EQ(file->Release(), 1);
    Lumora::SafeRelease(manager_.manager);
    fs::remove(scratch_.Path() / "data.lpk");
    EXPECT_EQ(ReadRest(file), Bytes("system font"));
    EXPECT_EQ(file->Release(), 0);
}

TEST_F(FileManagerTest, TwoThreadsOpenFilesAtOnce)
{
    // Two folders hold the same name with different content; one thread switches the
    // shared directory while two others open. Every file must come out whole and be one
    // of the two, never torn or mixed with another entry.
    std::vector<PackInputFile> files;
    const auto left = RandomBytes(20000, 7);
    const auto right = RandomBytes(30000, 8);
    files.push_back({"left/same.bin", left});
    files.push_back({"right/same.bin", right});
    files.push_back({"fixed.bin", RandomBytes(5000, 9)});
    const auto fixed = files.back().bytes;
    WriteWhole(scratch_.Path() / "threads.lpk", MakePack(files));
    ASSERT_TRUE(manager_->SetPackFile(0, "threads", kPassword));

    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread switcher([&] {
        for (int i = 0; !stop; ++i) {
            manager_->SetCurrentDirectory(i % 2 == 0 ? "left" : "right");
        }
    });
    auto opener = [&] {
        for (int i = 0; i < 300; ++i) {
            Lumora::IFile* file = manager_->OpenFile("same.bin");
            if (file == nullptr) {
                ++failures; // the directory is always one of the two: never missing
                continue;
            }
            const auto bytes = ReadRest(file);
            file->Release();
            if (bytes != left && bytes != right) {
                ++failures;
            }
            Lumora::IFile* other = manager_->OpenFile("/fixed.bin");
            if (other == nullptr || ReadRest(other) != fixed) {
                ++failures;
            }
            Lumora::SafeRelease(other);
        }
    };
    manager_->SetCurrentDirectory("left");
    std::thread first(opener);
    std::thread second(opener);
    first.join();
    second.join();
    stop = true;
    switcher.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace

// The file manager without a pack that tools, benchmarks and tests use: held files first,
// then "<root>/<current directory>/<name>" on disk.
TEST(LooseFilesTest, HeldFilesWinThenTheRootFolderIsRead)
{
    const std::filesystem::path root = std::filesystem::temp_directory_path() / ("loose-files-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "object");
    std::ofstream(root / "object" / "tile.lmd", std::ios::binary) << "on disk";
    std::ofstream(root / "top.txt", std::ios::binary) << "top";
    auto* files = new Lumora::Internal::LooseFiles(root.string());
    const auto read = [files](const char* name) -> std::string {
        Lumora::IFile* file = files->OpenFile(name);
        if (file == nullptr) {
            return "(none)";
        }
        std::string text(static_cast<std::size_t>(file->GetSize()), '\0');
        file->Read(text.data(), file->GetSize());
        EXPECT_STREQ(file->GetName(), name);
        file->Release();
        return text;
    };
    EXPECT_EQ(read("top.txt"), "top");
    EXPECT_EQ(read("tile.lmd"), "(none)");
    files->SetCurrentDirectory("object");
    EXPECT_EQ(read("tile.lmd"), "on disk");
    files->Put("tile.lmd", {'h', 'e', 'l', 'd'});
    EXPECT_EQ(read("tile.lmd"), "held");
    EXPECT_EQ(read(""), "(none)");
    EXPECT_EQ(files->OpenFile(nullptr), nullptr);
    EXPECT_FALSE(files->SetPackFile(0, "data", "password"));
    files->Release();

    // Without a root only held files exist.
    auto* held = new Lumora::Internal::LooseFiles();
    held->Put("a.png", {1, 2, 3});
    Lumora::IFile* file = held->OpenFile("a.png");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetSize(), 3);
    file->Release();
    EXPECT_EQ(held->OpenFile("top.txt"), nullptr);
    held->Release();
    std::filesystem::remove_all(root);
}
