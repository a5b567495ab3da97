// Model vertex stage. Built into 128 variants by tools/shaderpack, which puts
// "#version 330 core" and one "#define LUMORA_<OPTION>" per option that is on in front of
// this text (see Lumora/ModelShader.h for what each option means and the interface the
// renderer feeds). LUMORA_BONE_PALETTE_SIZE is always defined.

layout(location = 0) in vec3 aPosition;
layout(location = 5) in vec4 aInstanceOffset; // world units; (0,0,0,1) when not instanced

uniform mat4 uModel;
uniform mat4 uView;
uniform mat4 uProjection;

#ifdef LUMORA_SKINNED
layout(location = 4) in float aBoneIndex;
uniform mat4 uBones[LUMORA_BONE_PALETTE_SIZE];
#endif

#ifdef LUMORA_TEXTURED
layout(location = 2) in vec2 aTexCoord;
out vec2 vTexCoord;
#endif

#ifdef LUMORA_VERTEX_COLOR
layout(location = 3) in vec4 aColor;
out vec4 vColor;
#endif

#ifdef LUMORA_LIT
layout(location = 1) in vec3 aNormal;
out vec3 vWorldNormal;
#endif

#ifdef LUMORA_FOG
out float vEyeDistance; // world units from the eye
#endif

void main()
{
    vec4 local = vec4(aPosition, 1.0);
#if defined(LUMORA_LIT)
    vec3 normal = aNormal;
#endif
#ifdef LUMORA_SKINNED
    // Rigid skinning: one bone per vertex. An index outside the palette is clamped rather
    // than read out of bounds.
    int bone = clamp(int(aBoneIndex + 0.5), 0, LUMORA_BONE_PALETTE_SIZE - 1);
    mat4 boneMatrix = uBones[bone];
    local = boneMatrix * local;
#ifdef LUMORA_LIT
    // Bones may scale unevenly, so the normal takes the bone's cofactor matrix: the inverse
    // transpose up to a positive factor (the fragment stage normalises), from three cross
    // products instead of a matrix inverse. The determinant's sign keeps a mirroring
    // bone's normals pointing out.
    vec3 b0 = boneMatrix[0].xyz;
    vec3 b1 = boneMatrix[1].xyz;
    vec3 b2 = boneMatrix[2].xyz;
    vec3 c0 = cross(b1, b2);
    float handedness = dot(b0, c0) < 0.0 ? -1.0 : 1.0;
    normal = handedness * (mat3(c0, cross(b2, b0), cross(b0, b1)) * normal);
#endif
#endif

    // uModel is rigid (rotation and translation, at most a uniform scale; see
    // Lumora/ModelShader.h), so its upper 3x3 turns normals as well as positions.
    vec4 world = uModel * local;
    world.xyz += aInstanceOffset.xyz;
    vec4 eye = uView * world;
    gl_Position = uProjection * eye;

#ifdef LUMORA_TEXTURED
    vTexCoord = aTexCoord;
#endif
#ifdef LUMORA_VERTEX_COLOR
    vColor = aColor;
#endif
#ifdef LUMORA_LIT
    vWorldNormal = mat3(uModel) * normal;
#endif
#ifdef LUMORA_FOG
    vEyeDistance = length(eye.xyz);
#endif
}
