// scene/Scene.h: the base of every screen, and the tree the screens live in.
//
// Scenes form a tree under one SceneRoot; in practice the root has one child, the current
// screen. Each update and draw walks the children in list order. A screen ends itself by
// killing itself and appending its successor to its parent inside its own Update:
//
//     Kill();
//     GetParent()->AddChild(new SceneTitle(GetApplication()));
//
// after which the base Update returns false and the parent unlinks and releases it at the
// end of that tick. A successor appended during a tick is first updated in the next tick.
//
// Ownership: a scene is born with one reference, the creator's, which passes to the parent
// on AddChild; the parent releases it when it removes the scene. Main thread only.
#pragma once

#include <Lumora/ICore.h>
#include <Lumora/IFont.h>
#include <Lumora/IGraphicsDevice.h>
#include <Lumora/IInputController.h>
#include <Lumora/IRender.h>

#include <cstdint>

class Application;
class ResourceManager;

// What GetSceneId returns for each kind of screen.
enum SceneId : std::int32_t {
    SceneIdRoot = 0,
    SceneIdStartup = 1,
    SceneIdTitle = 2,
    SceneIdStageSelect = 3,
    SceneIdPuzzle = 4,
    SceneIdConfig = 5,
    SceneIdRetryWait = 6,
    SceneIdEndless = 7,
    SceneIdEditor = 8,
};

class Scene {
public:
    explicit Scene(Application* application);
    // Detaches the scene from its parent if it is still attached, and releases any children
    // it still holds.
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Updates the children (unless the first child is paused), removing and releasing each
    // child whose Update returned false; returns whether this scene is still alive.
    virtual bool Update();
    // Draws the children in list order (unless the first child is paused).
    virtual void Draw();
    virtual std::int32_t AddRef();
    // Drops one reference; the scene is destroyed at 0. Returns the new count.
    virtual std::int32_t Release();
    // Appends `scene` at the end of the child list; null changes nothing.
    virtual void AddChild(Scene* scene);
    // Unlinks `scene` from the child list and clears its parent; a scene that is not a child
    // changes nothing. No reference is dropped.
    virtual void RemoveChild(Scene* scene);
    // The root above this scene (this scene when it is the root); null when detached.
    virtual Scene* GetRoot();
    virtual Scene* GetParent();
    virtual Scene* GetNextSibling();
    virtual Scene* GetFirstChild();
    // This scene or the first of its descendants (depth first, list order) with `sceneId`;
    // the search never goes upwards. Null when none matches.
    virtual Scene* FindScene(std::int32_t sceneId);
    virtual bool IsPaused();
    // Kills the whole tree below and including this scene, then updates until no child is
    // left. Used on the root at program end.
    virtual void Shutdown();
    // Pauses or resumes the scene; both are ignored once it is dead.
    virtual void Pause();
    virtual void Resume();
    // Marks this scene and all its descendants dead (and not paused).
    virtual void Kill();
    virtual Application* GetApplication();
    // The Application's engine objects, without an added reference.
    virtual Lumora::ICore* GetCore();
    virtual Lumora::IGraphicsDevice* GetGraphicsDevice();
    virtual Lumora::IRender* GetRender();
    virtual Lumora::IInputController* GetInputController();
    virtual Lumora::IFont* GetFont();
    virtual ResourceManager* GetResourceManager();
    virtual std::int32_t GetSceneId() = 0;

    bool IsAlive() const { return alive_; }
    // The owner tag under which this scene queues the loads whose targets are its members
    // (ResourceManager::AddRequestFor); Release withdraws them, should the scene die first.
    const void* LoadOwner() const { return static_cast<const Scene*>(this); }

protected:
    bool alive_ = true;
    bool paused_ = false;
    std::int32_t referenceCount_ = 1;
    Scene* parent_ = nullptr;
    Scene* firstChild_ = nullptr;
    Scene* nextSibling_ = nullptr;
    Application* application_ = nullptr;
};
