#include "HarnessMeasure.h"

#include <Lumora/Testing.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#include <unistd.h>

namespace {

// The file name of the loading overlay's picture (drawn over the whole screen while the
// loader works and for up to 25 frames after).
constexpr const char* kOverlayPicture = "nowloading_back.png";

constexpr std::int64_t kFramePeriodNanoseconds = 1'000'000'000 / 60;

bool EndsWith(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

} // namespace

double ProcessAgeMilliseconds()
{
    std::ifstream file("/proc/self/stat");
    std::string text;
    std::getline(file, text);
    // The command name in field 2 may hold blanks; the fields after its ')' do not.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return -1.0;
    }
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    // Fields 3 to 21, then 22: the start time in clock ticks after the boot.
    for (int index = 3; index <= 21 && fields >> field; ++index) {
    }
    unsigned long long startTicks = 0;
    timespec now{};
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (!(fields >> startTicks) || ticksPerSecond <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0) {
        return -1.0;
    }
    const double nowMilliseconds = static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
    return nowMilliseconds - static_cast<double>(startTicks) * 1000.0 / static_cast<double>(ticksPerSecond);
}

namespace {
double ClockMilliseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}
} // namespace

double ThreadCpuMilliseconds() { return ClockMilliseconds(CLOCK_THREAD_CPUTIME_ID); }
double ProcessCpuMilliseconds() { return ClockMilliseconds(CLOCK_PROCESS_CPUTIME_ID); }

ResidentMemory ReadResidentMemory()
{
    ResidentMemory memory;
    std::ifstream file("/proc/self/status");
    std::string key;
    while (file >> key) {
        if (key == "VmHWM:") {
            file >> memory.peakKilobytes;
        } else if (key == "VmRSS:") {
            file >> memory.currentKilobytes;
        }
        file.ignore(1 << 16, '\n');
    }
    return memory;
}

bool LastFrameShows(const std::string& textureFile)
{
    bool drawn = false;
    for (const Lumora::Testing::RecordedDraw& draw : Lumora::Testing::GetLastFrame()) {
        if (draw.kind != Lumora::Testing::RecordedDraw::Kind::Texture &&
            draw.kind != Lumora::Testing::RecordedDraw::Kind::Sprite) {
            continue;
        }
        if (EndsWith(draw.texture, kOverlayPicture)) {
            return false;
        }
        drawn = drawn || (EndsWith(draw.texture, textureFile) && (draw.argb >> 24) != 0);
    }
    return drawn;
}

RealTimePacer::RealTimePacer() : start_(Clock::now()), startMicroseconds_(Lumora::Testing::GetClockMicroseconds())
{
}

void RealTimePacer::BeforePass()
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count();
    const std::uint64_t target = startMicroseconds_ + static_cast<std::uint64_t>(elapsed);
    const std::uint64_t clock = Lumora::Testing::GetClockMicroseconds();
    if (target > clock) {
        Lumora::Testing::AdvanceClock(target - clock);
    }
}

void RealTimePacer::AfterPass()
{
    ++passes_;
    const auto period = std::chrono::nanoseconds(kFramePeriodNanoseconds);
    const Clock::time_point now = Clock::now();
    if (start_ + passes_ * period < now) {
        // A pass longer than a frame missed its swap; it is shown at the next boundary, as
        // with vertical sync.
        passes_ = static_cast<std::int64_t>((now - start_) / period) + 1;
    }
    std::this_thread::sleep_until(start_ + passes_ * period);
}
