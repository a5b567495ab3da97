// libFuzzer target for the .lmd reader: any bytes are either refused with an error or
// give a model that every posing, bounds and shader-option call can use without reading
// out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "LmdModel.h"
#include "ModelPose.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Lumora::Internal;
    const LmdParseResult parsed = ParseLmd(std::span<const std::uint8_t>(data, size));
    if (!parsed.model) {
        if (parsed.error == LmdError::None || parsed.message.empty()) {
            __builtin_trap();  // a refusal must say why
        }
        return 0;
    }
    const LmdModel& model = *parsed.model;
    // What is accepted is written back to the same model.
    const LmdParseResult again = ParseLmd(WriteLmd(model));
    if (!again.model || !(*again.model == model)) {
        __builtin_trap();
    }
    std::vector<Matrix4> palette(model.bones.size());
    for (const LmdAnimation& animation : model.animations) {
        for (float frame : {-1.0f, 0.0f, animation.length * 0.5f, animation.length, animation.length + 1.0f}) {
            ComputeBonePalette(model, animation.index, frame, palette);
        }
    }
    ComputeBonePalette(model, -1, 0.0f, palette);
    std::size_t vertexCount = 0;
    for (std::size_t m = 0; m < model.meshes.size(); ++m) {
        ComputeMeshBounds(model.meshes[m]);
        vertexCount += model.meshes[m].vertices.size();
        for (std::size_t j = 0; j <= model.meshes[m].materials.size(); ++j) {
            MaterialShaderOptions(model, m, j, j % 2 == 0);
        }
    }
    // Animated bounds pose every vertex many times: only for small models, to keep runs fast.
    if (vertexCount <= 64) {
        for (std::size_t m = 0; m < model.meshes.size(); ++m) {
            ComputeAnimatedMeshBounds(model, m);
        }
    }
    return 0;
}
