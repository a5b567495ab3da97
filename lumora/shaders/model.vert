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
    mat4 model = uModel;
#ifdef LUMORA_SKINNED
    // Rigid skinning: one bone per vertex. An index outside the palette is clamped rather
    // than read out of bounds.
    int bone = clamp(int(aBoneIndex + 0.5), 0, LUMORA_BONE_PALETTE_SIZE - 1);
    model = uModel * uBones[bone];
#endif

    vec4 world = model * vec4(aPosition, 1.0);
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
    // The inverse transpose keeps normals perpendicular under non-uniform scale.
    vWorldNormal = transpose(inverse(mat3(model))) * aNormal;
#endif
#ifdef LUMORA_FOG
    vEyeDistance = length(eye.xyz);
#endif
}
