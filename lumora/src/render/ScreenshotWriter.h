// ScreenshotWriter.h: writes screenshots as PNG files on a thread of its own. Internal.
//
// Encoding a 640 x 480 PNG and writing it takes tens of milliseconds, which a frame cannot
// spare: the device reads the pixels back (that must happen on the GL thread) and hands them
// over here, and the frame goes on at once. The thread starts with the first screenshot.
// Destroying the writer writes whatever is still waiting first, so no shot asked for is lost.
// A file that cannot be written is told once on stderr with its path.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Lumora::Internal {

class ScreenshotWriter {
public:
    ScreenshotWriter() = default;
    ~ScreenshotWriter();
    ScreenshotWriter(const ScreenshotWriter&) = delete;
    ScreenshotWriter& operator=(const ScreenshotWriter&) = delete;

    // Queues `rgba` (rows from the top, width x height x 4 bytes) to be written to `path` and
    // returns at once. When no thread can be started, writes it here and now instead.
    void Submit(std::string path, std::int32_t width, std::int32_t height, std::vector<std::uint8_t> rgba);
    // Waits until every shot submitted so far is written (or has failed).
    void Flush();

private:
    struct Shot {
        std::string path;
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::vector<std::uint8_t> rgba;
    };
    static void Write(const Shot& shot);
    void Main();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Shot> waiting_; // guarded by mutex_
    bool writing_ = false;     // a shot is being written; guarded by mutex_
    bool stopping_ = false;    // guarded by mutex_
    std::thread thread_;       // main thread only
};

} // namespace Lumora::Internal
