// The scene tree: switching screens by kill-and-append, removal and release, searching,
// pausing and shutting down.
#include "Scene.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A scene whose behaviour each test chooses, and which reports its updates, draws and
// destruction into a shared journal.
class ProbeScene : public Scene {
public:
    ProbeScene(std::vector<std::string>& journal, std::string name, std::int32_t id = SceneIdTitle)
        : Scene(nullptr), journal_(journal), name_(std::move(name)), id_(id)
    {
    }
    ~ProbeScene() override { journal_.push_back(name_ + " destroyed"); }

    bool Update() override
    {
        journal_.push_back(name_ + " update");
        if (onUpdate) {
            onUpdate(*this);
        }
        const bool alive = Scene::Update();
        if (!alive) {
            journal_.push_back(name_ + " reports dead");
        }
        return alive;
    }
    void Draw() override
    {
        journal_.push_back(name_ + " draw");
        Scene::Draw();
    }
    std::int32_t GetSceneId() override { return id_; }

    std::function<void(ProbeScene&)> onUpdate;

private:
    std::vector<std::string>& journal_;
    std::string name_;
    std::int32_t id_;
};

class SceneTreeTest : public ::testing::Test {
protected:
    ~SceneTreeTest() override
    {
        root->Shutdown();
        root->Release();
    }

    ProbeScene* AddProbe(Scene* parent, const std::string& name, std::int32_t id = SceneIdTitle)
    {
        auto* scene = new ProbeScene(journal, name, id);
        parent->AddChild(scene);
        return scene;
    }

    std::vector<std::string> Children(Scene* parent)
    {
        std::vector<std::string> ids;
        for (Scene* child = parent->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
            ids.push_back(std::to_string(child->GetSceneId()));
        }
        return ids;
    }

    std::vector<std::string> journal;
    ProbeScene* root = new ProbeScene(journal, "root", SceneIdRoot);
};

TEST_F(SceneTreeTest, AScreenThatKillsItselfAndAppendsItsSuccessorIsReplacedAtTheEndOfTheTick)
{
    ProbeScene* title = AddProbe(root, "title", SceneIdTitle);
    title->onUpdate = [this](ProbeScene& self) {
        self.Kill();
        auto* config = new ProbeScene(journal, "config", SceneIdConfig);
        self.GetParent()->AddChild(config);
    };

    root->Update();
    EXPECT_EQ(Children(root), (std::vector<std::string>{"5"}));
    EXPECT_EQ(journal, (std::vector<std::string>{"root update", "title update", "title reports dead",
                                                 "title destroyed"}))
        << "the successor waits for the next tick";

    journal.clear();
    root->Update();
    EXPECT_EQ(journal, (std::vector<std::string>{"root update", "config update"}));
    EXPECT_EQ(root->GetFirstChild()->GetParent(), root);
}

TEST_F(SceneTreeTest, AFailedSuccessorLeavesTheTreeEmptyButStillRemovesTheOldScreen)
{
    ProbeScene* title = AddProbe(root, "title");
    title->onUpdate = [](ProbeScene& self) {
        self.Kill();
        self.GetParent()->AddChild(nullptr);
    };
    root->Update();
    EXPECT_EQ(root->GetFirstChild(), nullptr);
}

TEST_F(SceneTreeTest, KillingAScreenKillsEveryDescendant)
{
    ProbeScene* screen = AddProbe(root, "screen");
    ProbeScene* child = AddProbe(screen, "child");
    AddProbe(child, "grandchild");
    AddProbe(screen, "second child");
    screen->Kill();
    EXPECT_FALSE(child->IsAlive());

    root->Update();
    for (const char* name : {"screen", "child", "grandchild", "second child"}) {
        EXPECT_NE(std::find(journal.begin(), journal.end(), std::string(name) + " reports dead"), journal.end())
            << name;
        EXPECT_NE(std::find(journal.begin(), journal.end(), std::string(name) + " destroyed"), journal.end())
            << name;
    }
    EXPECT_EQ(root->GetFirstChild(), nullptr);
}

TEST_F(SceneTreeTest, FindSceneSearchesDownwardsOnlyDepthFirst)
{
    ProbeScene* screen = AddProbe(root, "screen", SceneIdPuzzle);
    ProbeScene* deep = AddProbe(screen, "deep", SceneIdRetryWait);
    ProbeScene* later = AddProbe(root, "later", SceneIdRetryWait);

    EXPECT_EQ(root->FindScene(SceneIdRoot), root);
    EXPECT_EQ(screen->FindScene(SceneIdRoot), nullptr) << "the search never goes upwards";
    EXPECT_EQ(root->FindScene(SceneIdRetryWait), deep) << "depth first, in list order";
    EXPECT_EQ(later->FindScene(SceneIdRetryWait), later);
    EXPECT_EQ(root->FindScene(SceneIdConfig), nullptr);
    EXPECT_EQ(deep->GetRoot(), root);
}

TEST_F(SceneTreeTest, RemoveChildKeepsTheOtherSiblingsInOrderAndIgnoresStrangers)
{
    ProbeScene* first = AddProbe(root, "first", SceneIdStartup);
    ProbeScene* middle = AddProbe(root, "middle", SceneIdTitle);
    AddProbe(root, "last", SceneIdConfig);
    auto* stranger = new ProbeScene(journal, "stranger", SceneIdPuzzle);

    root->RemoveChild(stranger);
    EXPECT_EQ(Children(root), (std::vector<std::string>{"1", "2", "5"}));
    root->RemoveChild(middle);
    EXPECT_EQ(Children(root), (std::vector<std::string>{"1", "5"}));
    EXPECT_EQ(middle->GetParent(), nullptr);
    EXPECT_EQ(first->GetNextSibling()->GetSceneId(), SceneIdConfig);

    middle->Release();
    stranger->Release();
}

TEST_F(SceneTreeTest, DestroyingAnAttachedSceneDetachesIt)
{
    ProbeScene* first = AddProbe(root, "first", SceneIdStartup);
    ProbeScene* second = AddProbe(root, "second", SceneIdTitle);
    second->AddRef();
    EXPECT_EQ(second->Release(), 1);
    second->Release();
    EXPECT_EQ(Children(root), (std::vector<std::string>{"1"}));
    EXPECT_EQ(first->GetNextSibling(), nullptr);
}

TEST_F(SceneTreeTest, APausedFirstChildStopsItsParentFromUpdatingAndDrawingChildren)
{
    ProbeScene* screen = AddProbe(root, "screen");
    screen->Pause();
    root->Update();
    root->Draw();
    EXPECT_EQ(journal, (std::vector<std::string>{"root update", "root draw"}));

    screen->Resume();
    journal.clear();
    root->Update();
    root->Draw();
    EXPECT_EQ(journal, (std::vector<std::string>{"root update", "screen update", "root draw", "screen draw"}));

    screen->Kill();
    screen->Pause();
    EXPECT_FALSE(screen->IsPaused()) << "a dead scene cannot be paused";
}

TEST_F(SceneTreeTest, ShutdownEmptiesTheTree)
{
    AddProbe(AddProbe(root, "screen"), "overlay");
    root->Shutdown();
    EXPECT_EQ(root->GetFirstChild(), nullptr);
    EXPECT_NE(std::find(journal.begin(), journal.end(), "overlay destroyed"), journal.end());
}

} // namespace
