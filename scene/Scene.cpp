#include "Scene.h"

#include "Application.h"
#include "ResourceManager.h"

Scene::Scene(Application* application) : application_(application) {}

Scene::~Scene()
{
    if (parent_ != nullptr) {
        parent_->RemoveChild(this);
    }
    // Children normally leave through their own dying update; any still here belong to us.
    while (firstChild_ != nullptr) {
        Scene* child = firstChild_;
        RemoveChild(child);
        child->Release();
    }
}

bool Scene::Update()
{
    if (firstChild_ != nullptr && !firstChild_->IsPaused()) {
        Scene* child = firstChild_;
        while (child != nullptr) {
            // Read the sibling first: a successor appended during this update waits for
            // the next tick, and the child may be released below.
            Scene* next = child->GetNextSibling();
            if (!child->Update()) {
                RemoveChild(child);
                child->Release();
            }
            child = next;
        }
    }
    return alive_;
}

void Scene::Draw()
{
    if (firstChild_ == nullptr || firstChild_->IsPaused()) {
        return;
    }
    for (Scene* child = firstChild_; child != nullptr; child = child->GetNextSibling()) {
        child->Draw();
    }
}

std::int32_t Scene::AddRef()
{
    return ++referenceCount_;
}

std::int32_t Scene::Release()
{
    const std::int32_t left = --referenceCount_;
    if (left == 0) {
        // The loader thread stores what this scene queued straight into its members, and a
        // scene may die with its loads still queued: withdraw them (waiting at most for the
        // one file of ours being loaded) so the loader never writes into freed memory. Other
        // scenes' loads, the successor's above all, go on meanwhile.
        if (ResourceManager* loader = GetResourceManager()) {
            loader->CancelRequestsOf(LoadOwner());
        }
        delete this;
    }
    return left;
}

void Scene::AddChild(Scene* scene)
{
    if (scene == nullptr) {
        return;
    }
    scene->nextSibling_ = nullptr;
    scene->parent_ = this;
    Scene** link = &firstChild_;
    while (*link != nullptr) {
        link = &(*link)->nextSibling_;
    }
    *link = scene;
}

void Scene::RemoveChild(Scene* scene)
{
    for (Scene** link = &firstChild_; *link != nullptr; link = &(*link)->nextSibling_) {
        if (*link == scene) {
            *link = scene->nextSibling_;
            scene->nextSibling_ = nullptr;
            scene->parent_ = nullptr;
            return;
        }
    }
}

Scene* Scene::GetRoot()
{
    Scene* scene = this;
    while (scene != nullptr && scene->GetSceneId() != SceneIdRoot) {
        scene = scene->parent_;
    }
    return scene;
}

Scene* Scene::GetParent() { return parent_; }
Scene* Scene::GetNextSibling() { return nextSibling_; }
Scene* Scene::GetFirstChild() { return firstChild_; }

Scene* Scene::FindScene(std::int32_t sceneId)
{
    if (GetSceneId() == sceneId) {
        return this;
    }
    for (Scene* child = firstChild_; child != nullptr; child = child->nextSibling_) {
        if (Scene* found = child->FindScene(sceneId)) {
            return found;
        }
    }
    return nullptr;
}

bool Scene::IsPaused() { return paused_; }

void Scene::Shutdown()
{
    Kill();
    while (firstChild_ != nullptr) {
        Update();
    }
}

void Scene::Pause()
{
    if (alive_) {
        paused_ = true;
    }
}

void Scene::Resume()
{
    if (alive_) {
        paused_ = false;
    }
}

void Scene::Kill()
{
    alive_ = false;
    paused_ = false;
    for (Scene* child = firstChild_; child != nullptr; child = child->nextSibling_) {
        child->Kill();
    }
}

Application* Scene::GetApplication() { return application_; }

Lumora::ICore* Scene::GetCore()
{
    return application_ != nullptr ? application_->GetCore() : nullptr;
}

Lumora::IGraphicsDevice* Scene::GetGraphicsDevice()
{
    return application_ != nullptr ? application_->GetGraphicsDevice() : nullptr;
}

Lumora::IRender* Scene::GetRender()
{
    return application_ != nullptr ? application_->GetRender() : nullptr;
}

Lumora::IInputController* Scene::GetInputController()
{
    return application_ != nullptr ? application_->GetInputController() : nullptr;
}

Lumora::IFont* Scene::GetFont()
{
    return application_ != nullptr ? application_->GetFont() : nullptr;
}

ResourceManager* Scene::GetResourceManager()
{
    return application_ != nullptr ? application_->GetResourceManager() : nullptr;
}
