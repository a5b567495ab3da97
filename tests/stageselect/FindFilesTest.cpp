// The engine's directory search: wildcard rules, the Shift-JIS boundary, and what it does
// with names that have no Shift-JIS form.
#include "ScratchDirectory.h"

#include <Lumora/Directory.h>
#include <Lumora/Text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string Sjis(const char* utf8)
{
    return Lumora::Utf8ToShiftJis(utf8);
}

void Touch(const fs::path& path)
{
    std::ofstream(path) << "x";
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WildcardTest, StarAndQuestionMarkMatchWholeCharactersAndLettersIgnoreCase)
{
    EXPECT_TRUE(Lumora::MatchesWildcard("a.pzd", "*.pzd"));
    EXPECT_TRUE(Lumora::MatchesWildcard(".pzd", "*.pzd")) << "a star may match nothing";
    EXPECT_TRUE(Lumora::MatchesWildcard("STAGE.PZD", "*.pzd")) << "ASCII letters ignore case";
    EXPECT_TRUE(Lumora::MatchesWildcard("a.pzd.pzd", "*.pzd")) << "the star backtracks";
    EXPECT_FALSE(Lumora::MatchesWildcard("a.pzd.bak", "*.pzd"));
    EXPECT_FALSE(Lumora::MatchesWildcard("a.pz", "*.pzd"));
    EXPECT_FALSE(Lumora::MatchesWildcard("apzd", "*.pzd"));
    EXPECT_TRUE(Lumora::MatchesWildcard("", "*"));
    EXPECT_FALSE(Lumora::MatchesWildcard("", "?"));

    // '?' is one whole two-byte character, never half of one.
    EXPECT_TRUE(Lumora::MatchesWildcard(Sjis("表.pzd"), "?.pzd"));
    EXPECT_FALSE(Lumora::MatchesWildcard(Sjis("表.pzd"), "??.pzd"));
    EXPECT_FALSE(Lumora::MatchesWildcard("ab.pzd", "?.pzd"));
    // The second byte of "表" is 0x5C and of "ソ" is 0x5C too: only whole characters compare.
    EXPECT_FALSE(Lumora::MatchesWildcard(Sjis("表"), Sjis("ソ")));
    EXPECT_TRUE(Lumora::MatchesWildcard(Sjis("練習問題１.pzd"), Sjis("練習*１.PZD")));
    // Two-byte characters are not case-folded: full-width letters stay apart.
    EXPECT_FALSE(Lumora::MatchesWildcard(Sjis("Ａ.pzd"), Sjis("ａ.pzd")));
}

TEST(FindFilesTest, ListsMatchingEntriesOfAnyTypeWithShiftJisNames)
{
    ScratchDirectory scratch;
    const fs::path folder = scratch.Path() / "data" / "stage" / "extra";
    fs::create_directories(folder);
    Touch(folder / "b.pzd");
    Touch(folder / "a.pzd");
    Touch(folder / "おまけ１.pzd");
    Touch(folder / "it's \"quoted\".pzd");
    Touch(folder / "notes.txt");
    fs::create_directory(folder / "folder.pzd");

    const std::vector<std::string> found = Lumora::FindFiles("data/stage/extra", "*.pzd");
    EXPECT_EQ(Sorted(found), Sorted({"b.pzd", "a.pzd", Sjis("おまけ１.pzd"), "it's \"quoted\".pzd",
                                     "folder.pzd"}))
        << "a folder that matches is listed too; the text file is not";

    // The order is the file system's, not sorted: compare with a plain listing.
    std::vector<std::string> disk;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".pzd") == 0) {
            disk.push_back(Sjis(name.c_str()));
        }
    }
    EXPECT_EQ(found, disk);

    // A Shift-JIS folder name reaches the UTF-8 folder on disk.
    fs::create_directory(scratch.Path() / "ステージ");
    Touch(scratch.Path() / "ステージ" / "x.pzd");
    EXPECT_EQ(Lumora::FindFiles(Sjis("ステージ").c_str(), "*.pzd"), std::vector<std::string>{"x.pzd"});
}

TEST(FindFilesTest, MissingFoldersAndNamesWithoutAShiftJisFormGiveNothingAndNeverCrash)
{
    ScratchDirectory scratch;
    EXPECT_TRUE(Lumora::FindFiles("no/such/folder", "*.pzd").empty());
    EXPECT_TRUE(Lumora::FindFiles(nullptr, "*.pzd").empty());
    EXPECT_TRUE(Lumora::FindFiles(".", nullptr).empty());

    Touch(scratch.Path() / "\xFF\xFE.pzd");            // not UTF-8 at all
    Touch(scratch.Path() / "\xF0\x9F\x90\xB8.pzd");    // a character code page 932 lacks
    Touch(scratch.Path() / "kept.pzd");
    EXPECT_EQ(Lumora::FindFiles("", "*.pzd"), std::vector<std::string>{"kept.pzd"})
        << "names with no exact Shift-JIS form are left out; '' is the current folder";
    EXPECT_EQ(Sorted(Lumora::FindFiles(".", "*")), (std::vector<std::string>{"kept.pzd"}))
        << "'.' and '..' are never listed";
}

// A folder the game did not name itself (the player's, from the environment) is given as the
// disk spells it: here with a character Shift-JIS lacks, which FindFiles could not name.
TEST(FindFilesTest, AFolderGivenAsTheDiskSpellsItIsSearchedAsItIs)
{
    ScratchDirectory scratch;
    const fs::path folder = scratch.Path() / "Jos\xC3\xA9 \xF0\x9F\x90\xB8";
    fs::create_directories(folder);
    Touch(folder / "おまけ.pzd");
    Touch(folder / "notes.txt");
    EXPECT_EQ(Lumora::FindFilesInFolder(folder.string(), "*.pzd"), std::vector<std::string>{Sjis("おまけ.pzd")});
    EXPECT_TRUE(Lumora::FindFilesInFolder((folder / "missing").string(), "*.pzd").empty());
    EXPECT_TRUE(Lumora::FindFilesInFolder(folder.string(), nullptr).empty());
}

TEST(FolderTest, OnlyAnExistingFolderCanBeWrittenInto)
{
    ScratchDirectory scratch;
    EXPECT_TRUE(Lumora::IsFolderWritable(scratch.Path().string()));
    EXPECT_TRUE(Lumora::IsFolderWritable("")) << "'' is the current folder";
    Touch(scratch.Path() / "file");
    EXPECT_FALSE(Lumora::IsFolderWritable((scratch.Path() / "file").string())) << "a file is no folder";
    EXPECT_FALSE(Lumora::IsFolderWritable((scratch.Path() / "missing").string()));
    // Read-only for its owner too; root may write anyway, so that half needs a normal user.
    fs::create_directory(scratch.Path() / "locked");
    fs::permissions(scratch.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    if (geteuid() != 0) {
        EXPECT_FALSE(Lumora::IsFolderWritable((scratch.Path() / "locked").string()));
    }
    fs::permissions(scratch.Path() / "locked", fs::perms::owner_all);
}

// XDG_DATA_HOME and HOME as the XDG base directory rules read them.
class PlayerDataFolderTest : public ::testing::Test {
protected:
    PlayerDataFolderTest() : dataHome_(Get("XDG_DATA_HOME")), home_(Get("HOME")) {}
    ~PlayerDataFolderTest() override
    {
        Put("XDG_DATA_HOME", dataHome_);
        Put("HOME", home_);
    }
    static void Put(const char* name, const std::optional<std::string>& value)
    {
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    static std::string Folder()
    {
        std::string problem;
        std::string folder = Lumora::PlayerDataFolder("tomarugi", problem);
        EXPECT_EQ(folder.empty(), !problem.empty()) << "a problem exactly when there is no folder";
        return folder;
    }

private:
    static std::optional<std::string> Get(const char* name)
    {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
    std::optional<std::string> dataHome_;
    std::optional<std::string> home_;
};

TEST_F(PlayerDataFolderTest, XdgDataHomeFirstThenHomeAndNeitherWhenNeitherIsAbsolute)
{
    Put("HOME", "/home/player/");
    Put("XDG_DATA_HOME", "/data/player/");
    EXPECT_EQ(Folder(), "/data/player/tomarugi");
    // The rules ignore an empty or relative XDG_DATA_HOME: then ~/.local/share.
    for (const char* ignored : {"", "relative/data"}) {
        Put("XDG_DATA_HOME", ignored);
        EXPECT_EQ(Folder(), "/home/player/.local/share/tomarugi") << ignored;
    }
    Put("XDG_DATA_HOME", std::nullopt);
    Put("HOME", "/home/player");
    EXPECT_EQ(Folder(), "/home/player/.local/share/tomarugi");
    for (const char* unusable : {"", "player"}) {
        Put("HOME", unusable);
        EXPECT_EQ(Folder(), "") << "HOME='" << unusable << "'";
    }
    Put("HOME", std::nullopt);
    std::string problem;
    EXPECT_EQ(Lumora::PlayerDataFolder("tomarugi", problem), "");
    EXPECT_NE(problem.find("HOME"), std::string::npos) << problem;
}

} // namespace
