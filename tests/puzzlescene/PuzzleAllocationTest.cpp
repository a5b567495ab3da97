// Steady play allocates nothing: every global operator new that the main thread makes while
// the puzzle screen updates and draws is counted, and the count must not move. (The solver's
// own thread allocates for each search, once per turn and beside the frames; it is not
// counted.)
#include "PuzzleSceneTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The replacements below pair malloc with free themselves; GCC cannot see that they are
// the program's operator new and delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
// Set by the main thread for itself only: another thread's allocations are not counted.
thread_local bool counting = false;
std::atomic<std::size_t> allocations{0};
} // namespace

void* operator new(std::size_t size)
{
    if (counting) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

// The non-throwing form too (std::stable_sort's scratch buffer uses it): left to the
// runtime, it would hand out memory the delete above passes to free (a mismatch under the
// address sanitizer, whose runtime provides its own operator new).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (counting) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
    return std::malloc(size == 0 ? 1 : size);
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace PuzzleSceneTest {
namespace {

class PuzzleAllocationTest : public PuzzleSceneFixture {
protected:
    // Updates and draws of the scene alone (the engine's frame begin and end outside).
    std::size_t CountSceneAllocations(int frames, std::initializer_list<int> firstButtons = {})
    {
        Lumora::IRender* render = application->GetRender();
        Lumora::IInputController* input = application->GetInputController();
        std::size_t counted = 0;
        for (int frame = 0; frame < frames; ++frame) {
            std::uint32_t mask = 0;
            if (frame == 0) {
                for (int button : firstButtons) {
                    mask |= std::uint32_t{1} << button;
                }
            }
            Lumora::Testing::SetHeldButtons(mask);
            Lumora::Testing::AdvanceClock(1'000'000 / 60);
            input->Refresh();
            render->BeginFrame();
            allocations = 0;
            counting = true;
            scene->Draw();
            scene->Update();
            counting = false;
            counted += allocations;
            render->EndFrame();
        }
        return counted;
    }
};

TEST_F(PuzzleAllocationTest, SteadyPlayAllocatesNothingPerFrame)
{
    ASSERT_TRUE(StartPuzzle("push.pzd"));
    CountSceneAllocations(30); // the first frames upload and settle
    EXPECT_EQ(CountSceneAllocations(120), 0u) << "standing";
    EXPECT_EQ(CountSceneAllocations(60, {ButtonRight}), 0u) << "turning";
    EXPECT_EQ(CountSceneAllocations(60, {ButtonPush}), 0u) << "pushing a frog";
    EXPECT_EQ(CountSceneAllocations(60, {ButtonMenu}), 0u) << "menu open";
}

} // namespace
} // namespace PuzzleSceneTest
