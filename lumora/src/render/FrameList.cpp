#include "FrameList.h"

#include "Texture.h"

namespace Lumora::Internal {

FrameList::~FrameList()
{
    Clear();
}

void FrameList::Clear()
{
    for (Texture* texture : held_) {
        texture->Release();
    }
    held_.clear();
    for (ScenePassEntry& entry : scenes_) {
        entry.pass->DropPass();
    }
    scenes_.clear();
    quads_.clear();
    texts_.clear();
}

void FrameList::Reserve(std::size_t quadCount)
{
    quads_.reserve(quadCount);
    held_.reserve(quadCount / 4 + 16);
    scenes_.reserve(8);
}

void FrameList::Add(const Quad& quad)
{
    if (quad.texture == nullptr) {
        return;
    }
    // Runs of one texture are the common case; one reference per run keeps it alive.
    if (held_.empty() || held_.back() != quad.texture) {
        quad.texture->AddRef();
        held_.push_back(quad.texture);
    }
    quads_.push_back(quad);
}

void FrameList::AddScenePass(ScenePass* pass)
{
    if (pass == nullptr) {
        return;
    }
    pass->HoldPass();
    scenes_.push_back(ScenePassEntry{quads_.size(), pass});
}

void BuildRuns(const std::vector<Quad>& quads, std::vector<QuadRun>& runs)
{
    runs.clear();
    for (std::size_t index = 0; index < quads.size(); ++index) {
        const Quad& quad = quads[index];
        if (!runs.empty()) {
            const Quad& head = quads[runs.back().first];
            if (head.texture == quad.texture && head.blendMode == quad.blendMode && head.shader == quad.shader) {
                ++runs.back().count;
                continue;
            }
        }
        runs.push_back(QuadRun{index, 1});
    }
}

} // namespace Lumora::Internal
