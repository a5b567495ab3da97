// SwapProbe: a preload library for timing the real game program's start-up without
// changing it. It wraps SDL_GL_SwapWindow: before each swap it reads two pixels of the
// frame about to be shown (the screen's centre, where both logos lie, and a point near the
// top left corner, in window pixels) and writes one line to the file named by
// SWAP_PROBE_LOG: the frame number, the milliseconds since the process started, and the
// two pixels as RRGGBB. run-real-startup.sh reads the lines.
//
// With SWAP_PROBE_KEYS set, it also plays a player's part: the variable lists steps
// "DELAY:KEY" separated by blanks, DELAY in ms after the previous step (the first after the
// first frame), KEY one of z x c v up down left right f11 f12 quit. At each swap the probe sends
// the steps that are due as SDL events to the window: a key goes down, and up again 80 ms
// later (several updates at 60 per second); "quit" closes the window. Each step taken is
// written to the log as "# step N KEY at MS". The log's first line is "# start MS", the
// process start on the boot clock.
//
// Process start: the kernel's start time of this process (/proc/self/stat, clock ticks
// after boot), so the figures are good to about 10 ms.
#include <SDL.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr unsigned kReadFramebuffer = 0x8CA8;
constexpr unsigned kReadFramebufferBinding = 0x8CAA;
constexpr unsigned kRgba = 0x1908;
constexpr unsigned kUnsignedByte = 0x1401;
constexpr unsigned kPackAlignment = 0x0D05;

using SwapFunction = void (*)(SDL_Window*);
using GetIntegervFunction = void (*)(unsigned, int*);
using BindFramebufferFunction = void (*)(unsigned, unsigned);
using ReadPixelsFunction = void (*)(int, int, int, int, unsigned, unsigned, void*);
using PixelStoreiFunction = void (*)(unsigned, int);

struct KeyStep {
    double delayMilliseconds = 0.0;
    std::string key;
};

std::vector<KeyStep> keySteps;
std::size_t nextStep = 0;
double lastStepMilliseconds = -1.0; // when the previous step was sent; -1 before the first frame
SDL_Scancode heldKey = SDL_SCANCODE_UNKNOWN;
double releaseAtMilliseconds = 0.0;
constexpr double kHoldMilliseconds = 80.0;

double processStartMilliseconds = 0.0;
std::FILE* probeLog = nullptr;
long frameNumber = 0;

double BootClockMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

void ReadProcessStart()
{
    std::ifstream file("/proc/self/stat");
    std::string text;
    std::getline(file, text);
    // The command name (field 2) may hold blanks; field 22 is the 20th after its ')'.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return;
    }
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int index = 3; index <= 21 && fields >> field; ++index) {
    }
    unsigned long long startTicks = 0;
    fields >> startTicks;
    processStartMilliseconds = static_cast<double>(startTicks) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void ReadKeySteps()
{
    const char* text = std::getenv("SWAP_PROBE_KEYS");
    if (text == nullptr) {
        return;
    }
    std::istringstream steps(text);
    std::string step;
    while (steps >> step) {
        const std::size_t colon = step.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        keySteps.push_back({std::atof(step.substr(0, colon).c_str()), step.substr(colon + 1)});
    }
}

SDL_Scancode ScancodeOf(const std::string& key)
{
    static const std::map<std::string, SDL_Scancode> keys = {
        {"z", SDL_SCANCODE_Z},       {"x", SDL_SCANCODE_X},         {"c", SDL_SCANCODE_C},
        {"v", SDL_SCANCODE_V},       {"up", SDL_SCANCODE_UP},       {"down", SDL_SCANCODE_DOWN},
        {"left", SDL_SCANCODE_LEFT}, {"right", SDL_SCANCODE_RIGHT}, {"f12", SDL_SCANCODE_F12},
        {"f11", SDL_SCANCODE_F11},
    };
    const auto found = keys.find(key);
    return found != keys.end() ? found->second : SDL_SCANCODE_UNKNOWN;
}

void SendKey(SDL_Window* window, SDL_Scancode scancode, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = SDL_GetWindowID(window);
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    SDL_PushEvent(&event);
}

// Sends what is due at `now` (ms since the process started).
void PlaySteps(SDL_Window* window, double now)
{
    if (heldKey != SDL_SCANCODE_UNKNOWN && now >= releaseAtMilliseconds) {
        SendKey(window, heldKey, false);
        heldKey = SDL_SCANCODE_UNKNOWN;
    }
    if (lastStepMilliseconds < 0.0) {
        lastStepMilliseconds = now; // the schedule starts at the first frame
    }
    if (heldKey != SDL_SCANCODE_UNKNOWN || nextStep >= keySteps.size() ||
        now < lastStepMilliseconds + keySteps[nextStep].delayMilliseconds) {
        return;
    }
    const KeyStep& step = keySteps[nextStep++];
    lastStepMilliseconds = now;
    if (probeLog != nullptr) {
        std::fprintf(probeLog, "# step %zu %s at %.1f\n", nextStep, step.key.c_str(), now);
    }
    if (step.key == "quit") {
        SDL_Event event{};
        event.type = SDL_QUIT;
        SDL_PushEvent(&event);
        return;
    }
    const SDL_Scancode scancode = ScancodeOf(step.key);
    if (scancode != SDL_SCANCODE_UNKNOWN) {
        SendKey(window, scancode, true);
        heldKey = scancode;
        releaseAtMilliseconds = now + kHoldMilliseconds;
    }
}

template <typename Function>
Function GlFunction(const char* name)
{
    return reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
}

unsigned ReadPixel(int x, int y)
{
    const auto readPixels = GlFunction<ReadPixelsFunction>("glReadPixels");
    const auto pixelStore = GlFunction<PixelStoreiFunction>("glPixelStorei");
    if (readPixels == nullptr || pixelStore == nullptr) {
        return 0;
    }
    unsigned char rgba[4] = {0, 0, 0, 0};
    pixelStore(kPackAlignment, 1);
    readPixels(x, y, 1, 1, kRgba, kUnsignedByte, rgba);
    return (static_cast<unsigned>(rgba[0]) << 16) | (static_cast<unsigned>(rgba[1]) << 8) | rgba[2];
}

} // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window)
{
    static SwapFunction realSwap = nullptr;
    if (realSwap == nullptr) {
        realSwap = reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
        ReadProcessStart();
        const char* path = std::getenv("SWAP_PROBE_LOG");
        probeLog = path != nullptr ? std::fopen(path, "w") : nullptr;
        if (probeLog != nullptr) {
            // The boot-clock time of the process start, so that the frame times can be
            // matched with a profiler's record (perf record -k boottime).
            std::fprintf(probeLog, "# start %.1f\n", processStartMilliseconds);
        }
        ReadKeySteps();
    }
    const double now = BootClockMilliseconds() - processStartMilliseconds;
    if (probeLog != nullptr) {
        const auto getInteger = GlFunction<GetIntegervFunction>("glGetIntegerv");
        const auto bind = GlFunction<BindFramebufferFunction>("glBindFramebuffer");
        int width = 0;
        int height = 0;
        int bound = 0;
        SDL_GL_GetDrawableSize(window, &width, &height);
        if (getInteger != nullptr && bind != nullptr) {
            getInteger(kReadFramebufferBinding, &bound);
            bind(kReadFramebuffer, 0);
        }
        // GL rows count from the bottom.
        const unsigned centre = ReadPixel(width / 2, height / 2);
        const unsigned corner = ReadPixel(width / 16, height - 1 - height / 16);
        if (bind != nullptr) {
            bind(kReadFramebuffer, static_cast<unsigned>(bound));
        }
        std::fprintf(probeLog, "%ld %.1f %06X %06X\n", ++frameNumber, now, centre, corner);
        std::fflush(probeLog);
    }
    if (!keySteps.empty()) {
        PlaySteps(window, now);
    }
    if (realSwap != nullptr) {
        realSwap(window);
    }
}
