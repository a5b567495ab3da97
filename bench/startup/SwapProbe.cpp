// SwapProbe: a preload library for timing the real game program's start-up without
// changing it. It wraps SDL_GL_SwapWindow: before each swap it reads two pixels of the
// frame about to be shown (the screen's centre, where both logos lie, and a point near the
// top left corner, in window pixels) and writes one line to the file named by
// SWAP_PROBE_LOG: the frame number, the milliseconds since the process started, and the
// two pixels as RRGGBB. run-real-startup.sh reads the lines.
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
#include <sstream>
#include <string>

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
    }
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
        std::fprintf(probeLog, "%ld %.1f %06X %06X\n", ++frameNumber,
                     BootClockMilliseconds() - processStartMilliseconds, centre, corner);
        std::fflush(probeLog);
    }
    if (realSwap != nullptr) {
        realSwap(window);
    }
}
