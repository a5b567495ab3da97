#include "Runtime.h"

#include <Lumora/System.h>
#include <Lumora/Testing.h>

#include <atomic>
#include <chrono>

namespace Lumora::Internal {
namespace {

std::atomic<bool> headless{false};
std::atomic<bool> headlessPixels{false};
// Virtual time in microseconds; only the harness moves it.
std::atomic<std::uint64_t> virtualMicroseconds{0};

using SteadyClock = std::chrono::steady_clock;

// The real clock starts at the first engine call that needs it (in practice during start-up),
// so millisecond values stay small and far from wrapping.
SteadyClock::time_point ClockStart()
{
    static const SteadyClock::time_point start = SteadyClock::now();
    return start;
}

} // namespace

RuntimeMode GetRuntimeMode()
{
    return RuntimeMode{headless.load(), headlessPixels.load()};
}

std::uint64_t ReadCounter()
{
    if (headless.load()) {
        return virtualMicroseconds.load();
    }
    const auto elapsed = SteadyClock::now() - ClockStart();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
}

std::uint64_t CounterFrequency()
{
    return headless.load() ? 1'000'000u : 1'000'000'000u;
}

std::uint32_t ReadMilliseconds()
{
    if (headless.load()) {
        return static_cast<std::uint32_t>(virtualMicroseconds.load() / 1000u);
    }
    const auto elapsed = SteadyClock::now() - ClockStart();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

} // namespace Lumora::Internal

namespace Lumora::System {

std::uint32_t GetMilliseconds()
{
    return Internal::ReadMilliseconds();
}

} // namespace Lumora::System

namespace Lumora::Testing {

void EnableHeadless(const HeadlessOptions& options)
{
    Internal::virtualMicroseconds.store(0);
    Internal::headlessPixels.store(options.pixels);
    Internal::headless.store(true);
}

void DisableHeadless()
{
    Internal::headless.store(false);
    Internal::headlessPixels.store(false);
}

bool IsHeadless()
{
    return Internal::headless.load();
}

void AdvanceClock(std::uint64_t microseconds)
{
    Internal::virtualMicroseconds.fetch_add(microseconds);
}

std::uint64_t GetClockMicroseconds()
{
    return Internal::virtualMicroseconds.load();
}

} // namespace Lumora::Testing
