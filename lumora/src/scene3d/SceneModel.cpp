#include "SceneModel.h"

#include "GraphicsDevice.h"
#include "SceneFactory.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Lumora::Internal {

SceneModel::SceneModel(std::string name, LmdModel model, std::vector<std::vector<SceneMaterial>> materials)
    : name_(std::move(name)), model_(std::move(model)), materials_(std::move(materials))
{
    skinned_ = ModelIsSkinned(model_);
    for (const auto& mesh : materials_) {
        for (const SceneMaterial& material : mesh) {
            anyTransparent_ = anyTransparent_ || material.transparent;
        }
    }
    // One sphere around the union of every mesh's box over every pose.
    LmdVector3 low{1e30f, 1e30f, 1e30f};
    LmdVector3 high{-1e30f, -1e30f, -1e30f};
    bool any = false;
    for (std::size_t mesh = 0; mesh < model_.meshes.size(); ++mesh) {
        const ModelBounds bounds = ComputeAnimatedMeshBounds(model_, mesh);
        if (bounds.empty) {
            continue;
        }
        any = true;
        low = {std::min(low.x, bounds.minimum.x), std::min(low.y, bounds.minimum.y), std::min(low.z, bounds.minimum.z)};
        high = {std::max(high.x, bounds.maximum.x), std::max(high.y, bounds.maximum.y), std::max(high.z, bounds.maximum.z)};
    }
    if (any) {
        sphereCentre_ = {(low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f, (low.z + high.z) * 0.5f};
        const float dx = high.x - low.x;
        const float dy = high.y - low.y;
        const float dz = high.z - low.z;
        sphereRadius_ = 0.5f * std::sqrt(dx * dx + dy * dy + dz * dz);
    }
}

SceneModel::~SceneModel()
{
    for (auto& mesh : materials_) {
        for (SceneMaterial& material : mesh) {
            if (material.texture != nullptr) {
                material.texture->Release();
            }
        }
    }
    if (gpu != nullptr) {
        ReleaseGpuModel(gpu);
    }
}

std::int32_t SceneModel::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

IModel* LoadSceneModel(Render& render, const char* fileName)
{
    const char* name = fileName != nullptr ? fileName : "";
    std::vector<std::uint8_t> bytes;
    if (!render.ReadFile(name, bytes)) {
        std::fprintf(stderr, "Lumora: model \"%s\": file not found or unreadable\n", name);
        return nullptr;
    }
    LmdParseResult parsed = ParseLmd(bytes);
    if (!parsed.model) {
        std::fprintf(stderr, "Lumora: model \"%s\": %s\n", name, parsed.message.c_str());
        return nullptr;
    }
    LmdModel& model = *parsed.model;
    TextureOptions textureOptions;
    textureOptions.filter = TextureFilter::LinearMipmaps;
    textureOptions.repeat = true;
    std::vector<std::vector<SceneMaterial>> materials(model.meshes.size());
    for (std::size_t mesh = 0; mesh < model.meshes.size(); ++mesh) {
        const LmdMesh& source = model.meshes[mesh];
        materials[mesh].resize(source.materials.size());
        for (std::size_t index = 0; index < source.materials.size(); ++index) {
            SceneMaterial& material = materials[mesh][index];
            material.options = MaterialShaderOptions(model, mesh, index);
            material.transparent = material.options.transparent != 0;
            if (material.options.textured != 0) {
                // A texture that fails to load (already reported) leaves the material plain.
                material.texture = render.LoadTexture(source.materials[index].textureName.c_str(), textureOptions);
                if (material.texture == nullptr) {
                    material.options.textured = 0;
                }
            }
        }
    }
    return new SceneModel(name, std::move(model), std::move(materials));
}

} // namespace Lumora::Internal
