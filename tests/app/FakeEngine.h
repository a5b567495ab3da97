// tests/app/FakeEngine.h: small stand-ins for the engine objects the resource loader and the
// audio module call, recording what they were asked. The render's texture loads can be held
// at a gate, so a test can queue requests while a batch is still loading.
#pragma once

#include <Lumora/ICore.h>
#include <Lumora/IRender.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace fake {

// Reference counting shared by the fakes; they live on the test's stack, so reaching 0 only
// marks them released.
template <class Interface>
class Counted : public Interface {
public:
    std::int32_t AddRef() override { return ++references; }
    std::int32_t Release() override { return --references; }
    std::atomic<std::int32_t> references{1};
};

class Texture : public Counted<Lumora::ITexture> {
public:
    explicit Texture(std::string fileName) : name(std::move(fileName)) {}
    std::int32_t GetWidth() override { return 1; }
    std::int32_t GetHeight() override { return 1; }
    const char* GetName() override { return name.c_str(); }
    // Textures handed out by the fake render are heap objects released by the test.
    std::int32_t Release() override
    {
        const std::int32_t left = --references;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    std::string name;
};

// Everything the loader asked, in order, as readable lines ("options 3 0 1 0", "directory x",
// "texture name", "sound name", ...).
class CallLog {
public:
    void Add(std::string line)
    {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
    }
    std::vector<std::string> Lines()
    {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

class FileManager : public Counted<Lumora::IFileManager> {
public:
    explicit FileManager(CallLog& log) : log_(log) {}
    bool SetPackFile(std::int32_t, const char*, const char*) override { return true; }
    void SetCurrentDirectory(const char* directory) override
    {
        log_.Add(std::string("directory ") + (directory != nullptr ? directory : "(none)"));
    }
    Lumora::IFile* OpenFile(const char* name) override
    {
        log_.Add(std::string("file ") + name);
        return nullptr;
    }

private:
    CallLog& log_;
};

class Render : public Counted<Lumora::IRender> {
public:
    explicit Render(CallLog& log) : log_(log) {}

    // While closed, every texture load waits at the gate; `loadsWaiting` counts arrivals.
    void CloseGate()
    {
        std::lock_guard lock(gateMutex_);
        gateOpen_ = false;
    }
    void OpenGate()
    {
        {
            std::lock_guard lock(gateMutex_);
            gateOpen_ = true;
        }
        gateChanged_.notify_all();
    }
    // Lets `count` more loads through a closed gate, in the order they arrive.
    void AdmitLoads(int count)
    {
        {
            std::lock_guard lock(gateMutex_);
            admitted_ += count;
        }
        gateChanged_.notify_all();
    }
    void WaitForLoadsAtGate(int count)
    {
        std::unique_lock lock(gateMutex_);
        gateChanged_.wait(lock, [&] { return loadsAtGate_ >= count; });
    }

    void SetClearColor(std::uint32_t) override {}
    void BeginFrame() override {}
    void EndFrame() override {}
    void SetTextureLoadOptions(std::uint32_t filter, std::uint32_t wrap, std::uint32_t premultiply,
                               std::uint32_t reserved) override
    {
        log_.Add("options " + std::to_string(filter) + " " + std::to_string(wrap) + " " +
                 std::to_string(premultiply) + " " + std::to_string(reserved));
    }
    Lumora::ITexture* CreateTextureFromFile(const char* fileName) override
    {
        {
            std::unique_lock lock(gateMutex_);
            ++loadsAtGate_;
            gateChanged_.notify_all();
            gateChanged_.wait(lock, [&] { return gateOpen_ || admitted_ > 0; });
            if (!gateOpen_) {
                --admitted_;
            }
        }
        log_.Add(std::string("texture ") + fileName);
        return new Texture(fileName);
    }
    Lumora::ISprite2D* CreateSprite2D(std::int32_t, Lumora::ITexture*, std::int32_t, std::int32_t,
                                      std::int32_t, std::int32_t) override
    {
        return nullptr;
    }
    Lumora::IFont* CreateFont(const char*, const char*, std::int32_t, std::int32_t,
                              std::int32_t) override
    {
        return nullptr;
    }
    void SetBlendMode(std::int32_t) override {}
    void DrawTexture(const Lumora::Math::Rect&, std::uint32_t, const Lumora::Math::Rect&,
                     Lumora::ITexture*, std::int32_t, const Lumora::Math::Point2D&) override
    {
    }

private:
    CallLog& log_;
    std::mutex gateMutex_;
    std::condition_variable gateChanged_;
    bool gateOpen_ = true;
    int loadsAtGate_ = 0;
    int admitted_ = 0;
};

class GraphicsDevice : public Counted<Lumora::IGraphicsDevice> {
public:
    Lumora::IRender* CreateRender(std::int32_t, std::int32_t) override { return nullptr; }
};

class Sound : public Counted<Lumora::ISound> {
public:
    void Play(std::int32_t channel, std::int32_t loop) override
    {
        calls.push_back("play " + std::to_string(channel) + " " + std::to_string(loop));
    }
    void Stop(std::int32_t) override { calls.push_back("stop"); }
    void SetVolume(std::int32_t, float percent) override { volume = percent; }
    std::vector<std::string> calls;
    float volume = -1.0f;
};

class StreamSound : public Counted<Lumora::IStreamSound> {
public:
    void Play(std::int32_t loops) override { calls.push_back("play " + std::to_string(loops)); }
    void Stop() override { calls.push_back("stop"); }
    void SetVolume(float percent) override { volume = percent; }
    std::vector<std::string> calls;
    float volume = -1.0f;
};

class Core : public Counted<Lumora::ICore> {
public:
    Core(CallLog& log, Lumora::IFileManager* files) : log_(log), files_(files) {}
    std::int32_t Initialize(const char*, std::int32_t) override { return 1; }
    void SetOption(std::int32_t) override {}
    std::int32_t Start(std::int32_t, std::int32_t, std::int32_t) override { return 1; }
    std::int32_t Run(std::int32_t) override { return 1; }
    void Exit() override {}
    std::uint64_t GetPerformanceCounter() override { return 0; }
    std::uint64_t GetPerformanceFrequency() override { return 1'000'000; }
    std::uint32_t GetSyncCount() override { return 0; }
    void PrimeModelShaders(const Lumora::ModelShaderDraw*, std::int32_t) override {}
    Lumora::IGraphicsDevice* CreateGraphicsDevice(std::int32_t) override { return nullptr; }
    Lumora::IFileManager* CreateFileManager() override { return nullptr; }
    void SetFileManager(Lumora::IFileManager*) override {}
    Lumora::IFileManager* GetFileManager() override { return files_; }
    Lumora::ISound* CreateSound(const char* fileName, std::int32_t layers, std::int32_t flags) override
    {
        log_.Add(std::string("sound ") + fileName + " " + std::to_string(layers) + " " +
                 std::to_string(flags));
        return nullptr;
    }
    Lumora::IStreamSound* CreateStreamSound(const char* fileName, std::int32_t flags,
                                            const char* decoderName) override
    {
        log_.Add(std::string("stream ") + fileName + " " + std::to_string(flags) + " " + decoderName);
        return nullptr;
    }
    Lumora::IInputController* CreateInputController(std::int32_t, std::int32_t, std::int32_t) override
    {
        return nullptr;
    }

private:
    CallLog& log_;
    Lumora::IFileManager* files_;
};

} // namespace fake
