// The packer: a folder tree in, a pack out that the engine reads with the game's password;
// and the build-time pack made by tomarugi_add_pack from a staged folder.
#include "PackReader.h"
#include "PackTestSupport.h"

#include <cstdlib>
#include <sys/wait.h>

namespace {

using namespace PackTest;
using namespace Tomarugi::Pack;

// Runs the tomarugi-pack program; returns its exit status, stderr in `errors`.
int RunPacker(const std::string& arguments, std::string* errors = nullptr)
{
    // One file per test: CTest runs the test cases as parallel processes.
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    const fs::path folder = fs::current_path() / "scratch";
    fs::create_directories(folder);
    const std::string errorFile =
        (folder / (std::string(test->test_suite_name()) + "." + test->name() + ".stderr")).string();
    const std::string command = std::string("'") + TOMARUGI_PACK_PROGRAM + "' " + arguments +
                                " >/dev/null 2>'" + errorFile + "'";
    const int status = std::system(command.c_str());
    if (errors != nullptr) {
        const auto bytes = ReadWhole(errorFile);
        errors->assign(bytes.begin(), bytes.end());
    }
    fs::remove(errorFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const fs::path& path)
{
    return "'" + path.string() + "'";
}

TEST(Packer, PacksAFolderTreeUnderShiftJisNames)
{
    ScratchFolder scratch;
    const fs::path stage = scratch.Path() / "stage";
    fs::create_directories(stage / "stage" / "normal");
    fs::create_directories(stage / "font");
    fs::create_directories(stage / "unused-empty-folder");
    WriteWhole(stage / "stage" / "normal" / "練習問題１.pzd", Bytes("one"));
    WriteWhole(stage / "font" / "Font.lft", RandomBytes(2000, 2));
    WriteWhole(stage / "font" / "empty.tga", {});

    std::vector<PackInputFile> files;
    std::string error;
    ASSERT_TRUE(CollectDirectory(stage, files, error)) << error;
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "font/Font.lft"); // byte order of the UTF-8 paths
    EXPECT_EQ(files[1].name, "font/empty.tga");
    EXPECT_EQ(files[2].name, Lumora::Utf8ToShiftJis("stage/normal/練習問題１.pzd"));

    ASSERT_EQ(RunPacker("create " + Quote(scratch.Path() / "data.lpk") + " --password hasunohanagasaku " +
                        "--kdf-ops 1 --kdf-memory 8 " + Quote(stage)), 0);
    ManagerHolder manager(scratch.Path());
    ASSERT_TRUE(manager->SetPackFile(0, "data", kPassword));
    manager->SetCurrentDirectory("stage/normal");
    EXPECT_EQ(OpenAndRead(manager.manager, Lumora::Utf8ToShiftJis("練習問題１.pzd")), Bytes("one"));
    manager->SetCurrentDirectory("font\\");
    EXPECT_EQ(OpenAndRead(manager.manager, "Font.lft"), files[0].bytes);
    EXPECT_EQ(OpenAndRead(manager.manager, "empty.tga"), std::vector<std::uint8_t>{});
}

TEST(Packer, ListVerifyAndExtractRoundTrip)
{
    ScratchFolder scratch;
    const fs::path stage = scratch.Path() / "in";
    fs::create_directories(stage / "graphic" / "sprite");
    WriteWhole(stage / "graphic" / "sprite" / "体験版.png", RandomBytes(5000, 3));
    WriteWhole(stage / "notes.txt", Bytes(std::string(3000, 'n')));
    const fs::path pack = scratch.Path() / "p.lpk";
    ASSERT_EQ(RunPacker("create " + Quote(pack) + " --password pw --kdf-ops 1 --kdf-memory 8 " + Quote(stage)), 0);
    EXPECT_EQ(RunPacker("list " + Quote(pack) + " --password pw"), 0);
    EXPECT_EQ(RunPacker("verify " + Quote(pack) + " --password pw"), 0);
    ASSERT_EQ(RunPacker("extract " + Quote(pack) + " --password pw " + Quote(scratch.Path() / "out")), 0);
    EXPECT_EQ(ReadWhole(scratch.Path() / "out" / "graphic" / "sprite" / "体験版.png"),
              ReadWhole(stage / "graphic" / "sprite" / "体験版.png"));
    EXPECT_EQ(ReadWhole(scratch.Path() / "out" / "notes.txt"), ReadWhole(stage / "notes.txt"));

    // A damaged entry fails verify and extract with a message naming pack and entry.
    auto bytes = ReadWhole(pack);
    bytes[Lumora::Internal::kPackHeaderSize] ^= 1; // first byte of the first entry
    WriteWhole(pack, bytes);
    std::string errors;
    EXPECT_EQ(RunPacker("verify " + Quote(pack) + " --password pw", &errors), 1);
    EXPECT_NE(errors.find("p.lpk"), std::string::npos) << errors;
    EXPECT_NE(errors.find("体験版.png"), std::string::npos) << errors;
    EXPECT_EQ(RunPacker("extract " + Quote(pack) + " --password pw " + Quote(scratch.Path() / "out2"), &errors), 1);
}

TEST(Packer, BadInputGivesAClearErrorAndNoPack)
{
    ScratchFolder scratch;
    std::string errors;
    const fs::path out = scratch.Path() / "out.lpk";
    EXPECT_EQ(RunPacker("create " + Quote(out) + " --password pw " + Quote(scratch.Path() / "missing"), &errors), 1);
    EXPECT_NE(errors.find("not a directory"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(out));

    fs::create_directories(scratch.Path() / "odd");
    WriteWhole(scratch.Path() / "odd" / "smile😀.png", Bytes("x"));
    EXPECT_EQ(RunPacker("create " + Quote(out) + " --password pw " + Quote(scratch.Path() / "odd"), &errors), 1);
    EXPECT_NE(errors.find("Shift-JIS"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(out));

    fs::remove_all(scratch.Path() / "odd");
    fs::create_directories(scratch.Path() / "odd");
    WriteWhole(scratch.Path() / "odd" / "back\\slash.png", Bytes("x"));
    EXPECT_EQ(RunPacker("create " + Quote(out) + " --password pw " + Quote(scratch.Path() / "odd"), &errors), 1);
    EXPECT_FALSE(fs::exists(out));

    EXPECT_EQ(RunPacker("create " + Quote(out) + " " + Quote(scratch.Path()), &errors), 2) << "no password";
    EXPECT_EQ(RunPacker("frobnicate x --password pw", &errors), 2);
    fs::create_directories(scratch.Path() / "good");
    EXPECT_EQ(RunPacker("create " + Quote(out) + " --password pw --kdf-memory 1 " + Quote(scratch.Path() / "good"), &errors), 1);
    EXPECT_NE(errors.find("out of range"), std::string::npos) << errors;
    EXPECT_EQ(RunPacker("create " + Quote(out) + " --password pw --level 12 " + Quote(scratch.Path() / "good"), &errors), 2);
    EXPECT_EQ(RunPacker("list " + Quote(scratch.Path() / "nothing.lpk") + " --password pw", &errors), 1);
    EXPECT_NE(errors.find("nothing.lpk"), std::string::npos) << errors;
}

TEST(Packer, UpdateRewritesThePackOnlyWhenTheFolderChanged)
{
    ScratchFolder scratch;
    const fs::path stage = scratch.Path() / "in";
    fs::create_directories(stage / "sub");
    WriteWhole(stage / "sub" / "a.bin", RandomBytes(3000, 11));
    WriteWhole(stage / "b.txt", Bytes("bee"));
    const fs::path pack = scratch.Path() / "data.lpk";
    const std::string create = "create " + Quote(pack) + " --password pw --kdf-ops 1 --kdf-memory 8 --update " + Quote(stage);
    ASSERT_EQ(RunPacker(create), 0);
    const auto first = ReadWhole(pack); // salts and nonces are random: a rewrite differs

    ASSERT_EQ(RunPacker(create), 0);
    EXPECT_EQ(ReadWhole(pack), first) << "an up-to-date pack was rewritten";

    // Each change must produce a new pack (compared with the one before it).
    std::vector<std::uint8_t> previous = first;
    auto expectRewritten = [&](const char* what) {
        EXPECT_EQ(RunPacker(create), 0) << what;
        const auto now = ReadWhole(pack);
        EXPECT_NE(now, previous) << what;
        previous = now;
    };
    WriteWhole(stage / "b.txt", Bytes("bea"));
    expectRewritten("same size, one byte changed");
    WriteWhole(stage / "c.txt", {});
    expectRewritten("a file added");
    fs::remove(stage / "c.txt");
    expectRewritten("a file removed");
    EXPECT_EQ(RunPacker(create), 0);
    EXPECT_EQ(ReadWhole(pack), previous) << "an up-to-date pack was rewritten";
    ASSERT_EQ(RunPacker("create " + Quote(pack) + " --password other --kdf-ops 1 --kdf-memory 8 --update " + Quote(stage)), 0);
    EXPECT_NE(ReadWhole(pack), previous) << "another password";
    ManagerHolder manager(scratch.Path());
    ASSERT_TRUE(manager->SetPackFile(0, "data", "other"));
    EXPECT_EQ(OpenAndRead(manager.manager, "b.txt"), Bytes("bea"));
}

TEST(Packer, WritePackNeverLeavesAHalfWrittenPack)
{
    ScratchFolder scratch;
    std::string error;
    const fs::path out = scratch.Path() / "no-such-folder" / "data.lpk";
    EXPECT_FALSE(WritePack(out, {{"a", Bytes("a")}}, kPassword, CheapOptions(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(WritePack(scratch.Path() / "dup.lpk", {{"a/b", Bytes("1")}, {"a\\b", Bytes("2")}},
                           kPassword, CheapOptions(), error));
    EXPECT_NE(error.find("two files"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(scratch.Path() / "dup.lpk"));
}

TEST(Packer, TheBuildTimePackHoldsTheStagedFolder)
{
    // Made at build time by tomarugi_add_pack from files this test's CMakeLists stages,
    // with the game's password and the default key derivation cost.
    ManagerHolder manager{fs::path(TOMARUGI_TEST_PACK_DIRECTORY)};
    ASSERT_TRUE(manager->SetPackFile(0, "data", "hasunohanagasaku"));
    manager->SetCurrentDirectory("stage/normal");
    EXPECT_EQ(OpenAndRead(manager.manager, Lumora::Utf8ToShiftJis("体験版Easy.pzd")), Bytes("staged easy stage\n"));
    manager->SetCurrentDirectory("font\\");
    EXPECT_EQ(OpenAndRead(manager.manager, "Font.lft"), Bytes("staged font\n"));
}

} // namespace
