// The common font: made on a helper thread from the pack root while the start-up goes on,
// or on the caller's thread under "font\" when no helper was started.
#include "CommonGraphics.h"
#include "FakeEngine.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Notes each font asked for: its file name and whether the test's own thread asked.
class FontRender : public fake::Render {
public:
    explicit FontRender(fake::CallLog& log) : fake::Render(log) {}
    Lumora::IFont* CreateFont(const char* fileName, const char*, std::int32_t, std::int32_t,
                              std::int32_t) override
    {
        std::lock_guard lock(mutex);
        fonts.push_back(fileName);
        onTestThread.push_back(std::this_thread::get_id() == testThread);
        return nullptr;
    }
    std::mutex mutex;
    std::thread::id testThread = std::this_thread::get_id();
    std::vector<std::string> fonts;
    std::vector<bool> onTestThread;
};

class CommonGraphicsTest : public ::testing::Test {
protected:
    ~CommonGraphicsTest() override { ReleaseCommonGraphics(); }

    bool LogHas(const std::string& line)
    {
        for (const std::string& logged : log.Lines()) {
            if (logged == line) {
                return true;
            }
        }
        return false;
    }

    fake::CallLog log;
    fake::FileManager files{log};
    FontRender render{log};
};

TEST_F(CommonGraphicsTest, HelperMakesTheFontFromThePackRootAndLoadCommonGraphicsMakesNoSecond)
{
    StartLoadingCommonFont(&render);
    StartLoadingCommonFont(&render); // a second start does nothing
    LoadCommonGraphics(&files, &render, nullptr);
    WaitForCommonFont();

    ASSERT_EQ(render.fonts, std::vector<std::string>{"/font/Font_Azuki_32.lft"});
    EXPECT_FALSE(render.onTestThread[0]) << "the font was made on the starting thread";
    // The current directory is the loader's to set meanwhile: the font path does not use it.
    EXPECT_FALSE(LogHas("directory font\\"));
    EXPECT_EQ(render.references.load(), 1) << "the helper's reference to the render was not given back";
}

TEST_F(CommonGraphicsTest, WithoutAHelperLoadCommonGraphicsMakesTheFontUnderTheFontFolder)
{
    LoadCommonGraphics(&files, &render, nullptr);

    ASSERT_EQ(render.fonts, std::vector<std::string>{"Font_Azuki_32.lft"});
    EXPECT_TRUE(render.onTestThread[0]);
    EXPECT_TRUE(LogHas("directory font\\"));
    EXPECT_TRUE(LogHas("directory (none)"));
}

TEST_F(CommonGraphicsTest, ReleaseWaitsForTheHelperAndAllowsAFreshStart)
{
    StartLoadingCommonFont(&render);
    ReleaseCommonGraphics();
    EXPECT_EQ(render.fonts.size(), 1u);
    EXPECT_EQ(render.references.load(), 1);

    StartLoadingCommonFont(&render);
    WaitForCommonFont();
    EXPECT_EQ(render.fonts.size(), 2u);
}

} // namespace
