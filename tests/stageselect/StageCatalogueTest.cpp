// The stage catalogue: which stages are listed, in what order, and what is shown for each,
// with the records read from (and first rows added to) the save database.
#include "StageCatalogue.h"

#include "CurrentStage.h"
#include "GameFolders.h"
#include "MemoryFile.h"
#include "SaveDataManager.h"
#include "ScratchDirectory.h"
#include "StageDataReader.h"

#include <Lumora/Directory.h>
#include <Lumora/Text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

namespace {

namespace fs = std::filesystem;

std::string Sjis(const char* utf8)
{
    return Lumora::Utf8ToShiftJis(utf8);
}

// A width x height stage of ice with the given objects in its first cells.
std::vector<std::uint8_t> StageBytes(std::uint8_t width, std::uint8_t height, std::vector<StageObject> objects)
{
    StageDataReader stage;
    stage.width = width;
    stage.height = height;
    stage.cells.assign(static_cast<std::size_t>(width) * height, StageCell{1, 0});
    for (std::size_t i = 0; i < objects.size() && i < stage.cells.size(); ++i) {
        stage.cells[i].object = static_cast<std::int32_t>(objects[i]);
    }
    return stage.ToBytes();
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class StageCatalogueTest : public ::testing::Test {
protected:
    StageCatalogueTest() { currentStageKind = StageKind::Normal; }
    ~StageCatalogueTest() override { currentStageKind = StageKind::Normal; }

    // True when the save file has a row for the stage: SetBestRecord only changes rows that
    // exist, so a record written afterwards reads back only then.
    static bool HasRecordRow(StageKind kind, const std::string& name)
    {
        SaveDataManager save;
        save->SetBestRecord(kind, name, 99);
        return save->GetBestRecord(kind, name) == 99;
    }

    ScratchDirectory scratch;
    StageCatalogue catalogue;
};

constexpr StageObject kFrog = StageObject::FrozenFrog;
constexpr StageObject kStart = StageObject::PlayerStart;

TEST_F(StageCatalogueTest, NormalStageNamesAreTheFiveShiftJisFileNamesInTableOrder)
{
    const auto& names = NormalStageNames();
    const char* expected[] = {"練習問題１.pzd", "練習問題２.pzd", "体験版Easy.pzd", "体験版Normal.pzd",
                              "体験版Hard.pzd"};
    for (std::size_t i = 0; i < kNormalStageCount; ++i) {
        EXPECT_EQ(std::string(names[i].data()), Sjis(expected[i])) << i;
        EXPECT_EQ(names[i].size(), 260u);
    }
    EXPECT_EQ(std::strlen(names[0].data()), 14u) << "four kanji and a full-width digit: 2 bytes each";
}

TEST_F(StageCatalogueTest, NormalListIsTheFiveNamesWithFrogsSizeAndRecordsOfEachFile)
{
    MemoryFile first(StageBytes(3, 2, {kStart, kFrog, kFrog, kFrog}));
    MemoryFile second(StageBytes(7, 5, {kFrog}));
    MemoryFile damaged(std::vector<std::uint8_t>{0x00, 0x00}); // shorter than a header
    catalogue.stageFiles = {&first, &second, nullptr, &damaged, nullptr};
    const std::string hard(NormalStageNames()[4].data());
    {
        SaveDataManager save;
        save->GetBestRecord(StageKind::Normal, hard);
        save->SetBestRecord(StageKind::Normal, hard, 17);
    }

    BuildNormalCatalogue(catalogue);
    catalogue.stageFiles = {}; // the files belong to this test, not to the catalogue

    ASSERT_EQ(catalogue.stageNames.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(catalogue.stageNames[i], std::string(NormalStageNames()[i].data()));
    }
    ASSERT_EQ(catalogue.stageInfos.size(), 5u);
    const StageInfo& practice = catalogue.stageInfos.at(catalogue.stageNames[0]);
    EXPECT_EQ(practice.frogCount, 3) << "the player start is not a frog";
    EXPECT_EQ(practice.width, 3);
    EXPECT_EQ(practice.height, 2);
    EXPECT_EQ(practice.bestRecord, 0);
    EXPECT_EQ(catalogue.stageInfos.at(catalogue.stageNames[1]).width, 7);
    EXPECT_EQ(catalogue.stageInfos.at(catalogue.stageNames[1]).frogCount, 1);

    // A file that never arrived, and one too short to hold a stage, show 0 x 0 and no frogs.
    for (std::size_t i : {2u, 3u}) {
        const StageInfo& missing = catalogue.stageInfos.at(catalogue.stageNames[i]);
        EXPECT_EQ(missing.frogCount, 0) << i;
        EXPECT_EQ(missing.width, 0) << i;
        EXPECT_EQ(missing.height, 0) << i;
    }
    EXPECT_EQ(catalogue.stageInfos.at(hard).bestRecord, 17) << "a stored record is shown";

    // Every listed stage now has its row in the normal table, none in the extra one.
    EXPECT_TRUE(HasRecordRow(StageKind::Normal, catalogue.stageNames[0]));
    EXPECT_FALSE(HasRecordRow(StageKind::Extra, catalogue.stageNames[0]));
}

TEST_F(StageCatalogueTest, NormalListStaysTheFiveNamesWhateverTheKindOfTheLookup)
{
    // The normal list never depends on the files or the folder on disk.
    fs::create_directories("data/stage/extra");
    WriteFile("data/stage/extra/x.pzd", StageBytes(1, 1, {}));
    BuildNormalCatalogue(catalogue);
    EXPECT_EQ(catalogue.stageNames.size(), 5u);
    EXPECT_EQ(catalogue.stageInfos.count("x.pzd"), 0u);
}

TEST_F(StageCatalogueTest, ExtraListIsInNameOrderAndKeysRecordsByShiftJisName)
{
    currentStageKind = StageKind::Extra;
    const fs::path folder = "data/stage/extra";
    fs::create_directories(folder);
    WriteFile(folder / "zz.pzd", StageBytes(4, 4, {kStart, kFrog}));
    WriteFile(folder / "aa.pzd", StageBytes(2, 3, {kFrog, kFrog, kStart}));
    WriteFile(folder / "おまけ１.pzd", StageBytes(5, 6, {kFrog, kFrog, kFrog, kStart}));
    WriteFile(folder / "it's.pzd", StageBytes(1, 1, {kStart}));
    WriteFile(folder / "readme.txt", {1, 2, 3});
    fs::create_directory(folder / "not a stage.pzd");

    BuildExtraCatalogue(catalogue);

    const std::vector<std::string> byName = {"aa.pzd", "it's.pzd", "not a stage.pzd", "zz.pzd",
                                             Sjis("おまけ１.pzd")};
    EXPECT_EQ(catalogue.stageNames, byName) << "listed by name, whatever order the directory gives";
    ASSERT_EQ(catalogue.stageNames.size(), 5u);
    ASSERT_EQ(catalogue.stageInfos.size(), 5u);

    const std::string japanese = Sjis("おまけ１.pzd");
    ASSERT_EQ(catalogue.stageInfos.count(japanese), 1u) << "listed under its Shift-JIS bytes";
    const StageInfo& bonus = catalogue.stageInfos.at(japanese);
    EXPECT_EQ(bonus.frogCount, 3);
    EXPECT_EQ(bonus.width, 5);
    EXPECT_EQ(bonus.height, 6);
    EXPECT_EQ(catalogue.stageInfos.at("aa.pzd").frogCount, 2);
    EXPECT_EQ(catalogue.stageInfos.at("it's.pzd").width, 1);
    const StageInfo& folderEntry = catalogue.stageInfos.at("not a stage.pzd");
    EXPECT_EQ(folderEntry.frogCount + folderEntry.width + folderEntry.height, 0)
        << "an entry that is not a readable file is listed as an empty stage";

    // Rows in the extra table, under the Shift-JIS name; the quote does not break the SQL.
    EXPECT_TRUE(HasRecordRow(StageKind::Extra, japanese));
    EXPECT_TRUE(HasRecordRow(StageKind::Extra, "it's.pzd"));
    EXPECT_FALSE(HasRecordRow(StageKind::Normal, "aa.pzd"));
}

TEST_F(StageCatalogueTest, ExtraListIsEmptyWithoutTheFolderOrWithoutStageFiles)
{
    currentStageKind = StageKind::Extra;
    BuildExtraCatalogue(catalogue);
    EXPECT_TRUE(catalogue.stageNames.empty());
    EXPECT_TRUE(catalogue.stageInfos.empty());

    fs::create_directories("data/stage/extra");
    WriteFile("data/stage/extra/readme.txt", {1});
    StageCatalogue again;
    BuildExtraCatalogue(again);
    EXPECT_TRUE(again.stageNames.empty());
}

TEST(ExtraStageNameOrder, AsciiLettersCompareWithoutCaseAndEveryOtherByteByItsValue)
{
    auto sorted = [](std::vector<std::string> names) {
        std::sort(names.begin(), names.end(), ExtraStageNameLess);
        return names;
    };
    EXPECT_EQ(sorted({"cherry.pzd", "Banana.pzd", "apple.pzd", "APRICOT.pzd"}),
              (std::vector<std::string>{"apple.pzd", "APRICOT.pzd", "Banana.pzd", "cherry.pzd"}));
    // Numbered stages keep their numbers' order; a shorter name that is a prefix comes first.
    EXPECT_EQ(sorted({"2-01.pzd", "1-10.pzd", "1-02.pzd", "1.pzd"}),
              (std::vector<std::string>{"1-02.pzd", "1-10.pzd", "1.pzd", "2-01.pzd"}));
    // Lowercase, not uppercase, is what letters are compared as: '_' (0x5F) sorts between
    // 'Z' and 'a', so "a_" comes after "ab" only when letters read as lowercase.
    EXPECT_FALSE(ExtraStageNameLess("Ab.pzd", "a_.pzd"));
    EXPECT_TRUE(ExtraStageNameLess("a_.pzd", "Ab.pzd"));
    // The second byte of a two-byte character is never a letter: イ is 83 42, ヂ is 83 61.
    // Folding 0x42 ('B') would put イ after ヂ.
    EXPECT_TRUE(ExtraStageNameLess(Sjis("イ.pzd"), Sjis("ヂ.pzd")));
    EXPECT_FALSE(ExtraStageNameLess(Sjis("ヂ.pzd"), Sjis("イ.pzd")));
    // ASCII before Shift-JIS (lead bytes are 0x81 and above); kana in their code order.
    EXPECT_EQ(sorted({Sjis("おまけ２.pzd"), Sjis("おまけ１.pzd"), "zz.pzd"}),
              (std::vector<std::string>{"zz.pzd", Sjis("おまけ１.pzd"), Sjis("おまけ２.pzd")}));
    // Names that differ only in case are both kept, in one fixed order.
    EXPECT_TRUE(ExtraStageNameLess("A.pzd", "a.pzd"));
    EXPECT_FALSE(ExtraStageNameLess("a.pzd", "A.pzd"));
    EXPECT_FALSE(ExtraStageNameLess("a.pzd", "a.pzd"));
}

// The player's own extra stages, in "$XDG_DATA_HOME/tomarugi/stage/extra", join the shipped
// ones in "data/stage/extra" beside the program.
class PlayerExtraStagesTest : public StageCatalogueTest {
protected:
    PlayerExtraStagesTest()
    {
        if (const char* previous = std::getenv("XDG_DATA_HOME")) {
            previousDataHome_ = previous;
        }
        setenv("XDG_DATA_HOME", (scratch.Path() / "xdg").c_str(), 1);
        PrepareGameFolders();
        currentStageKind = StageKind::Extra;
        fs::create_directories(shipped);
        fs::create_directories(own);
    }
    ~PlayerExtraStagesTest() override
    {
        if (previousDataHome_) {
            setenv("XDG_DATA_HOME", previousDataHome_->c_str(), 1);
        } else {
            unsetenv("XDG_DATA_HOME");
        }
        PrepareGameFolders();
    }

    const fs::path shipped = "data/stage/extra";
    const fs::path own = scratch.Path() / "xdg" / "tomarugi" / "stage" / "extra";

private:
    std::optional<std::string> previousDataHome_;
};

TEST_F(PlayerExtraStagesTest, BothFoldersAreListedInNameOrderAndTheSharedNameOnceFromThePlayersFile)
{
    WriteFile(shipped / "shared.pzd", StageBytes(1, 1, {kStart}));
    WriteFile(shipped / "C.pzd", StageBytes(2, 2, {kStart, kFrog}));
    WriteFile(own / "shared.pzd", StageBytes(3, 4, {kStart, kFrog, kFrog}));
    WriteFile(own / "b.pzd", StageBytes(5, 5, {kStart}));
    WriteFile(own / "おまけ.pzd", StageBytes(6, 6, {kStart}));

    BuildExtraCatalogue(catalogue);

    EXPECT_EQ(catalogue.stageNames,
              (std::vector<std::string>{"b.pzd", "C.pzd", "shared.pzd", Sjis("おまけ.pzd")}));
    ASSERT_EQ(catalogue.stageInfos.count("shared.pzd"), 1u);
    const StageInfo& shared = catalogue.stageInfos.at("shared.pzd");
    EXPECT_EQ(shared.width, 3) << "the player's file is the one shown";
    EXPECT_EQ(shared.frogCount, 2);
    EXPECT_EQ(catalogue.stageInfos.at("C.pzd").width, 2);
    EXPECT_EQ(catalogue.stageInfos.at(Sjis("おまけ.pzd")).width, 6);

    // The puzzle opens the same files the list was read from.
    EXPECT_EQ(fs::path(ExtraStageFilePath("shared.pzd")), own / "shared.pzd");
    EXPECT_EQ(fs::path(ExtraStageFilePath("C.pzd")), shipped / "C.pzd");
    EXPECT_EQ(fs::path(ExtraStageFilePath(Sjis("おまけ.pzd"))), own / "おまけ.pzd");
    EXPECT_EQ(fs::path(ExtraStageFilePath("missing.pzd")), shipped / "missing.pzd");
}

TEST_F(PlayerExtraStagesTest, AWritableGameFolderKeepsTheSaveFileBesideTheProgram)
{
    EXPECT_EQ(GetSaveFilePath(), "tomarugi.save");
    EXPECT_EQ(fs::path(GetPlayerFolder()), scratch.Path() / "xdg" / "tomarugi");
    EXPECT_FALSE(fs::exists(scratch.Path() / "xdg" / "tomarugi" / "tomarugi.save"))
        << "nothing is made in the player's folder while the game folder can be written";
}

// A kept endless board lands in the player's folder under its ID, replaces an older copy
// whole, leaves no temporary file behind and shows on the extra list; a folder that cannot
// be made is reported and nothing is listed.
TEST_F(PlayerExtraStagesTest, AKeptBoardIsWrittenWholeIntoThePlayersFolderAndListed)
{
    std::string where;
    ASSERT_TRUE(KeepPlayerStage("2A-048213.pzd", StageBytes(1, 1, {kStart}), where)) << where;
    const std::vector<std::uint8_t> board = StageBytes(3, 2, {kStart, kFrog, kFrog, kFrog, kFrog, kFrog});
    ASSERT_TRUE(KeepPlayerStage("2A-048213.pzd", board, where)) << where;
    EXPECT_EQ(fs::path(where), own / "2A-048213.pzd");
    std::ifstream in(own / "2A-048213.pzd", std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}), board);
    EXPECT_EQ(std::distance(fs::directory_iterator(own), fs::directory_iterator()), 1) << "a temporary file was left";
    BuildExtraCatalogue(catalogue);
    EXPECT_EQ(catalogue.stageNames, (std::vector<std::string>{"2A-048213.pzd"}));

    fs::remove_all(own);
    WriteFile(own, {}); // a file where the folder should be
    EXPECT_FALSE(KeepPlayerStage("1A-000001.pzd", board, where));
    EXPECT_NE(where.find("cannot write"), std::string::npos) << where;
}

} // namespace
