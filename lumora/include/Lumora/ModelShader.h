// Lumora/ModelShader.h: the model shader plug-in boundary (Tessera.lmp and Common.lmp).
//
// The GL renderer carries no model shaders of its own. For every model material it fills
// a ModelShaderOptions record, calls the one export of "Tessera.lmp",
// GetModelShaderBuffer, and compiles the GLSL text it gets back (one vertex and one
// fragment stage, see "Decoded text" below). Tessera keeps 128 encoded variants, one per
// combination of the seven options; for each call it loads the engine's companion library
// "Common.lmp" from its own directory (the program's directory, where both plug-ins are
// installed), calls its ShaderDecode to decode the chosen variant into Tessera's output
// buffer, and unloads it again.
//
// What this leaves to the caller (the renderer):
//   - compiling, linking and caching the programs, and saying clearly on stderr when a
//     shader is missing or does not compile;
//   - copying or compiling the text before the next call: the output buffer is shared by
//     all calls and overwritten by each; calls must not overlap (one thread at a time);
//   - feeding the attributes and uniforms below. Unused inputs of a variant are not
//     declared by it (glGetUniformLocation returns -1 for them; setting -1 is a no-op).
//
// Ownership: the output buffer belongs to Tessera.lmp and stays valid while the plug-in
// is loaded; the caller never frees it. The options record is only read during the call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Lumora {

#pragma pack(push, 1)
// The seven model options, one byte each: 0 = off, any other value = on.
// Options 0 to 2 describe the vertex data, options 3 to 6 the shading.
struct ModelShaderOptions {
    // 0: rigid skinning. Each vertex follows one bone of the palette uBones
    //    (attribute aBoneIndex), then the model matrix.
    std::uint8_t skinned;
    // 1: the material has a texture: colour *= texture(uTexture, aTexCoord).
    std::uint8_t textured;
    // 2: the mesh has per-vertex colours: colour *= aColor.
    std::uint8_t vertexColor;
    // 3: one directional light: rgb *= uLightColor * max(dot(normal, -uLightDirection), 0)
    //    (plus the ambient term when option 4 is on).
    std::uint8_t lit;
    // 4: ambient light: uAmbientColor is added to the light (alone when option 3 is off).
    //    With neither option 3 nor 4 the material is drawn unlit, at full brightness.
    std::uint8_t ambient;
    // 5: linear distance fog: rgb blends towards uFogColor between uFogRange.x and
    //    uFogRange.y (eye distance in world units).
    std::uint8_t fog;
    // 6: transparent: the output alpha is the product of the material colour's alpha,
    //    the texture's and the vertex colour's; fragments with alpha 0 are discarded.
    //    When off the output alpha is 1 (opaque). Blending is the renderer's to set.
    std::uint8_t transparent;
};
#pragma pack(pop)
static_assert(sizeof(ModelShaderOptions) == 7, "ModelShaderOptions is the 7-byte option record");
static_assert(offsetof(ModelShaderOptions, transparent) == 6, "option n is byte n");

// Capacity of Tessera's output buffer in bytes (0x80000). GetModelShaderBuffer stores it
// through its size argument before decoding.
inline constexpr std::uint32_t ModelShaderBufferSize = 524288;

// ---- The shader interface every variant shares -------------------------------------------
//
// GLSL version: each stage starts with "#version 330 core" (OpenGL 3.3 core profile).
//
// Vertex attributes, at fixed locations (explicit layout qualifiers in the source, so no
// glBindAttribLocation is needed):
enum ModelShaderAttribute : std::uint32_t {
    ModelShaderAttributePosition = 0,       // vec3 aPosition: model space, world units
    ModelShaderAttributeNormal = 1,         // vec3 aNormal: model space (lit variants)
    ModelShaderAttributeTexCoord = 2,       // vec2 aTexCoord: 0..1, origin as uploaded (textured)
    ModelShaderAttributeColor = 3,          // vec4 aColor: RGBA 0..1, e.g. normalised bytes (vertex colour)
    ModelShaderAttributeBoneIndex = 4,      // float aBoneIndex: whole number 0..palette-1, fed with
                                            // glVertexAttribPointer from any type, not normalised (skinned)
    ModelShaderAttributeInstanceOffset = 5, // vec4 aInstanceOffset: xyz added to the world position
                                            // after uModel, in world units; w unused. Every variant
                                            // declares it. Leave the array disabled for a plain draw
                                            // (the default generic value (0,0,0,1) adds nothing), or
                                            // give it a divisor of 1 to draw many copies of a mesh
                                            // with one instanced call.
};

// Number of bone matrices in uBones (the palette of the skinned variants). Chosen so that
// the vertex uniforms stay within OpenGL 3.3's minimum of 1024 components.
inline constexpr std::uint32_t ModelShaderBonePaletteSize = 48;

// Uniform names. Matrices are column-major as glUniformMatrix4fv takes them with
// transpose = GL_FALSE; colours are linear RGB(A) 0..1.
inline constexpr const char* ModelShaderUniformModel = "uModel";             // mat4, model -> world; rigid, see below
inline constexpr const char* ModelShaderUniformView = "uView";               // mat4, world -> eye
inline constexpr const char* ModelShaderUniformProjection = "uProjection";   // mat4, eye -> clip
inline constexpr const char* ModelShaderUniformBones = "uBones";             // mat4[ModelShaderBonePaletteSize],
                                                                             // bone -> model space (skinned)
inline constexpr const char* ModelShaderUniformMaterialColor = "uMaterialColor"; // vec4, every variant
inline constexpr const char* ModelShaderUniformTexture = "uTexture";         // sampler2D, texture unit 0 (textured)
inline constexpr const char* ModelShaderUniformLightDirection = "uLightDirection"; // vec3, world space, the way
                                                                             // the light travels; any length (lit)
inline constexpr const char* ModelShaderUniformLightColor = "uLightColor";   // vec3 (lit)
inline constexpr const char* ModelShaderUniformAmbientColor = "uAmbientColor"; // vec3 (ambient)
inline constexpr const char* ModelShaderUniformFogColor = "uFogColor";       // vec3 (fog)
inline constexpr const char* ModelShaderUniformFogRange = "uFogRange";       // vec2: start, end; eye distance
                                                                             // in world units (fog)
// The fragment stage writes one output, "fragColor", at location 0.
//
// Normals. uModel must be rigid: a rotation and a translation, at most with a uniform
// scale (the renderer's actors only turn about Y and move). The lit variants then turn
// normals by mat3(uModel) itself, which keeps them perpendicular to their surfaces, and
// spend no per-vertex inverse on it; the fragment stage normalises, so a uniform scale does
// not change the light. A non-uniform scale in uModel would tilt the normals: put such a
// scale in the model (or in a bone) instead. Bones may scale unevenly or mirror: the
// skinned variants turn a normal by the bone's cofactor matrix (its inverse transpose up to
// a positive factor, from three cross products) before uModel.

// ---- Decoded text --------------------------------------------------------------------------
//
// A successful decode leaves in the output buffer: the vertex stage source, a line holding
// exactly ModelShaderStageSeparator, then the fragment stage source, followed by one zero
// byte. The size argument then holds the length in bytes without that zero byte, which is
// always less than ModelShaderBufferSize. Other sizes tell the caller what happened:
//   - ModelShaderBufferSize: nothing was decoded ("Common.lmp" could not be loaded; the
//     buffer holds whatever an earlier call left there);
//   - 0: ShaderDecode refused the data (corrupt), the buffer holds an empty string.
inline constexpr std::string_view ModelShaderStageSeparator = "//==== fragment stage ====";

// Splits decoded text into its two stages; false when the separator line is missing.
// The views point into `text`.
inline bool SplitModelShaderText(std::string_view text, std::string_view& vertexSource,
                                 std::string_view& fragmentSource)
{
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = text.size();
        }
        if (text.substr(lineStart, lineEnd - lineStart) == ModelShaderStageSeparator) {
            vertexSource = text.substr(0, lineStart);
            fragmentSource = lineEnd < text.size() ? text.substr(lineEnd + 1) : std::string_view();
            return true;
        }
        lineStart = lineEnd + 1;
    }
    return false;
}

} // namespace Lumora

extern "C" {
// Tessera.lmp's one export. Stores the output buffer's address through `buffer` and
// ModelShaderBufferSize through `size`, then decodes the variant for `options` into the
// buffer, leaving the decoded length in *size. Returns true when the variant was handed to
// the decoder or "Common.lmp" could not be loaded (see the sizes above); false when
// "Common.lmp" lacks ShaderDecode (nothing decoded) or an argument is null.
typedef bool (*GetModelShaderBufferFunction)(const Lumora::ModelShaderOptions* options, char** buffer,
                                             std::uint32_t* size);

// Common.lmp's decoder. Inflates `blobSize` bytes at `blob` into `output`, whose capacity
// in bytes *size holds on entry, and appends a zero byte. Never writes more than that
// capacity. On success stores the decoded length (without the zero byte) in *size and
// returns non-zero; on corrupt data, or output that does not fit with its zero byte,
// stores 0 in *size, leaves an empty string (when the capacity allows one) and returns 0.
typedef std::int32_t (*ShaderDecodeFunction)(char* output, std::uint32_t* size, const void* blob,
                                             std::uint32_t blobSize);
}
