// Every model shader variant, decoded by the installed Tessera.lmp and Common.lmp, compiles
// and links under OpenGL 3.3 core (Mesa's software renderer through SDL's offscreen video
// driver, no display needed), exposes exactly the inputs its options promise at the
// documented locations, and draws what its options say.
#include "PluginFiles.h"

#include <Lumora/ModelShader.h>

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Rgba {
    float r, g, b, a;
};

class ModelShaderGl : public ::testing::Test {
protected:
    static inline SDL_Window* window = nullptr;
    static inline SDL_GLContext context = nullptr;
    static inline std::string contextError;

    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        // Mesa's interpreting software rasteriser: it compiles 128 programs in a fraction
        // of the time its JIT sibling needs, and the GLSL front end is the same. A driver
        // chosen in the environment is kept.
        setenv("GALLIUM_DRIVER", "softpipe", 0);
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            contextError = SDL_GetError();
            return;
        }
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        window = SDL_CreateWindow("model shaders", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window != nullptr) {
            context = SDL_GL_CreateContext(window);
        }
        if (context == nullptr) {
            contextError = SDL_GetError();
        }
    }

    static void TearDownTestSuite()
    {
        if (context != nullptr) {
            SDL_GL_DeleteContext(context);
            context = nullptr;
        }
        if (window != nullptr) {
            SDL_DestroyWindow(window);
            window = nullptr;
        }
        SDL_Quit();
    }

    LoadedLibrary tessera{TESSERA_PLUGIN_PATH};
    GetModelShaderBufferFunction getBuffer = tessera.Export<GetModelShaderBufferFunction>("GetModelShaderBuffer");

    void SetUp() override
    {
        ASSERT_NE(context, nullptr) << "no OpenGL 3.3 core context: " << contextError;
        ASSERT_TRUE(tessera.IsOpen()) << tessera.Error();
        ASSERT_NE(getBuffer, nullptr);
    }

    static Lumora::ModelShaderOptions OptionsOf(int bits)
    {
        Lumora::ModelShaderOptions options{};
        options.skinned = bits & 1;
        options.textured = (bits >> 1) & 1;
        options.vertexColor = (bits >> 2) & 1;
        options.lit = (bits >> 3) & 1;
        options.ambient = (bits >> 4) & 1;
        options.fog = (bits >> 5) & 1;
        options.transparent = (bits >> 6) & 1;
        return options;
    }

    static GLuint CompileStage(GLenum kind, std::string_view source, std::string& log)
    {
        const GLuint shader = glCreateShader(kind);
        const GLchar* text = source.data();
        const GLint length = static_cast<GLint>(source.size());
        glShaderSource(shader, 1, &text, &length);
        glCompileShader(shader);
        GLint compiled = GL_FALSE;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
        if (compiled != GL_TRUE) {
            std::array<char, 4096> message{};
            glGetShaderInfoLog(shader, message.size(), nullptr, message.data());
            log += message.data();
            glDeleteShader(shader);
            return 0;
        }
        return shader;
    }

    // Decodes, compiles and links the variant for `bits`; 0 with the reason in `log`.
    GLuint BuildProgram(int bits, std::string& log)
    {
        const Lumora::ModelShaderOptions options = OptionsOf(bits);
        char* buffer = nullptr;
        std::uint32_t size = 0;
        std::string_view vertexSource, fragmentSource;
        if (!getBuffer(&options, &buffer, &size) || size >= Lumora::ModelShaderBufferSize ||
            !Lumora::SplitModelShaderText({buffer, size}, vertexSource, fragmentSource)) {
            log = "no shader text was decoded";
            return 0;
        }
        const GLuint vertex = CompileStage(GL_VERTEX_SHADER, vertexSource, log);
        const GLuint fragment = CompileStage(GL_FRAGMENT_SHADER, fragmentSource, log);
        if (vertex == 0 || fragment == 0) {
            glDeleteShader(vertex);
            glDeleteShader(fragment);
            return 0;
        }
        const GLuint program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            std::array<char, 4096> message{};
            glGetProgramInfoLog(program, message.size(), nullptr, message.data());
            log = message.data();
            glDeleteProgram(program);
            return 0;
        }
        return program;
    }

    // The active attributes or uniforms of a program, by name, with their array sizes.
    static std::map<std::string, GLint> ActiveInputs(GLuint program, bool attributes)
    {
        GLint count = 0;
        glGetProgramiv(program, attributes ? GL_ACTIVE_ATTRIBUTES : GL_ACTIVE_UNIFORMS, &count);
        std::map<std::string, GLint> inputs;
        for (GLint index = 0; index < count; ++index) {
            std::array<char, 256> name{};
            GLint arraySize = 0;
            GLenum type = 0;
            (attributes ? glGetActiveAttrib : glGetActiveUniform)(program, index, name.size(), nullptr, &arraySize,
                                                                  &type, name.data());
            inputs[name.data()] = arraySize;
        }
        return inputs;
    }

    static std::set<std::string> NamesOf(const std::map<std::string, GLint>& inputs)
    {
        std::set<std::string> names;
        for (const auto& input : inputs) {
            names.insert(input.first);
        }
        return names;
    }
};

TEST_F(ModelShaderGl, EveryVariantLinksWithExactlyTheInputsItsOptionsPromise)
{
    for (int bits = 0; bits < 128; ++bits) {
        SCOPED_TRACE("options " + std::to_string(bits));
        const Lumora::ModelShaderOptions options = OptionsOf(bits);
        std::string log;
        const GLuint program = BuildProgram(bits, log);
        ASSERT_NE(program, 0u) << log;

        std::set<std::string> attributes = {"aPosition", "aInstanceOffset"};
        std::set<std::string> uniforms = {"uModel", "uView", "uProjection", "uMaterialColor"};
        if (options.skinned) {
            attributes.insert("aBoneIndex");
            uniforms.insert("uBones[0]");
        }
        if (options.textured) {
            attributes.insert("aTexCoord");
            uniforms.insert("uTexture");
        }
        if (options.vertexColor) {
            attributes.insert("aColor");
        }
        if (options.lit) {
            attributes.insert("aNormal");
            uniforms.insert({"uLightDirection", "uLightColor"});
        }
        if (options.ambient) {
            uniforms.insert("uAmbientColor");
        }
        if (options.fog) {
            uniforms.insert({"uFogColor", "uFogRange"});
        }
        const std::map<std::string, GLint> activeUniforms = ActiveInputs(program, false);
        EXPECT_EQ(NamesOf(ActiveInputs(program, true)), attributes);
        EXPECT_EQ(NamesOf(activeUniforms), uniforms);

        const std::pair<const char*, GLint> locations[] = {
            {"aPosition", Lumora::ModelShaderAttributePosition},
            {"aNormal", Lumora::ModelShaderAttributeNormal},
            {"aTexCoord", Lumora::ModelShaderAttributeTexCoord},
            {"aColor", Lumora::ModelShaderAttributeColor},
            {"aBoneIndex", Lumora::ModelShaderAttributeBoneIndex},
            {"aInstanceOffset", Lumora::ModelShaderAttributeInstanceOffset}};
        for (const auto& [name, location] : locations) {
            if (attributes.count(name) != 0) {
                EXPECT_EQ(glGetAttribLocation(program, name), location) << name;
            }
        }
        if (options.skinned) {
            EXPECT_EQ(activeUniforms.at("uBones[0]"), static_cast<GLint>(Lumora::ModelShaderBonePaletteSize));
        }
        glDeleteProgram(program);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The documented shading, worked out for the inputs DrawsWhatItsOptionsSay feeds.
Rgba ExpectedColor(const Lumora::ModelShaderOptions& options, const Rgba& material, const Rgba& texel,
                   const Rgba& vertexColor, const std::array<float, 3>& diffuse, const std::array<float, 3>& ambient,
                   const std::array<float, 3>& fogColor)
{
    Rgba color = material;
    const auto multiply = [&color](const Rgba& by) {
        color = {color.r * by.r, color.g * by.g, color.b * by.b, color.a * by.a};
    };
    if (options.textured) {
        multiply(texel);
    }
    if (options.vertexColor) {
        multiply(vertexColor);
    }
    if (options.lit || options.ambient) {
        Rgba light{0, 0, 0, 1};
        if (options.lit) {
            light = {light.r + diffuse[0], light.g + diffuse[1], light.b + diffuse[2], 1};
        }
        if (options.ambient) {
            light = {light.r + ambient[0], light.g + ambient[1], light.b + ambient[2], 1};
        }
        multiply(light);
    }
    if (options.fog) {
        color = {fogColor[0], fogColor[1], fogColor[2], color.a};
    }
    if (!options.transparent) {
        color.a = 1;
    }
    return color;
}

TEST_F(ModelShaderGl, EveryVariantDrawsWhatItsOptionsSay)
{
    constexpr int side = 4;
    GLuint target = 0, framebuffer = 0, texture = 0, vertexArray = 0, vertices = 0;
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_2D, target);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, side, side);

    // The texture: one texel, sampled by every texture coordinate.
    const std::array<std::uint8_t, 4> texelBytes = {128, 255, 64, 128};
    const Rgba texel = {128 / 255.0f, 1.0f, 64 / 255.0f, 128 / 255.0f};
    glActiveTexture(GL_TEXTURE0);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texelBytes.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

    // One triangle covering the whole target at z = 0; every other input is a constant
    // generic attribute value, as a renderer without that vertex data would leave it.
    const float triangle[] = {-1, -1, 0, 3, -1, 0, -1, 3, 0};
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(1, &vertices);
    glBindBuffer(GL_ARRAY_BUFFER, vertices);
    glBufferData(GL_ARRAY_BUFFER, sizeof(triangle), triangle, GL_STATIC_DRAW);
    glVertexAttribPointer(Lumora::ModelShaderAttributePosition, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(Lumora::ModelShaderAttributePosition);
    const Rgba vertexColor = {1.0f, 0.5f, 0.75f, 0.8f};
    glVertexAttrib3f(Lumora::ModelShaderAttributeNormal, 0, 0, 2); // any length
    glVertexAttrib2f(Lumora::ModelShaderAttributeTexCoord, 0.5f, 0.5f);
    glVertexAttrib4f(Lumora::ModelShaderAttributeColor, vertexColor.r, vertexColor.g, vertexColor.b, vertexColor.a);
    glVertexAttrib1f(Lumora::ModelShaderAttributeBoneIndex, 1);

    const Rgba material = {0.8f, 0.6f, 0.4f, 0.5f};
    // Travelling down at 60 degrees from the normal: half the light reaches the surface.
    const std::array<float, 3> lightDirection = {0, -0.8660254f, -0.5f};
    const std::array<float, 3> lightColor = {1.0f, 1.0f, 0.5f};
    const std::array<float, 3> diffuse = {0.5f, 0.5f, 0.25f};
    const std::array<float, 3> ambient = {0.25f, 0.125f, 0.25f};
    const std::array<float, 3> fogColor = {0.1f, 0.9f, 0.2f};
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Bone 1 is the identity; every other bone collapses the mesh to a point, so a
    // variant that reads the wrong bone draws nothing.
    std::vector<float> bones(16 * Lumora::ModelShaderBonePaletteSize, 0.0f);
    std::copy(std::begin(identity), std::end(identity), bones.begin() + 16);

    const Rgba clearColor = {0.0f, 0.0f, 1.0f, 0.25f};
    for (int bits = 0; bits < 128; ++bits) {
        SCOPED_TRACE("options " + std::to_string(bits));
        const Lumora::ModelShaderOptions options = OptionsOf(bits);
        std::string log;
        const GLuint program = BuildProgram(bits, log);
        ASSERT_NE(program, 0u) << log;
        glUseProgram(program);
        const auto at = [program](const char* name) { return glGetUniformLocation(program, name); };
        glUniformMatrix4fv(at(Lumora::ModelShaderUniformModel), 1, GL_FALSE, identity);
        glUniformMatrix4fv(at(Lumora::ModelShaderUniformView), 1, GL_FALSE, identity);
        glUniformMatrix4fv(at(Lumora::ModelShaderUniformProjection), 1, GL_FALSE, identity);
        glUniformMatrix4fv(at(Lumora::ModelShaderUniformBones), Lumora::ModelShaderBonePaletteSize, GL_FALSE,
                           bones.data());
        glUniform1i(at(Lumora::ModelShaderUniformTexture), 0);
        glUniform3fv(at(Lumora::ModelShaderUniformLightDirection), 1, lightDirection.data());
        glUniform3fv(at(Lumora::ModelShaderUniformLightColor), 1, lightColor.data());
        glUniform3fv(at(Lumora::ModelShaderUniformAmbientColor), 1, ambient.data());
        glUniform3fv(at(Lumora::ModelShaderUniformFogColor), 1, fogColor.data());
        // Fogged completely at every distance from the eye.
        glUniform2f(at(Lumora::ModelShaderUniformFogRange), -2.0f, -1.0f);

        for (const float materialAlpha : {material.a, 0.0f}) {
            glClearColor(clearColor.r, clearColor.g, clearColor.b, clearColor.a);
            glClear(GL_COLOR_BUFFER_BIT);
            glUniform4f(at(Lumora::ModelShaderUniformMaterialColor), material.r, material.g, material.b,
                        materialAlpha);
            glDrawArrays(GL_TRIANGLES, 0, 3);
            std::array<std::uint8_t, 4> pixel{};
            glReadPixels(side / 2, side / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());

            Rgba expected = ExpectedColor(options, {material.r, material.g, material.b, materialAlpha}, texel,
                                          vertexColor, diffuse, ambient, fogColor);
            if (options.transparent && materialAlpha == 0.0f) {
                expected = clearColor; // discarded
            }
            const float channels[4] = {expected.r, expected.g, expected.b, expected.a};
            for (int channel = 0; channel < 4; ++channel) {
                const int wanted = static_cast<int>(std::lround(std::clamp(channels[channel], 0.0f, 1.0f) * 255));
                EXPECT_NEAR(pixel[channel], wanted, 2)
                    << "channel " << channel << ", material alpha " << materialAlpha;
            }
        }
        glDeleteProgram(program);
    }
    glUseProgram(0);
    glDeleteBuffers(1, &vertices);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteTextures(1, &texture);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &target);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Lit variants turn normals by uModel's own 3x3 (it is rigid), and skinned ones by each
// bone's inverse transpose first: a bone that scales unevenly must not tilt the normal the
// way it stretches the surface, and a mirroring bone must not turn it inside out. Only the
// diffuse term is on (no ambient, fog or texture), so a pixel reads the facing directly.
TEST_F(ModelShaderGl, NormalsTurnWithTheModelAndTheBonesInverseTranspose)
{
    constexpr int side = 4;
    constexpr int litBits = 8;
    constexpr int skinnedLitBits = 9;
    GLuint target = 0, framebuffer = 0, vertexArray = 0, vertices = 0;
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_2D, target);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, side, side);
    // A triangle at z = 0 whose inscribed circle holds the whole target however it is turned,
    // mirrored or stretched in the plane.
    const float triangle[] = {-100, -100, 0, 300, -100, 0, -100, 300, 0};
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(1, &vertices);
    glBindBuffer(GL_ARRAY_BUFFER, vertices);
    glBufferData(GL_ARRAY_BUFFER, sizeof(triangle), triangle, GL_STATIC_DRAW);
    glVertexAttribPointer(Lumora::ModelShaderAttributePosition, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(Lumora::ModelShaderAttributePosition);
    glVertexAttrib1f(Lumora::ModelShaderAttributeBoneIndex, 0);

    using Matrix = std::array<float, 16>; // column-major
    const Matrix identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const Matrix quarterTurnZ = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0.25f, 0, 0, 1}; // and a small shift
    const Matrix stretchX = {4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const Matrix mirrorX = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float r = 0.70710678f;
    struct Case {
        const char* what;
        int bits;
        Matrix model;
        Matrix bone;
        std::array<float, 3> normal;
        std::array<float, 3> lightDirection;
        float facing; // the expected brightness, 0..1
    };
    const Case cases[] = {
        {"turned model", litBits, quarterTurnZ, identity, {1, 0, 0}, {0, -1, 0}, 1.0f},
        {"turned model, light from the other side", litBits, quarterTurnZ, identity, {1, 0, 0}, {0, 1, 0}, 0.0f},
        {"stretched bone", skinnedLitBits, identity, stretchX, {r, r, 0}, {0, -1, 0}, 0.9701425f},
        {"stretched bone, then the model's turn", skinnedLitBits, quarterTurnZ, stretchX, {r, r, 0}, {1, 0, 0},
         0.9701425f},
        {"mirroring bone", skinnedLitBits, identity, mirrorX, {0, 1, 0}, {0, -1, 0}, 1.0f},
        {"mirroring bone, side normal", skinnedLitBits, identity, mirrorX, {1, 0, 0}, {1, 0, 0}, 1.0f},
    };
    std::vector<float> bones(16 * Lumora::ModelShaderBonePaletteSize, 0.0f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string log;
        const GLuint program = BuildProgram(c.bits, log);
        ASSERT_NE(program, 0u) << log;
        glUseProgram(program);
        const auto at = [program](const char* name) { return glGetUniformLocation(program, name); };
        std::copy(c.bone.begin(), c.bone.end(), bones.begin());
        glUniformMatrix4fv(at(Lumora::ModelShaderUniformModel), 1, GL_FALSE, c.model.data());
        glUniformMatrix4fv(at(Lumora::ModelShaderUniformView), 1, GL_FALSE, identity.data());
        glUniformMatrix4fv(at(Lumora::ModelShaderUniformProjection), 1, GL_FALSE, identity.data());
        glUniformMatrix4fv(at(Lumora::ModelShaderUniformBones), Lumora::ModelShaderBonePaletteSize, GL_FALSE,
                           bones.data());
        glUniform3fv(at(Lumora::ModelShaderUniformLightDirection), 1, c.lightDirection.data());
        glUniform3f(at(Lumora::ModelShaderUniformLightColor), 1, 1, 1);
        glUniform4f(at(Lumora::ModelShaderUniformMaterialColor), 1, 1, 1, 1);
        glVertexAttrib3f(Lumora::ModelShaderAttributeNormal, c.normal[0], c.normal[1], c.normal[2]);
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        std::array<std::uint8_t, 4> pixel{};
        glReadPixels(side / 2, side / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
        const int wanted = static_cast<int>(std::lround(c.facing * 255));
        EXPECT_NEAR(pixel[0], wanted, 2);
        EXPECT_NEAR(pixel[1], wanted, 2);
        glDeleteProgram(program);
    }
    glUseProgram(0);
    glDeleteBuffers(1, &vertices);
    glDeleteVertexArrays(1, &vertexArray);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &target);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
