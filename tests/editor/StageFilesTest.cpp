// Names a player types, the free default names, and saving a stage whole or not at all.
#include "StageEditor.h"
#include "StageFiles.h"

#include <Lumora/Text.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path FreshFolder(const char* name)
{
    const fs::path folder = fs::temp_directory_path() / ("tomarugi-editor-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(folder);
    return folder;
}

} // namespace

TEST(StageNames, AcceptsJapaneseAndRefusesWhatCannotBeAFileOrAListedName)
{
    std::string bytes;
    std::string message;
    ASSERT_TRUE(CheckStageName("わたしの ステージ 1", bytes, message));
    EXPECT_EQ(bytes, Lumora::Utf8ToShiftJis("わたしの ステージ 1"));
    EXPECT_TRUE(message.empty());

    // The list's line holds 304 px: nine two-byte characters (288) and one narrow letter, or
    // nineteen narrow letters; a wide letter or one character more does not fit.
    EXPECT_TRUE(CheckStageName("あいうえおかきくけa", bytes, message));
    EXPECT_TRUE(CheckStageName(std::string(19, 'a'), bytes, message));
    EXPECT_FALSE(CheckStageName(std::string(20, 'a'), bytes, message));
    EXPECT_FALSE(CheckStageName("あいうえおかきくけM", bytes, message));
    EXPECT_FALSE(CheckStageName("あいうえおかきくけこ", bytes, message));
    EXPECT_FALSE(message.empty());
    EXPECT_TRUE(bytes.empty());

    for (const char* refused : {"", "   ", "a/b", "tab\there", "bell\x07", "del\x7F", ".hidden", "雪の🐸", "\xFF\xFE"}) {
        EXPECT_FALSE(CheckStageName(refused, bytes, message)) << refused;
        EXPECT_FALSE(message.empty()) << refused;
    }
}

TEST(StageNames, TheDefaultNameIsTheFirstNumberNoFileHas)
{
    std::set<std::string> files;
    auto taken = [&](const std::string& file) { return files.count(file) != 0; };
    EXPECT_EQ(Lumora::ShiftJisToUtf8(NextFreeStageName(taken)), "マイステージ 001");
    files.insert(Lumora::Utf8ToShiftJis("マイステージ 001.pzd"));
    files.insert(Lumora::Utf8ToShiftJis("マイステージ 003.pzd"));
    EXPECT_EQ(Lumora::ShiftJisToUtf8(NextFreeStageName(taken)), "マイステージ 002");
    EXPECT_EQ(NextFreeStageName([](const std::string&) { return true; }), "");
}

TEST(StageSave, WritesTheStageBytesAndReplacesAnOlderFile)
{
    const fs::path folder = FreshFolder("write") / "stage" / "extra"; // made on the way
    StageEditor editor;
    editor.NewBoard(5, 4);
    std::string message;
    const std::string name = Lumora::Utf8ToShiftJis("こおり");
    ASSERT_TRUE(SaveStageFile(folder.string(), name, editor.Stage(), message)) << message;
    const fs::path file = folder / "こおり.pzd";
    EXPECT_EQ(ReadAll(file), editor.Stage().ToBytes());
    editor.Resize(7, 7);
    ASSERT_TRUE(SaveStageFile(folder.string(), name, editor.Stage(), message));
    EXPECT_EQ(ReadAll(file), editor.Stage().ToBytes());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1); // no leftovers
    fs::remove_all(folder.parent_path().parent_path());
}

TEST(StageSave, AFolderThatCannotBeMadeIsReportedAndNothingIsWritten)
{
    const fs::path base = FreshFolder("blocked");
    fs::create_directories(base);
    std::ofstream(base / "stage") << "a file where the folder should be";
    StageEditor editor;
    std::string message;
    EXPECT_FALSE(SaveStageFile((base / "stage" / "extra").string(), "a", editor.Stage(), message));
    EXPECT_FALSE(message.empty());
    EXPECT_FALSE(SaveStageFile("", "a", editor.Stage(), message));
    fs::remove_all(base);
}

TEST(StageSave, AKillDuringTheWriteLeavesTheOldFileOrTheNewOne)
{
    const fs::path folder = FreshFolder("kill");
    fs::create_directories(folder);
    StageEditor small;
    small.NewBoard(3, 3);
    StageEditor large;
    large.NewBoard(32, 32);
    const std::vector<std::uint8_t> oldBytes = small.Stage().ToBytes();
    const std::vector<std::uint8_t> newBytes = large.Stage().ToBytes();
    std::string message;
    ASSERT_TRUE(SaveStageFile(folder.string(), "k", small.Stage(), message));
    std::mt19937 random(5);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Saves the two boards in turn until killed.
            for (;;) {
                std::string ignored;
                SaveStageFile(folder.string(), "k", large.Stage(), ignored);
                SaveStageFile(folder.string(), "k", small.Stage(), ignored);
            }
        }
        usleep(200 + random() % 3000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const std::vector<std::uint8_t> now = ReadAll(folder / "k.pzd");
        ASSERT_TRUE(now == oldBytes || now == newBytes) << "round " << round << ": " << now.size() << " bytes";
    }
    fs::remove_all(folder);
}
