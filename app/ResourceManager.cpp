#include "ResourceManager.h"

#include <Lumora/System.h>

#include <chrono>
#include <thread>

namespace {

// How long an idle loader waits for work before it looks at its lists again, in ms.
constexpr std::int32_t kIdleWaitMilliseconds = 250;
// How often destruction looks whether the thread has ended, in ms.
constexpr auto kStopPollInterval = std::chrono::milliseconds(100);
// How long a withdrawing owner sleeps at most between looks at the load under way, in ms
// (the loader also wakes it as soon as the load is stored).
constexpr std::int32_t kStoredPollMilliseconds = 2;

// Model loading arrives with the engine's 3D renderer; until the render offers
// CreateModelFromFile a model request stores null, as any failed load does.
template <class Render>
Lumora::IModel* CreateModel(Render* render, const char* fileName)
{
    if constexpr (requires { render->CreateModelFromFile(fileName); }) {
        return render->CreateModelFromFile(fileName);
    } else {
        (void)render;
        (void)fileName;
        return nullptr;
    }
}

} // namespace

ResourceManager::ResourceManager(Lumora::ICore* core, Lumora::IGraphicsDevice* graphicsDevice,
                                 Lumora::IFileManager* fileManager, Lumora::IRender* render)
    : core_(core), graphicsDevice_(graphicsDevice), fileManager_(fileManager), render_(render)
{
    for (Lumora::IInterface* held : {static_cast<Lumora::IInterface*>(core_),
                                     static_cast<Lumora::IInterface*>(graphicsDevice_),
                                     static_cast<Lumora::IInterface*>(fileManager_),
                                     static_cast<Lumora::IInterface*>(render_)}) {
        if (held != nullptr) {
            held->AddRef();
        }
    }
    thread_.Create(&ResourceManager::ThreadProcedure, this);
}

ResourceManager::~ResourceManager()
{
    stopEvent_.Set(0);
    wakeEvent_.Set(0);
    while (!thread_.IsTerminated()) {
        std::this_thread::sleep_for(kStopPollInterval);
    }
    thread_.Join();
    // A thread that never started leaves its requests behind; nothing may leak either way.
    DeleteList(lists_[0]);
    DeleteList(lists_[1]);
    Lumora::SafeRelease(render_);
    Lumora::SafeRelease(graphicsDevice_);
    Lumora::SafeRelease(fileManager_);
    Lumora::SafeRelease(core_);
}

void ResourceManager::ThreadProcedure(void* argument)
{
    Lumora::System::SetThreadCPUNo(1);
    static_cast<ResourceManager*>(argument)->LoaderMain();
}

void ResourceManager::AddRequest(LoadRequest* request)
{
    if (request == nullptr) {
        return;
    }
    if (stopEvent_.IsSignal(0)) {
        delete request;
        return;
    }
    request->next = nullptr;
    lock_.Enter();
    LoadRequest** link = &lists_[writeIndex_];
    while (*link != nullptr) {
        link = &(*link)->next;
    }
    *link = request;
    lock_.Leave();
    wakeEvent_.Set(0);
}

void ResourceManager::AddRequestFor(const void* owner, LoadRequest* request)
{
    if (request != nullptr) {
        request->owner = owner;
    }
    AddRequest(request);
}

void ResourceManager::CancelRequestsOf(const void* owner)
{
    if (owner == nullptr) {
        return;
    }
    LoadRequest* dropped = nullptr;
    lock_.Enter();
    // The list being written to is ours under the lock: unlink the owner's requests from it.
    for (LoadRequest** link = &lists_[writeIndex_]; *link != nullptr;) {
        LoadRequest* request = *link;
        if (request->owner == owner) {
            *link = request->next;
            request->next = dropped;
            dropped = request;
        } else {
            link = &request->next;
        }
    }
    // The other list is the batch in progress, which the loader walks without the lock: its
    // links stay, the owner's requests are only marked, and the loader skips them.
    for (LoadRequest* request = lists_[1 - writeIndex_]; request != nullptr; request = request->next) {
        if (request->owner == owner) {
            request->cancelled = true;
        }
    }
    // A load already started cannot be called back; it ends with a store into the target.
    while (inFlight_ != nullptr && inFlight_->owner == owner) {
        lock_.Leave();
        storedEvent_.Wait(kStoredPollMilliseconds);
        lock_.Enter();
    }
    lock_.Leave();
    DeleteList(dropped);
}

bool ResourceManager::IsBusy()
{
    lock_.Enter();
    const bool busy = lists_[0] != nullptr || lists_[1] != nullptr;
    lock_.Leave();
    return busy;
}

void ResourceManager::DeleteList(LoadRequest*& head)
{
    while (head != nullptr) {
        LoadRequest* next = head->next;
        delete head;
        head = next;
    }
}

void ResourceManager::LoaderMain()
{
    for (;;) {
        if (stopEvent_.IsSignal(0)) {
            lock_.Enter();
            DeleteList(lists_[0]);
            DeleteList(lists_[1]);
            lock_.Leave();
            return;
        }

        lock_.Enter();
        const std::int32_t takenIndex = writeIndex_;
        writeIndex_ = 1 - writeIndex_;
        LoadRequest* request = lists_[takenIndex];
        lock_.Leave();

        if (request == nullptr) {
            wakeEvent_.Wait(kIdleWaitMilliseconds);
            continue;
        }
        // The taken list stays recorded as its head until the whole batch is stored, which
        // is what keeps IsBusy true meanwhile. Only this thread touches it now: AddRequest
        // appends to the other list.
        while (request != nullptr) {
            lock_.Enter();
            const bool cancelled = request->cancelled;
            if (!cancelled) {
                inFlight_ = request;
            }
            lock_.Leave();
            if (!cancelled) {
                Load(*request);
                lock_.Enter();
                inFlight_ = nullptr;
                lock_.Leave();
                storedEvent_.Set(0);
            }
            request = request->next;
        }
        LoadRequest* head = lists_[takenIndex];
        lock_.Enter();
        lists_[takenIndex] = nullptr;
        lock_.Leave();
        DeleteList(head);
    }
}

void ResourceManager::Load(LoadRequest& request)
{
    if (fileManager_ != nullptr) {
        fileManager_->SetCurrentDirectory(request.directory);
    }
    if (render_ != nullptr) {
        render_->SetTextureLoadOptions(request.options.filter, request.options.wrap,
                                       request.options.premultiply, request.options.reserved);
    }
    switch (request.kind) {
    case LoadRequest::KindTexture:
        if (request.texture != nullptr) {
            *request.texture = render_ != nullptr ? render_->CreateTextureFromFile(request.fileName)
                                                  : nullptr;
        }
        break;
    case LoadRequest::KindModel:
        if (request.model != nullptr) {
            *request.model = render_ != nullptr ? CreateModel(render_, request.fileName) : nullptr;
        }
        break;
    case LoadRequest::KindSound:
        if (request.sound != nullptr) {
            *request.sound = core_ != nullptr ? core_->CreateSound(request.fileName, 1, 0) : nullptr;
        }
        break;
    case LoadRequest::KindStreamSound:
        if (request.streamSound != nullptr) {
            *request.streamSound =
                core_ != nullptr ? core_->CreateStreamSound(request.fileName, 0, "OggVorbis") : nullptr;
        }
        break;
    case LoadRequest::KindFile:
        if (request.file != nullptr) {
            Lumora::IFileManager* files = core_ != nullptr ? core_->GetFileManager() : nullptr;
            *request.file = files != nullptr ? files->OpenFile(request.fileName) : nullptr;
        }
        break;
    default:
        break; // an unknown kind is deleted without a load
    }
}
