// The OpenGL 3D pass: uploads models on first use, fetches and caches the model shader
// programs (one per combination of the seven options, so the cache is a 128-entry table),
// and draws a built frame: opaque instanced groups, opaque single actors, then the
// transparent actors far to near. Runs on the drawing thread, inside the GL backend's
// DrawFrame, with the logical screen's target bound.
#include "GlProgram.h"
#include "GlTexture.h"
#include "ModelShaderHost.h"
#include "SceneFactory.h"
#include "SceneManager.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace Lumora::Internal {

struct GpuMaterialRange {
    std::uint32_t firstIndex = 0;
    std::uint32_t indexCount = 0;
};

struct GpuMesh {
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;
    GLuint indexBuffer = 0;
    std::vector<GpuMaterialRange> materials;
};

struct GpuModel {
    std::uint64_t generation = 0; // the GL context it belongs to
    std::vector<GpuMesh> meshes;
};

namespace {

// One vertex as uploaded: 40 bytes.
struct GpuVertex {
    float position[3];
    float normal[3];
    float texCoord[2];
    std::uint8_t color[4];
    float bone;
};
static_assert(sizeof(GpuVertex) == 40);

struct ProgramEntry {
    GLuint program = 0;
    bool tried = false;
    std::uint64_t frameStamp = 0; // frame whose constants are set
    GLint model = -1, view = -1, projection = -1, bones = -1, materialColor = -1, texture = -1;
    GLint lightDirection = -1, lightColor = -1, ambientColor = -1, fogColor = -1, fogRange = -1;
};

struct GlState {
    std::uint64_t generation = 1;
    std::array<ProgramEntry, 128> programs{};
    GLuint instanceBuffer = 0;
    std::size_t instanceCapacity = 0; // in vec4s
    std::vector<float> instanceData;  // grows only; reused every frame
    GLuint samplers[3] = {0, 0, 0};   // nearest, linear, mipmapped
    std::uint64_t frameStamp = 0;
    std::array<Matrix4, ModelShaderBonePaletteSize> palette{};
    // Per option index: bit 0 drawn plain, bit 1 drawn instanced, since the context was made.
    std::array<std::uint8_t, 128> drawnKinds{};
};

GlState& State()
{
    static GlState state;
    return state;
}

std::mutex deletionMutex;
std::vector<GLuint> buffersToDelete;
std::vector<GLuint> arraysToDelete;
std::uint64_t deletionGeneration = 1;

void DrainDeletions()
{
    std::lock_guard lock(deletionMutex);
    if (!buffersToDelete.empty()) {
        glDeleteBuffers(static_cast<GLsizei>(buffersToDelete.size()), buffersToDelete.data());
        buffersToDelete.clear();
    }
    if (!arraysToDelete.empty()) {
        glDeleteVertexArrays(static_cast<GLsizei>(arraysToDelete.size()), arraysToDelete.data());
        arraysToDelete.clear();
    }
}

unsigned OptionIndex(const ModelShaderOptions& options)
{
    const std::uint8_t* bytes = &options.skinned;
    unsigned index = 0;
    for (unsigned bit = 0; bit < 7; ++bit) {
        if (bytes[bit] != 0) {
            index |= 1u << bit;
        }
    }
    return index;
}

// The program for an option set; 0 (reported once) when it cannot be had.
ProgramEntry* Program(const ModelShaderOptions& options)
{
    const unsigned index = OptionIndex(options);
    ProgramEntry& entry = State().programs[index];
    if (entry.tried) {
        return entry.program != 0 ? &entry : nullptr;
    }
    entry.tried = true;
    std::string vertexSource;
    std::string fragmentSource;
    std::string error;
    if (!FetchModelShader(options, vertexSource, fragmentSource, error)) {
        // A missing plug-in fails every variant with the same reason: the player is told once
        // per reason, not once per variant. Main thread only, like the whole GL pass.
        static std::string lastReason;
        if (error != lastReason) {
            std::fprintf(stderr, "Lumora: model shader %02X missing; the materials that need it are skipped: %s\n",
                         index, error.c_str());
            lastReason = error;
        }
        return nullptr;
    }
    char what[32];
    std::snprintf(what, sizeof(what), "model shader %02X", index);
    const GLuint program =
        BuildGlProgram({vertexSource.c_str()}, {fragmentSource.c_str()}, what, "its materials are skipped");
    if (program == 0) {
        return nullptr;
    }
    entry.program = program;
    entry.model = glGetUniformLocation(program, ModelShaderUniformModel);
    entry.view = glGetUniformLocation(program, ModelShaderUniformView);
    entry.projection = glGetUniformLocation(program, ModelShaderUniformProjection);
    entry.bones = glGetUniformLocation(program, ModelShaderUniformBones);
    entry.materialColor = glGetUniformLocation(program, ModelShaderUniformMaterialColor);
    entry.texture = glGetUniformLocation(program, ModelShaderUniformTexture);
    entry.lightDirection = glGetUniformLocation(program, ModelShaderUniformLightDirection);
    entry.lightColor = glGetUniformLocation(program, ModelShaderUniformLightColor);
    entry.ambientColor = glGetUniformLocation(program, ModelShaderUniformAmbientColor);
    entry.fogColor = glGetUniformLocation(program, ModelShaderUniformFogColor);
    entry.fogRange = glGetUniformLocation(program, ModelShaderUniformFogRange);
    glUseProgram(program);
    glUniform1i(entry.texture, 0);
    return &entry;
}

// The attribute layout of GpuVertex in the bound vertex array and array buffer, and the
// instance offsets' divisor (their array is enabled per draw). The software renderer keys
// its compiled vertex stage on this layout, so the 3D pass and the shader priming share it.
void SetVertexLayout()
{
    const auto stride = static_cast<GLsizei>(sizeof(GpuVertex));
    glEnableVertexAttribArray(ModelShaderAttributePosition);
    glVertexAttribPointer(ModelShaderAttributePosition, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(GpuVertex, position)));
    glEnableVertexAttribArray(ModelShaderAttributeNormal);
    glVertexAttribPointer(ModelShaderAttributeNormal, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(GpuVertex, normal)));
    glEnableVertexAttribArray(ModelShaderAttributeTexCoord);
    glVertexAttribPointer(ModelShaderAttributeTexCoord, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(GpuVertex, texCoord)));
    glEnableVertexAttribArray(ModelShaderAttributeColor);
    glVertexAttribPointer(ModelShaderAttributeColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(GpuVertex, color)));
    glEnableVertexAttribArray(ModelShaderAttributeBoneIndex);
    glVertexAttribPointer(ModelShaderAttributeBoneIndex, 1, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(GpuVertex, bone)));
    glVertexAttribDivisor(ModelShaderAttributeInstanceOffset, 1);
}

// The pass state of opaque materials and the one of transparent materials (blended, depth
// tested but not written), shared with the shader priming for the same reason.
void SetOpaqueState()
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CW); // the view mirrors X (see PerspectiveMatrix)
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
}

void SetTransparentState()
{
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
    glDepthMask(GL_FALSE);
}

// The instance offsets for the bound vertex array: from `buffer` (vec4s from `first` on) for
// an instanced group, the constant (0, 0, 0, 1) when `buffer` is 0.
void BindInstanceOffsets(GLuint buffer, std::size_t first)
{
    if (buffer != 0) {
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glEnableVertexAttribArray(ModelShaderAttributeInstanceOffset);
        glVertexAttribPointer(ModelShaderAttributeInstanceOffset, 4, GL_FLOAT, GL_FALSE, 0,
                              reinterpret_cast<const void*>(first * 4 * sizeof(float)));
    } else {
        glDisableVertexAttribArray(ModelShaderAttributeInstanceOffset);
        glVertexAttrib4f(ModelShaderAttributeInstanceOffset, 0.0f, 0.0f, 0.0f, 1.0f);
    }
}

bool Upload(SceneModel& model)
{
    GlState& state = State();
    if (model.gpu != nullptr && model.gpu->generation == state.generation) {
        return true;
    }
    if (model.gpuFailed) {
        return false;
    }
    if (model.gpu != nullptr) {
        delete model.gpu; // from a context that is gone; its names died with it
        model.gpu = nullptr;
    }
    auto* gpu = new GpuModel();
    gpu->generation = state.generation;
    const LmdModel& data = model.Data();
    gpu->meshes.resize(data.meshes.size());
    std::vector<GpuVertex> vertices;
    std::vector<std::uint32_t> indices;
    for (std::size_t meshIndex = 0; meshIndex < data.meshes.size(); ++meshIndex) {
        const LmdMesh& mesh = data.meshes[meshIndex];
        GpuMesh& out = gpu->meshes[meshIndex];
        vertices.clear();
        for (const LmdVertex& v : mesh.vertices) {
            GpuVertex g{};
            g.position[0] = v.position.x;
            g.position[1] = v.position.y;
            g.position[2] = v.position.z;
            g.normal[0] = v.normal.x;
            g.normal[1] = v.normal.y;
            g.normal[2] = v.normal.z;
            g.texCoord[0] = v.texCoord[0];
            g.texCoord[1] = v.texCoord[1];
            std::memcpy(g.color, v.color.data(), 4);
            g.bone = static_cast<float>(v.bone);
            vertices.push_back(g);
        }
        indices.clear();
        out.materials.resize(mesh.materials.size());
        for (std::size_t material = 0; material < mesh.triangles.size() && material < mesh.materials.size(); ++material) {
            out.materials[material].firstIndex = static_cast<std::uint32_t>(indices.size());
            out.materials[material].indexCount = static_cast<std::uint32_t>(mesh.triangles[material].size());
            indices.insert(indices.end(), mesh.triangles[material].begin(), mesh.triangles[material].end());
        }
        glGenVertexArrays(1, &out.vertexArray);
        glGenBuffers(1, &out.vertexBuffer);
        glGenBuffers(1, &out.indexBuffer);
        glBindVertexArray(out.vertexArray);
        glBindBuffer(GL_ARRAY_BUFFER, out.vertexBuffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(GpuVertex)), vertices.data(),
                     GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, out.indexBuffer);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                     indices.data(), GL_STATIC_DRAW);
        SetVertexLayout();
        glBindVertexArray(0);
    }
    model.gpu = gpu;
    return true;
}

void EnsureSamplers()
{
    GlState& state = State();
    if (state.samplers[0] != 0) {
        return;
    }
    glGenSamplers(3, state.samplers);
    const GLint minFilters[3] = {GL_NEAREST, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR};
    const GLint magFilters[3] = {GL_NEAREST, GL_LINEAR, GL_LINEAR};
    for (int i = 0; i < 3; ++i) {
        glSamplerParameteri(state.samplers[i], GL_TEXTURE_MIN_FILTER, minFilters[i]);
        glSamplerParameteri(state.samplers[i], GL_TEXTURE_MAG_FILTER, magFilters[i]);
        glSamplerParameteri(state.samplers[i], GL_TEXTURE_WRAP_S, GL_REPEAT);
        glSamplerParameteri(state.samplers[i], GL_TEXTURE_WRAP_T, GL_REPEAT);
    }
}

// Everything one draw needs besides the actor.
struct PassContext {
    const BuiltFrame* built;
    const SceneSnapshot* snapshot;
    float fogStart;
    float fogEnd;
};

void SetFrameConstants(ProgramEntry& program, const PassContext& pass)
{
    GlState& state = State();
    if (program.frameStamp == state.frameStamp) {
        return;
    }
    program.frameStamp = state.frameStamp;
    const SceneSnapshot& s = *pass.snapshot;
    glUniformMatrix4fv(program.view, 1, GL_FALSE, pass.built->view.m.data());
    glUniformMatrix4fv(program.projection, 1, GL_FALSE, pass.built->projection.m.data());
    glUniform3f(program.lightDirection, s.lightDirection.x, s.lightDirection.y, s.lightDirection.z);
    glUniform3f(program.lightColor, s.lightColor.x, s.lightColor.y, s.lightColor.z);
    glUniform3f(program.ambientColor, s.ambient.x, s.ambient.y, s.ambient.z);
    const std::uint32_t argb = s.backgroundArgb;
    glUniform3f(program.fogColor, static_cast<float>((argb >> 16) & 0xFF) / 255.0f,
                static_cast<float>((argb >> 8) & 0xFF) / 255.0f, static_cast<float>(argb & 0xFF) / 255.0f);
    glUniform2f(program.fogRange, pass.fogStart, pass.fogEnd);
}

// Draws the materials of one actor's model whose transparency is `transparentPass`.
// `entry` null: an instanced group (uModel identity, offsets already bound).
void DrawModel(SceneModel& model, const QueuedActor* entry, bool transparentPass, const PassContext& pass,
               GLsizei instances, std::size_t instanceFirst)
{
    GlState& state = State();
    const Actor* actor = entry != nullptr ? entry->actor : nullptr;
    Matrix4 world;
    if (entry != nullptr) {
        const float c = entry->cosine;
        const float s = entry->sine;
        world.m = {c, 0.0f, -s, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, s, 0.0f, c, 0.0f,
                   entry->translation[0], entry->translation[1], entry->translation[2], 1.0f};
    }
    bool paletteReady = false;
    const auto& materials = model.Materials();
    for (std::size_t meshIndex = 0; meshIndex < materials.size(); ++meshIndex) {
        const GpuMesh& mesh = model.gpu->meshes[meshIndex];
        bool bound = false;
        for (std::size_t materialIndex = 0; materialIndex < materials[meshIndex].size(); ++materialIndex) {
            const SceneMaterial& material = materials[meshIndex][materialIndex];
            const bool transparent =
                actor != nullptr ? actor->MaterialTransparent(meshIndex, materialIndex) : material.transparent;
            const GpuMaterialRange& range = mesh.materials[materialIndex];
            if (transparent != transparentPass || range.indexCount == 0) {
                continue;
            }
            ModelShaderOptions options = material.options;
            options.transparent = transparent ? 1 : 0;
            ProgramEntry* program = Program(options);
            if (program == nullptr) {
                continue;
            }
            glUseProgram(program->program);
            state.drawnKinds[OptionIndex(options)] |= instances > 0 ? 2 : 1;
            SetFrameConstants(*program, pass);
            glUniformMatrix4fv(program->model, 1, GL_FALSE, world.m.data());
            const LmdMaterial& source = model.Data().meshes[meshIndex].materials[materialIndex];
            Math::Vector4D color(source.color[0], source.color[1], source.color[2], source.color[3]);
            if (const MaterialOverride* slot = actor != nullptr ? actor->Override(meshIndex, materialIndex) : nullptr) {
                if (slot->colorSet) {
                    color = slot->color;
                }
            }
            glUniform4f(program->materialColor, color.x, color.y, color.z, color.w);
            if (options.skinned != 0 && program->bones >= 0) {
                if (!paletteReady) {
                    const std::size_t bones = std::min<std::size_t>(model.Data().bones.size(), state.palette.size());
                    ComputeBonePalette(model.Data(), entry != nullptr ? entry->animation : -1,
                                       entry != nullptr ? entry->frame : 0.0f, std::span(state.palette.data(), bones));
                    paletteReady = true;
                }
                glUniformMatrix4fv(program->bones,
                                   static_cast<GLsizei>(std::min<std::size_t>(model.Data().bones.size(), state.palette.size())),
                                   GL_FALSE, state.palette[0].m.data());
            }
            if (material.texture != nullptr && options.textured != 0 && UploadTextureToGl(*material.texture)) {
                glActiveTexture(GL_TEXTURE0);
                glBindTexture(GL_TEXTURE_2D, material.texture->gpuName);
                glBindSampler(0, state.samplers[std::clamp(pass.snapshot->textureFilter, 0, 2)]);
            }
            if (!bound) {
                glBindVertexArray(mesh.vertexArray);
                BindInstanceOffsets(instances > 0 ? state.instanceBuffer : 0, instanceFirst);
                bound = true;
            }
            const void* offset = reinterpret_cast<const void*>(static_cast<std::size_t>(range.firstIndex) * sizeof(std::uint32_t));
            if (instances > 0) {
                glDrawElementsInstanced(GL_TRIANGLES, static_cast<GLsizei>(range.indexCount), GL_UNSIGNED_INT, offset,
                                        instances);
            } else {
                glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(range.indexCount), GL_UNSIGNED_INT, offset);
            }
        }
    }
}

} // namespace

void ReleaseGpuModel(GpuModel* gpu)
{
    {
        std::lock_guard lock(deletionMutex);
        if (gpu->generation == deletionGeneration) {
            for (const GpuMesh& mesh : gpu->meshes) {
                buffersToDelete.push_back(mesh.vertexBuffer);
                buffersToDelete.push_back(mesh.indexBuffer);
                arraysToDelete.push_back(mesh.vertexArray);
            }
        }
    }
    delete gpu;
}

void ReleaseSceneGlResources()
{
    GlState& state = State();
    DrainDeletions();
    for (ProgramEntry& entry : state.programs) {
        if (entry.program != 0) {
            glDeleteProgram(entry.program);
        }
        entry = ProgramEntry{};
    }
    // Only what was made is deleted: a context too old for the backend never drew a scene
    // and may lack these calls.
    if (state.instanceBuffer != 0) {
        glDeleteBuffers(1, &state.instanceBuffer);
    }
    state.instanceBuffer = 0;
    state.instanceCapacity = 0;
    if (state.samplers[0] != 0) {
        glDeleteSamplers(3, state.samplers);
    }
    state.samplers[0] = state.samplers[1] = state.samplers[2] = 0;
    state.drawnKinds = {};
    ++state.generation;
    std::lock_guard lock(deletionMutex);
    deletionGeneration = state.generation;
}

void SceneManager::DrawWithGl(std::int32_t screenWidth, std::int32_t screenHeight, std::int32_t targetWidth,
                              std::int32_t targetHeight, std::int32_t originX, std::int32_t originY)
{
    GlState& state = State();
    DrainDeletions();
    EnsureSamplers();
    ++state.frameStamp;
    const BuiltFrame& built = BuildFrame();
    const SceneSnapshot& s = snapshot_;
    // The viewport is set in logical pixels and drawn in target pixels (projection and field
    // of view unchanged: the aspect is the same).
    const std::int32_t logicalWidth = s.viewportWidth > 0 ? std::min(s.viewportWidth, screenWidth) : screenWidth;
    const std::int32_t logicalHeight = s.viewportHeight > 0 ? std::min(s.viewportHeight, screenHeight) : screenHeight;
    const auto toTarget = [](std::int32_t logical, std::int32_t screen, std::int32_t target) {
        return screen > 0 ? static_cast<std::int32_t>(
                                (static_cast<std::int64_t>(logical) * target + screen / 2) / screen)
                          : logical;
    };
    const std::int32_t width = toTarget(logicalWidth, screenWidth, targetWidth);
    const std::int32_t height = toTarget(logicalHeight, screenHeight, targetHeight);
    // The viewport's top-left is the screen's; GL counts rows from the bottom.
    glViewport(originX, originY + targetHeight - height, width, height);
    glEnable(GL_SCISSOR_TEST);
    glScissor(originX, originY + targetHeight - height, width, height);
    glDepthMask(GL_TRUE);
    if (s.clearBackground) {
        const std::uint32_t argb = s.backgroundArgb;
        glClearColor(static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
                     static_cast<float>(argb & 0xFF) / 255.0f, 1.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    } else {
        glClearDepth(1.0);
        glClear(GL_DEPTH_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
    SetOpaqueState();

    PassContext pass{&built, &s, s.camera.farPlane * 0.5f, s.camera.farPlane};

    // Instance offsets of every group in one buffer.
    const std::size_t instanceCount = built.instanced.size();
    if (instanceCount > 0) {
        if (state.instanceData.size() < instanceCount * 4) {
            state.instanceData.resize(instanceCount * 4);
        }
        float* out = state.instanceData.data();
        for (const std::int32_t index : built.instanced) {
            const QueuedActor& entry = drawn_[static_cast<std::size_t>(index)];
            *out++ = entry.translation[0];
            *out++ = entry.translation[1];
            *out++ = entry.translation[2];
            *out++ = 0.0f;
        }
        if (state.instanceBuffer == 0) {
            glGenBuffers(1, &state.instanceBuffer);
        }
        glBindBuffer(GL_ARRAY_BUFFER, state.instanceBuffer);
        if (instanceCount > state.instanceCapacity) {
            state.instanceCapacity = std::max(instanceCount, state.instanceCapacity * 2);
        }
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(state.instanceCapacity * 4 * sizeof(float)), nullptr,
                     GL_STREAM_DRAW);
        glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(instanceCount * 4 * sizeof(float)),
                        state.instanceData.data());
    }
    for (std::size_t group = 0; group < built.groupCount; ++group) {
        const BuiltFrame::Group& g = built.groups[group];
        if (g.count > 0 && Upload(*g.model)) {
            DrawModel(*g.model, nullptr, false, pass, g.count, static_cast<std::size_t>(g.first));
        }
    }
    for (const std::int32_t index : built.individual) {
        const QueuedActor& entry = drawn_[static_cast<std::size_t>(index)];
        SceneModel& model = *entry.actor->Model();
        if (Upload(model)) {
            DrawModel(model, &entry, false, pass, 0, 0);
        }
    }
    if (!built.transparent.empty()) {
        SetTransparentState();
        for (const std::int32_t index : built.transparent) {
            const QueuedActor& entry = drawn_[static_cast<std::size_t>(index)];
            SceneModel& model = *entry.actor->Model();
            if (Upload(model)) {
                DrawModel(model, &entry, true, pass, 0, 0);
            }
        }
        glDepthMask(GL_TRUE);
        glDisable(GL_BLEND);
    }
    glBindVertexArray(0);
    glBindSampler(0, 0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
}

} // namespace Lumora::Internal

namespace Lumora::Internal {

namespace {

// Draws every one of `draws` once into the bound framebuffer, with the pass state, vertex
// layout and instance binding of the 3D pass; `programs` caches this context's programs
// by option index. Geometry: two small triangles of opposite winding, so one passes the
// back-face cull whichever way the view turns.
std::size_t PrimeInto(std::span<const ModelShaderDraw> draws, std::array<GLuint, 128>& programs,
                      std::array<bool, 128>& tried, GLuint instanceBuffer, GLuint texture, GLuint sampler,
                      const std::atomic<bool>& stop)
{
    std::size_t drawn = 0;
    for (const ModelShaderDraw& draw : draws) {
        if (stop.load(std::memory_order_relaxed)) {
            break;
        }
        const unsigned index = OptionIndex(draw.options);
        if (!tried[index]) {
            tried[index] = true;
            std::string vertexSource;
            std::string fragmentSource;
            std::string error;
            // A variant that cannot be had is the 3D pass's to report, when it needs it.
            if (FetchModelShader(draw.options, vertexSource, fragmentSource, error)) {
                char what[48];
                std::snprintf(what, sizeof(what), "model shader %02X (compiled ahead)", index);
                programs[index] = BuildGlProgram({vertexSource.c_str()}, {fragmentSource.c_str()}, what, "");
            }
        }
        const GLuint program = programs[index];
        if (program == 0) {
            continue;
        }
        glUseProgram(program);
        static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        for (const char* name : {ModelShaderUniformModel, ModelShaderUniformView, ModelShaderUniformProjection}) {
            glUniformMatrix4fv(glGetUniformLocation(program, name), 1, GL_FALSE, identity);
        }
        glUniformMatrix4fv(glGetUniformLocation(program, ModelShaderUniformBones), 1, GL_FALSE, identity);
        glUniform4f(glGetUniformLocation(program, ModelShaderUniformMaterialColor), 1.0f, 1.0f, 1.0f, 0.5f);
        glUniform1i(glGetUniformLocation(program, ModelShaderUniformTexture), 0);
        glUniform2f(glGetUniformLocation(program, ModelShaderUniformFogRange), 1.0f, 2.0f);
        if (draw.options.textured != 0) {
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, texture);
            glBindSampler(0, sampler);
        }
        SetOpaqueState();
        if (draw.options.transparent != 0) {
            SetTransparentState();
        }
        BindInstanceOffsets(draw.instanced != 0 ? instanceBuffer : 0, 0);
        // Indexed, as the 3D pass draws its meshes.
        if (draw.instanced != 0) {
            glDrawElementsInstanced(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr, 1);
        } else {
            glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
        }
        ++drawn;
    }
    return drawn;
}

} // namespace

std::size_t PrimeModelShaderDraws(std::span<const ModelShaderDraw> draws, const std::atomic<bool>& stop)
{
    if (draws.empty()) {
        return 0;
    }
    GpuVertex vertices[6]{};
    const float corners[6][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {-0.5f, 0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, -0.5f}};
    for (int i = 0; i < 6; ++i) {
        vertices[i].position[0] = corners[i][0];
        vertices[i].position[1] = corners[i][1];
        vertices[i].position[2] = 0.5f;
        vertices[i].normal[1] = 1.0f;
        vertices[i].texCoord[0] = corners[i][0] + 0.5f;
        vertices[i].texCoord[1] = corners[i][1] + 0.5f;
        std::memset(vertices[i].color, 0xFF, 4);
    }
    const float offset[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    GLuint vertexArray = 0;
    const std::uint32_t indices[6] = {0, 1, 2, 3, 4, 5};
    GLuint buffers[3] = {0, 0, 0}; // vertices, instance offsets, indices
    glGenVertexArrays(1, &vertexArray);
    glGenBuffers(3, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ARRAY_BUFFER, sizeof(offset), offset, GL_STATIC_DRAW);
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, sizeof(vertices), vertices, GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[2]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(indices), indices, GL_STATIC_DRAW);
    SetVertexLayout();

    // The game's models have no textures. A textured variant is drawn with a 2 x 2 texture
    // of one level under the 3D pass's nearest sampler, which need not be the state a
    // textured model meets (its texture has mipmaps, and fractional scales filter).
    const std::uint8_t texel[2 * 2 * 4] = {255, 255, 255, 255, 255, 255, 255, 255,
                                           255, 255, 255, 255, 255, 255, 255, 255};
    GLuint texture = 0;
    GLuint sampler = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_REPEAT);

    std::array<GLuint, 128> programs{};
    std::array<bool, 128> tried{};
    const std::size_t drawn = PrimeInto(draws, programs, tried, buffers[1], texture, sampler, stop);

    glBindVertexArray(0);
    glBindSampler(0, 0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    for (const GLuint program : programs) {
        if (program != 0) {
            glDeleteProgram(program);
        }
    }
    glDeleteTextures(1, &texture);
    glDeleteSamplers(1, &sampler);
    glDeleteBuffers(3, buffers);
    glDeleteVertexArrays(1, &vertexArray);
    return drawn;
}

std::vector<ModelShaderDraw> ModelShaderDrawsSoFar()
{
    std::vector<ModelShaderDraw> draws;
    const GlState& state = State();
    for (unsigned index = 0; index < 128; ++index) {
        for (std::uint8_t instanced = 0; instanced < 2; ++instanced) {
            if ((state.drawnKinds[index] & (1u << instanced)) == 0) {
                continue;
            }
            ModelShaderDraw draw;
            std::uint8_t* bytes = &draw.options.skinned;
            for (unsigned bit = 0; bit < 7; ++bit) {
                bytes[bit] = (index >> bit) & 1u;
            }
            draw.instanced = instanced;
            draws.push_back(draw);
        }
    }
    return draws;
}

} // namespace Lumora::Internal
