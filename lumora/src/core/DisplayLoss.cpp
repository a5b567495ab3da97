#include "DisplayLoss.h"

#include <SDL.h>

#include <dlfcn.h>
#include <errno.h>
#include <unistd.h>

#include <cstring>

namespace Lumora::Internal {

namespace {

constexpr char Message[] = "the display is gone (the X server closed the connection); ending";

// Xlib's XIOErrorHandler and XSetIOErrorHandler; the Display pointer is only passed along.
using IoErrorHandler = int (*)(void* display);
using SetIoErrorHandler = IoErrorHandler (*)(IoErrorHandler handler);

void WriteAll(const char* text, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(STDERR_FILENO, text, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Called by Xlib on whichever thread met the broken connection; Xlib would exit() if it
// returned. Only write() and _exit(): no allocation, no locks another thread may hold.
int OnDisplayLost(void*)
{
    const char* program = program_invocation_short_name;
    WriteAll(program, std::strlen(program));
    WriteAll(": ", 2);
    WriteAll(Message, sizeof Message - 1);
    WriteAll("\n", 1);
    _exit(1);
}

} // namespace

void EndOnDisplayLoss()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0) {
        return;
    }
    // The library SDL opened (or linked); RTLD_NOLOAD never loads a second copy.
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (x11 == nullptr) {
        return;
    }
    if (auto set = reinterpret_cast<SetIoErrorHandler>(dlsym(x11, "XSetIOErrorHandler"))) {
        set(&OnDisplayLost);
    }
    // Drops only the reference taken above; SDL keeps the library loaded while video runs.
    dlclose(x11);
}

} // namespace Lumora::Internal
