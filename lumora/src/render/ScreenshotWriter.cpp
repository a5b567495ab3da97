#include "ScreenshotWriter.h"

#include "ImageCodec.h"

#include <cstdio>
#include <system_error>

namespace Lumora::Internal {

ScreenshotWriter::~ScreenshotWriter()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ScreenshotWriter::Write(const Shot& shot)
{
    if (!WritePng(shot.path.c_str(), shot.width, shot.height, shot.rgba.data())) {
        std::fprintf(stderr, "Lumora: cannot write screenshot \"%s\"\n", shot.path.c_str());
    }
}

void ScreenshotWriter::Submit(std::string path, std::int32_t width, std::int32_t height,
                              std::vector<std::uint8_t> rgba)
{
    Shot shot{std::move(path), width, height, std::move(rgba)};
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread(&ScreenshotWriter::Main, this);
        } catch (const std::system_error&) {
            Write(shot); // no thread to be had: better a hitch than a lost screenshot
            return;
        }
    }
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(shot));
    }
    changed_.notify_all();
}

void ScreenshotWriter::Flush()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && !writing_; });
}

void ScreenshotWriter::Main()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty()) {
            return; // stopping, and everything asked for is written
        }
        Shot shot = std::move(waiting_.front());
        waiting_.pop_front();
        writing_ = true;
        lock.unlock();
        Write(shot);
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}

} // namespace Lumora::Internal
