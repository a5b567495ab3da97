// The engine's model object: a checked .lmd model, its culling sphere, the shader options
// of its materials and, once the drawing thread has needed it, its GPU copy. Internal.
//
// Made on any thread (the loader's, usually); everything GPU happens on the drawing thread
// in SceneGl.cpp. Released GPU objects are queued for the drawing thread to delete.
#pragma once

#include "LmdModel.h"
#include "ModelPose.h"
#include "Texture.h"

#include <Lumora/IModel.h>
#include <Lumora/ModelShader.h>

#include <atomic>
#include <string>
#include <vector>

namespace Lumora::Internal {

struct GpuModel; // SceneGl.cpp

struct SceneMaterial {
    ModelShaderOptions options{};  // with the material's own transparency
    Texture* texture = nullptr;    // owned reference; null when untextured or it failed
    bool transparent = false;      // the model's own setting
};

class SceneModel final : public IModel {
public:
    SceneModel(std::string name, LmdModel model, std::vector<std::vector<SceneMaterial>> materials);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;

    const std::string& Name() const { return name_; }
    const LmdModel& Data() const { return model_; }
    const std::vector<std::vector<SceneMaterial>>& Materials() const { return materials_; }
    bool Skinned() const { return skinned_; }
    // Model-space sphere that holds every mesh in every pose.
    const LmdVector3& SphereCentre() const { return sphereCentre_; }
    float SphereRadius() const { return sphereRadius_; }
    bool AnyTransparent() const { return anyTransparent_; }

    // Drawing thread only.
    GpuModel* gpu = nullptr;
    bool gpuFailed = false;

private:
    ~SceneModel() override;

    std::atomic<std::int32_t> references_{1};
    std::string name_;
    LmdModel model_;
    std::vector<std::vector<SceneMaterial>> materials_;
    bool skinned_ = false;
    bool anyTransparent_ = false;
    LmdVector3 sphereCentre_;
    float sphereRadius_ = 0.0f;
};

// Frees a GPU copy (SceneGl.cpp): deletes now on the drawing thread, else queues.
void ReleaseGpuModel(GpuModel* gpu);

} // namespace Lumora::Internal
