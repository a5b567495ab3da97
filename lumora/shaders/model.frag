// Model fragment stage. Built into 128 variants by tools/shaderpack together with
// model.vert; the same LUMORA_<OPTION> defines select the code paths.

uniform vec4 uMaterialColor;

#ifdef LUMORA_TEXTURED
uniform sampler2D uTexture; // texture unit 0
in vec2 vTexCoord;
#endif

#ifdef LUMORA_VERTEX_COLOR
in vec4 vColor;
#endif

#ifdef LUMORA_LIT
uniform vec3 uLightDirection; // world space, the way the light travels
uniform vec3 uLightColor;
in vec3 vWorldNormal;
#endif

#ifdef LUMORA_AMBIENT
uniform vec3 uAmbientColor;
#endif

#ifdef LUMORA_FOG
uniform vec3 uFogColor;
uniform vec2 uFogRange; // start, end: eye distance in world units
in float vEyeDistance;
#endif

layout(location = 0) out vec4 fragColor;

void main()
{
    vec4 color = uMaterialColor;
#ifdef LUMORA_TEXTURED
    color *= texture(uTexture, vTexCoord);
#endif
#ifdef LUMORA_VERTEX_COLOR
    color *= vColor;
#endif

#if defined(LUMORA_LIT) || defined(LUMORA_AMBIENT)
    vec3 light = vec3(0.0);
#ifdef LUMORA_LIT
    // A zero light direction or normal gives no diffuse light rather than NaN.
    float directionLength = length(uLightDirection);
    float normalLength = length(vWorldNormal);
    if (directionLength > 0.0 && normalLength > 0.0) {
        float facing = dot(vWorldNormal / normalLength, -uLightDirection / directionLength);
        light += uLightColor * max(facing, 0.0);
    }
#endif
#ifdef LUMORA_AMBIENT
    light += uAmbientColor;
#endif
    color.rgb *= light;
#endif

#ifdef LUMORA_FOG
    // Linear fog; a range of zero width switches from clear to fogged at its start.
    float fogWidth = uFogRange.y - uFogRange.x;
    float fogAmount = fogWidth > 0.0 ? clamp((vEyeDistance - uFogRange.x) / fogWidth, 0.0, 1.0)
                                     : step(uFogRange.x, vEyeDistance);
    color.rgb = mix(color.rgb, uFogColor, fogAmount);
#endif

#ifdef LUMORA_TRANSPARENT
    // Nothing to blend: keep fully transparent fragments out of the depth buffer too.
    if (color.a <= 0.0) {
        discard;
    }
#else
    color.a = 1.0;
#endif
    fragColor = color;
}
