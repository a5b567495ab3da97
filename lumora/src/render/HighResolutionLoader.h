// Loads textures' 2x companions (Texture.h) off the drawing thread. Internal.
//
// The backend asks for a companion the first time it draws a texture into a target of 1.5
// or more pixels per logical pixel, so a 1x window never reads one; the 1x texels are drawn
// until the companion is decoded (its mipmaps made here too), then the next frame uses it.
// One thread per graphics device, started by the first request and joined when the device
// goes. A companion that is missing is normal (pictures from elsewhere have none); one of
// the wrong size is refused with a line on stderr and the 1x texture stays.
#pragma once

#include "Texture.h"

#include <Lumora/IFile.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace Lumora::Internal {

class HighResolutionLoader {
public:
    // `open` opens a file by its absolute pack name (any thread); null when missing.
    explicit HighResolutionLoader(std::function<IFile*(const char* name)> open);
    ~HighResolutionLoader(); // drops what is still queued and joins the thread
    HighResolutionLoader(const HighResolutionLoader&) = delete;
    HighResolutionLoader& operator=(const HighResolutionLoader&) = delete;

    // Queues the load of `base`'s companion; holds a reference on `base` until it is done.
    void Request(Texture& base);
    // Waits until every request so far is done (tests, and benchmarks that time the switch).
    void Flush();

private:
    void Run();
    void Load(Texture& base);

    std::function<IFile*(const char*)> open_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Texture*> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace Lumora::Internal
