// The core in headless mode: life cycle, loop control, clocks and scripted input.
#include <Lumora/ICore.h>
#include <Lumora/IInputController.h>
#include <Lumora/System.h>
#include <Lumora/Testing.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <unistd.h>

// The sanitizers bring their own allocator, which the heap test below does not describe.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOMARUGI_OWN_ALLOCATOR 1
#endif

namespace {

class HeadlessCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lumora::Testing::EnableHeadless();
        ASSERT_NE(Lumora::System::Initialize(1, 1, 1), 0);
    }
    void TearDown() override
    {
        Lumora::SafeRelease(core);
        Lumora::System::Finalize();
        Lumora::Testing::DisableHeadless();
    }
    Lumora::ICore* core = nullptr;
};

TEST_F(HeadlessCore, OneCoreAtATime)
{
    core = Lumora::System::CreateCore();
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(Lumora::System::CreateCore(), nullptr);
    Lumora::SafeRelease(core);
    core = Lumora::System::CreateCore();
    EXPECT_NE(core, nullptr);
}

// A renderer frees megabytes of per-frame memory and takes them again the next frame: once
// the engine has started, freeing it must not hand the heap back to the kernel (to be
// faulted in again page by page).
TEST_F(HeadlessCore, FreedFrameMemoryStaysInTheProcess)
{
#if !defined(__GLIBC__) || defined(TOMARUGI_OWN_ALLOCATOR)
    GTEST_SKIP() << "describes glibc's allocator";
#else
    std::vector<void*> blocks;
    for (int i = 0; i < 256; ++i) { // 16 MiB in 64 KiB blocks, as a software renderer bins
        blocks.push_back(std::malloc(64 * 1024));
        ASSERT_NE(blocks.back(), nullptr);
        static_cast<char*>(blocks.back())[0] = 1;
    }
    void* const breakBefore = sbrk(0);
    for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
        std::free(*block);
    }
    EXPECT_EQ(sbrk(0), breakBefore);
#endif
}

TEST_F(HeadlessCore, RunGoesOnUntilExit)
{
    core = Lumora::System::CreateCore();
    EXPECT_EQ(core->Run(0), 0); // no window yet: nothing to run
    ASSERT_NE(core->Initialize("\x83\x67\x83\x7D\x83\x8B\x83\x4D", 0), 0);
    core->SetOption(0);
    ASSERT_NE(core->Start(640, 480, 1), 0);
    EXPECT_NE(core->Run(0), 0);
    EXPECT_NE(core->Run(0), 0);
    core->Exit();
    EXPECT_EQ(core->Run(0), 0);
    EXPECT_EQ(core->Run(0), 0);
}

TEST_F(HeadlessCore, StartRefusesEmptyOrAbsurdScreens)
{
    core = Lumora::System::CreateCore();
    EXPECT_EQ(core->Start(640, 480, 1), 0); // before Initialize
    ASSERT_NE(core->Initialize("t", 0), 0);
    EXPECT_EQ(core->Start(0, 480, 1), 0);
    EXPECT_EQ(core->Start(640, -1, 1), 0);
    EXPECT_EQ(core->Start(100000, 480, 1), 0);
    EXPECT_NE(core->Start(320, 240, 0), 0);
}

TEST_F(HeadlessCore, ClocksMoveOnlyWithTheVirtualClock)
{
    core = Lumora::System::CreateCore();
    EXPECT_EQ(core->GetPerformanceFrequency(), 1'000'000u);
    const std::uint64_t start = core->GetPerformanceCounter();
    EXPECT_EQ(core->GetPerformanceCounter(), start);
    Lumora::Testing::AdvanceClock(16'667);
    EXPECT_EQ(core->GetPerformanceCounter() - start, 16'667u);
    EXPECT_EQ(Lumora::System::GetMilliseconds(), 16u);
    Lumora::Testing::AdvanceClock(984'333);
    EXPECT_EQ(Lumora::System::GetMilliseconds(), 1001u);
    // 60 updates' worth of periods, as the game's loop divides it.
    EXPECT_EQ((core->GetPerformanceCounter() - start) / (core->GetPerformanceFrequency() / 60), 60u);
}

TEST_F(HeadlessCore, SoundFactoriesRefuseMissingFilesNamingThem)
{
    core = Lumora::System::CreateCore();
    ASSERT_NE(core->Initialize("t", 0), 0);
    EXPECT_EQ(core->GetFileManager(), nullptr);
    ::testing::internal::CaptureStderr();
    Lumora::ISound* sound = core->CreateSound("decision.wav", 1, 0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(sound, nullptr);
    EXPECT_NE(said.find("decision.wav"), std::string::npos);
}

TEST_F(HeadlessCore, ScriptedButtonsReachTheInputController)
{
    core = Lumora::System::CreateCore();
    ASSERT_NE(core->Initialize("t", 0), 0);
    Lumora::IInputController* input = core->CreateInputController(0, 60, 15);
    ASSERT_NE(input, nullptr);
    Lumora::Testing::SetHeldButtons(1u << 16);
    core->Run(0);
    input->Refresh();
    EXPECT_TRUE(input->GetState(Lumora::InputPressed, 16));
    EXPECT_FALSE(input->GetState(Lumora::InputHeld, 17));
    input->Refresh();
    EXPECT_TRUE(input->GetState(Lumora::InputHeld, 16));
    EXPECT_FALSE(input->GetState(Lumora::InputPressed, 16)); // held, not pressed again
    Lumora::Testing::SetHeldButtons(0);
    input->Refresh();
    EXPECT_FALSE(input->GetState(Lumora::InputHeld, 16));
    input->Release();
}

TEST_F(HeadlessCore, TypedTextIsKeptOnlyWhileTextInputIsOnAndHandedOverOnce)
{
    Lumora::Testing::TypeText("lost");          // off: nothing is collected
    Lumora::System::StartTextInput();
    EXPECT_TRUE(Lumora::System::IsTextInputActive());
    EXPECT_EQ(Lumora::System::TakeTypedText(), "");
    Lumora::Testing::TypeText("ゆき");
    Lumora::Testing::TypeText("\b\r");
    EXPECT_EQ(Lumora::System::TakeTypedText(), "ゆき\b\r");
    EXPECT_EQ(Lumora::System::TakeTypedText(), ""); // handed over once
    Lumora::Testing::TypeText("left over");
    Lumora::System::StopTextInput();            // drops what was not taken
    EXPECT_FALSE(Lumora::System::IsTextInputActive());
    Lumora::System::StartTextInput();
    EXPECT_EQ(Lumora::System::TakeTypedText(), "");
    Lumora::System::StopTextInput();
}

TEST(RealClock, MillisecondsAdvanceWithTime)
{
    const std::uint32_t before = Lumora::System::GetMilliseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::uint32_t after = Lumora::System::GetMilliseconds();
    EXPECT_GE(after - before, 19u);
    EXPECT_LT(after - before, 2000u);
}

} // namespace
