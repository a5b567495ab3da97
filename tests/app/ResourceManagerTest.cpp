// The resource loader: batches, order, ownership of requests, and what each kind loads.
#include "FakeEngine.h"
#include "ResourceManager.h"
#include "Scene.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A screen that loads pictures into its own members, as the game's screens do, and on
// destruction releases what arrived (noting each name in `released`).
class LoadingScene : public Scene {
public:
    LoadingScene(ResourceManager* loader, std::vector<std::string>& released)
        : Scene(nullptr), loader_(loader), released_(released)
    {
    }
    ~LoadingScene() override
    {
        for (Lumora::ITexture*& texture : textures_) {
            if (texture != nullptr) {
                released_.push_back(texture->GetName());
            }
            Lumora::SafeRelease(texture);
        }
    }
    void Queue(const char* fileName)
    {
        loader_->AddRequestFor(LoadOwner(), new LoadRequest(kPixelLoadOptions, "graphic/sprite",
                                                            fileName, &textures_[queued_++]));
    }
    ResourceManager* GetResourceManager() override { return loader_; }
    std::int32_t GetSceneId() override { return SceneIdTitle; }

private:
    ResourceManager* loader_;
    std::vector<std::string>& released_;
    Lumora::ITexture* textures_[4] = {};
    int queued_ = 0;
};

class ResourceManagerTest : public ::testing::Test {
protected:
    ~ResourceManagerTest() override
    {
        render.OpenGate();
        manager.reset();
        for (Lumora::ITexture*& texture : textures) {
            Lumora::SafeRelease(texture);
        }
    }

    std::unique_ptr<ResourceManager> MakeManager()
    {
        return std::make_unique<ResourceManager>(&core, &device, &files, &render);
    }

    void WaitUntilIdle()
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (manager->IsBusy() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_FALSE(manager->IsBusy()) << "the loader did not finish within 5 s";
    }

    std::vector<std::string> TextureLoads()
    {
        std::vector<std::string> loads;
        for (const std::string& line : log.Lines()) {
            if (line.rfind("texture ", 0) == 0) {
                loads.push_back(line.substr(8));
            }
        }
        return loads;
    }

    fake::CallLog log;
    fake::FileManager files{log};
    fake::Render render{log};
    fake::GraphicsDevice device;
    fake::Core core{log, &files};
    std::unique_ptr<ResourceManager> manager;
    Lumora::ITexture* textures[4] = {};
};

TEST_F(ResourceManagerTest, RequestsQueuedDuringABatchFormTheNextBatchAndKeepTheLoaderBusy)
{
    manager = MakeManager();
    render.CloseGate();
    manager->AddRequest(new LoadRequest(kSmoothLoadOptions, "graphic/sprite", "a.png", &textures[0]));
    EXPECT_TRUE(manager->IsBusy()) << "busy from AddRequest on, before the loader woke";
    render.WaitForLoadsAtGate(1);

    manager->AddRequest(new LoadRequest(kPixelLoadOptions, "graphic/sprite", "b.png", &textures[1]));
    manager->AddRequest(new LoadRequest(kPixelLoadOptions, "graphic/sprite", "c.png", &textures[2]));
    EXPECT_TRUE(manager->IsBusy());
    EXPECT_EQ(textures[1], nullptr);

    render.OpenGate();
    WaitUntilIdle();
    EXPECT_EQ(TextureLoads(), (std::vector<std::string>{"a.png", "b.png", "c.png"}));
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(textures[i], nullptr);
    }
    EXPECT_STREQ(textures[2]->GetName(), "c.png");
}

TEST_F(ResourceManagerTest, EachLoadSetsItsDirectoryAndOptionsFirst)
{
    manager = MakeManager();
    manager->AddRequest(new LoadRequest(kSmoothLoadOptions, "graphic/sprite", "a.png", &textures[0]));
    manager->AddRequest(new LoadRequest(kPixelLoadOptions, "graphic/object", "b.png", &textures[1]));
    WaitUntilIdle();
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "directory graphic/sprite", "options 3 0 1 0", "texture a.png",
                               "directory graphic/object", "options 1 0 0 0", "texture b.png"}));
}

TEST_F(ResourceManagerTest, SoundsMusicAndFilesGoToTheirEngineCalls)
{
    manager = MakeManager();
    Lumora::ISound* sound = reinterpret_cast<Lumora::ISound*>(&log); // must be overwritten
    Lumora::IStreamSound* music = reinterpret_cast<Lumora::IStreamSound*>(&log);
    Lumora::IFile* file = reinterpret_cast<Lumora::IFile*>(&log);
    auto* soundRequest = new LoadRequest(kSmoothLoadOptions, "sound/se", "decision.wav", &sound);
    auto* musicRequest = new LoadRequest(kSmoothLoadOptions, "sound/bgm", "bgm.ogg", &music);
    auto* fileRequest = new LoadRequest(kSmoothLoadOptions, "stage/normal", "1.pzd", &file);
    // The targets are cleared as soon as the requests are made, before any load. (Once a
    // request is queued its target belongs to the loader thread until IsBusy turns false.)
    EXPECT_EQ(sound, nullptr);
    EXPECT_EQ(music, nullptr);
    EXPECT_EQ(file, nullptr);
    manager->AddRequest(soundRequest);
    manager->AddRequest(musicRequest);
    manager->AddRequest(fileRequest);
    WaitUntilIdle();
    std::vector<std::string> loads;
    for (const std::string& line : log.Lines()) {
        if (line.rfind("directory", 0) != 0 && line.rfind("options", 0) != 0) {
            loads.push_back(line);
        }
    }
    EXPECT_EQ(loads, (std::vector<std::string>{"sound decision.wav 1 0", "stream bgm.ogg 0 OggVorbis",
                                               "file 1.pzd"}));
}

TEST_F(ResourceManagerTest, DestroyingTheManagerDeletesQueuedRequestsUnloaded)
{
    manager = MakeManager();
    render.CloseGate();
    manager->AddRequest(new LoadRequest(kSmoothLoadOptions, "", "first.png", &textures[0]));
    render.WaitForLoadsAtGate(1);
    manager->AddRequest(new LoadRequest(kSmoothLoadOptions, "", "second.png", &textures[1]));
    manager->AddRequest(new LoadRequest(kSmoothLoadOptions, "", "third.png", &textures[2]));

    std::thread destroyer([&] { manager.reset(); });
    // Let the destructor signal the stop before the load in progress may finish.
    std::this_thread::sleep_for(50ms);
    render.OpenGate();
    destroyer.join();

    EXPECT_EQ(TextureLoads(), (std::vector<std::string>{"first.png"}));
    EXPECT_NE(textures[0], nullptr) << "a load in progress completes";
    EXPECT_EQ(textures[1], nullptr);
    EXPECT_EQ(textures[2], nullptr);
    EXPECT_EQ(render.references.load(), 1) << "the manager gave its reference back";
    EXPECT_EQ(core.references.load(), 1);
}

TEST_F(ResourceManagerTest, LongNamesAreCutTo259Characters)
{
    const std::string longName = std::string(296, 'n') + ".png";
    const std::string longDirectory(300, 'd');
    LoadRequest request(kSmoothLoadOptions, longDirectory.c_str(), longName.c_str(), &textures[0]);
    EXPECT_EQ(std::string(request.fileName), longName.substr(0, 259));
    EXPECT_EQ(std::string(request.directory), longDirectory.substr(0, 259));

    manager = MakeManager();
    manager->AddRequest(new LoadRequest(kSmoothLoadOptions, "", longName.c_str(), &textures[0]));
    WaitUntilIdle();
    EXPECT_EQ(TextureLoads(), (std::vector<std::string>{longName.substr(0, 259)}));
}

TEST_F(ResourceManagerTest, ARequestOfAnUnknownKindIsDroppedWithoutALoad)
{
    manager = MakeManager();
    auto* odd = new LoadRequest(kSmoothLoadOptions, "", "five.bin", &textures[0]);
    odd->kind = 5;
    manager->AddRequest(odd);
    manager->AddRequest(new LoadRequest(kSmoothLoadOptions, "", "after.png", &textures[1]));
    WaitUntilIdle();
    EXPECT_EQ(textures[0], nullptr);
    EXPECT_EQ(TextureLoads(), (std::vector<std::string>{"after.png"}));
}

TEST_F(ResourceManagerTest, AScreenReleasedWithItsLoadsQueuedDropsThemAndDoesNotWaitForOthers)
{
    manager = MakeManager();
    render.CloseGate();
    std::vector<std::string> released;
    auto* scene = new LoadingScene(manager.get(), released);

    // Another screen's load is under way; its second load and two of ours form the next
    // batch, which the loader takes as soon as the first load is let through.
    manager->AddRequest(new LoadRequest(kPixelLoadOptions, "", "other-1.png", &textures[0]));
    render.WaitForLoadsAtGate(1);
    manager->AddRequest(new LoadRequest(kPixelLoadOptions, "", "other-2.png", &textures[1]));
    scene->Queue("mine-1.png");
    scene->Queue("mine-2.png");
    render.AdmitLoads(1);
    render.WaitForLoadsAtGate(2);
    // One more of ours waits in the list being written to.
    scene->Queue("mine-3.png");

    // The other screen's load stays held at the gate: a release that waited for the loader
    // to go idle would never return.
    auto releasing = std::async(std::launch::async, [scene] { scene->Release(); });
    const bool returned = releasing.wait_for(5s) == std::future_status::ready;
    render.OpenGate();
    releasing.wait();
    EXPECT_TRUE(returned) << "the release waited for another screen's load";

    WaitUntilIdle();
    EXPECT_EQ(TextureLoads(), (std::vector<std::string>{"other-1.png", "other-2.png"}))
        << "the dead screen's requests are dropped, the others' loaded in order";
    EXPECT_TRUE(released.empty());
    ASSERT_NE(textures[1], nullptr);
    EXPECT_STREQ(textures[1]->GetName(), "other-2.png");
}

TEST_F(ResourceManagerTest, AScreenReleasedDuringItsOwnLoadWaitsForItAndReleasesTheResult)
{
    manager = MakeManager();
    render.CloseGate();
    std::vector<std::string> released;
    auto* scene = new LoadingScene(manager.get(), released);
    scene->Queue("mine-1.png");
    scene->Queue("mine-2.png");
    render.WaitForLoadsAtGate(1);

    auto releasing = std::async(std::launch::async, [scene] { scene->Release(); });
    EXPECT_EQ(releasing.wait_for(50ms), std::future_status::timeout)
        << "the screen was destroyed while the loader was still to store into it";
    render.OpenGate();
    releasing.wait();

    EXPECT_EQ(released, (std::vector<std::string>{"mine-1.png"}))
        << "the load under way lands and is released with the screen";
    WaitUntilIdle();
    EXPECT_EQ(TextureLoads(), (std::vector<std::string>{"mine-1.png"}));
}

TEST_F(ResourceManagerTest, WithdrawingOneOwnersRequestsLeavesUnownedAndOtherOwnersLoads)
{
    manager = MakeManager();
    render.CloseGate();
    int first = 0;
    int second = 0;
    manager->AddRequestFor(&first, new LoadRequest(kPixelLoadOptions, "", "a.png", &textures[0]));
    render.WaitForLoadsAtGate(1);
    manager->AddRequestFor(&second, new LoadRequest(kPixelLoadOptions, "", "b.png", &textures[1]));
    manager->AddRequestFor(&first, new LoadRequest(kPixelLoadOptions, "", "c.png", &textures[2]));
    manager->AddRequest(new LoadRequest(kPixelLoadOptions, "", "d.png", &textures[3]));

    manager->CancelRequestsOf(&second);
    manager->CancelRequestsOf(nullptr); // no owner: withdraws nothing
    EXPECT_TRUE(manager->IsBusy());
    render.OpenGate();
    WaitUntilIdle();
    EXPECT_EQ(TextureLoads(), (std::vector<std::string>{"a.png", "c.png", "d.png"}));
    EXPECT_EQ(textures[1], nullptr);
}

} // namespace
