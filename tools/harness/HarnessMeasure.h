// tools/harness/HarnessMeasure.h: helpers of the harness's real-time measurements
// (measure-startup, measure-select): the process's age, what the last frame showed, and a
// pacer that runs the game loop as the real program runs it on a 60 Hz display.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// Milliseconds since the kernel started this process (its fork), read from /proc; the
// kernel keeps that moment in clock ticks, so the figure is good to about 10 ms. Negative
// when /proc cannot be read.
double ProcessAgeMilliseconds();

// Processor time in ms used so far by the calling thread, and by the whole process.
double ThreadCpuMilliseconds();
double ProcessCpuMilliseconds();

// The process's resident memory from /proc/self/status (VmHWM, VmRSS), in KiB; 0 when it
// cannot be read.
struct ResidentMemory {
    std::uint64_t peakKilobytes = 0;
    std::uint64_t currentKilobytes = 0;
};
ResidentMemory ReadResidentMemory();

// Whether the last recorded frame drew the picture `textureFile` (its file name; any alpha
// above 0) and the loading overlay, which is opaque and drawn last, did not cover it.
bool LastFrameShows(const std::string& textureFile);

// Real-time pacing of the game loop in headless mode. Before each pass `BeforePass` moves
// the virtual clock up to the real time elapsed since the pacer was made, so the loop's own
// fixed-step logic runs the updates the real program would (0 to 10); `AfterPass` then
// sleeps to the next 1/60 s boundary, as a buffer swap with vertical sync does.
class RealTimePacer {
public:
    RealTimePacer();
    void BeforePass();
    void AfterPass();

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point start_;
    std::uint64_t startMicroseconds_ = 0; // the virtual clock when the pacer was made
    std::int64_t passes_ = 0;   // frame boundaries passed since the pacer was made
};
