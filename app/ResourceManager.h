// app/ResourceManager.h: the loader thread that turns queued LoadRequests into engine objects.
//
// Screens queue requests from the main thread (AddRequest) and poll IsBusy once per update;
// a target may be read only after IsBusy has returned false following its AddRequest.
// Requests are loaded in the order they were queued. While the loader works through one
// batch, new requests collect in the other list and form the next batch, so IsBusy stays
// true from a request's AddRequest until the last load of its batch is stored.
//
// Each request may name its owner (the screen whose members are its targets). A screen that
// is destroyed while its loads are still queued withdraws its own with CancelRequestsOf, so
// the loader never writes into freed memory, without waiting for the loads of other screens
// (its successor's, typically) that the loader is working on.
//
// The manager keeps a counted reference on the core, the graphics device, the file manager
// and the loader's own render (never drawn with on the main thread). Destroying it stops the
// thread; requests still queued then are deleted unloaded and their targets stay null.
#pragma once

#include "LoadRequest.h"

#include <Lumora/ICore.h>
#include <Lumora/IFileManager.h>
#include <Lumora/IGraphicsDevice.h>
#include <Lumora/IRender.h>
#include <Lumora/Thread.h>

#include <cstdint>

class ResourceManager {
public:
    // Takes a reference on each object and starts the loader thread at once.
    ResourceManager(Lumora::ICore* core, Lumora::IGraphicsDevice* graphicsDevice,
                    Lumora::IFileManager* fileManager, Lumora::IRender* render);
    virtual ~ResourceManager();
    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

    // Queues a request (main thread only); the manager owns it from here on. Once the manager
    // is stopping, the request is deleted unloaded. Null is ignored.
    virtual void AddRequest(LoadRequest* request);
    // Queues a request on behalf of `owner` (see CancelRequestsOf); otherwise as AddRequest.
    void AddRequestFor(const void* owner, LoadRequest* request);
    // True while any request is queued or its batch is still loading.
    virtual bool IsBusy();
    // Withdraws the requests of `owner` (not null) that the loader has not started: they are
    // dropped unloaded and their targets stay as they are (null, as the request left them).
    // A load of the owner's that is under way is waited for (one file at most). Afterwards
    // the loader never touches the owner's targets again, and those already filled are the
    // owner's to release. Main thread only, like AddRequest.
    void CancelRequestsOf(const void* owner);
    // The loader thread's loop; returns when the stop event is set.
    virtual void LoaderMain();

private:
    static void ThreadProcedure(void* argument);
    void Load(LoadRequest& request);
    static void DeleteList(LoadRequest*& head);

    Lumora::ICore* core_ = nullptr;
    Lumora::IGraphicsDevice* graphicsDevice_ = nullptr;
    Lumora::IFileManager* fileManager_ = nullptr;
    Lumora::IRender* render_ = nullptr;
    Lumora::Thread::CThread thread_;
    Lumora::Thread::CCriticalSection lock_;
    Lumora::Thread::CEvent stopEvent_{0, 1};
    // Set by AddRequest so an idle loader starts at once instead of at its next look (at most
    // 250 ms later); auto-reset.
    Lumora::Thread::CEvent wakeEvent_{0, 0};
    // Signalled each time the loader has stored a load, for CancelRequestsOf; auto-reset.
    Lumora::Thread::CEvent storedEvent_{0, 0};
    LoadRequest* lists_[2] = {nullptr, nullptr};
    std::int32_t writeIndex_ = 0;
    // The request the loader is loading right now (null between loads); guarded by lock_.
    const LoadRequest* inFlight_ = nullptr;
};
