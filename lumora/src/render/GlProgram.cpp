#include "GlProgram.h"

#include <epoxy/gl.h>

#include <cstdio>
#include <vector>

namespace Lumora::Internal {
namespace {

// The driver's log, on one line so that the report stays one line.
void ReadLog(GLuint object, bool isProgram, char (&log)[1024])
{
    log[0] = '\0';
    if (isProgram) {
        glGetProgramInfoLog(object, sizeof(log), nullptr, log);
    } else {
        glGetShaderInfoLog(object, sizeof(log), nullptr, log);
    }
    for (char& c : log) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
}

void Report(const char* what, const char* failure, const char* consequence, const char* log)
{
    const bool told = consequence != nullptr && consequence[0] != '\0';
    std::fprintf(stderr, "Lumora: %s %s%s%s: %s\n", what, failure, told ? "; " : "", told ? consequence : "", log);
}

GLuint CompileStage(GLenum kind, std::initializer_list<const char*> parts, const char* what, const char* consequence)
{
    const std::vector<const char*> texts(parts);
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, static_cast<GLsizei>(texts.size()), texts.data(), nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) {
        return shader;
    }
    char log[1024];
    ReadLog(shader, false, log);
    Report(what, kind == GL_VERTEX_SHADER ? "(vertex stage) does not compile" : "(fragment stage) does not compile",
           consequence, log);
    glDeleteShader(shader);
    return 0;
}

} // namespace

std::uint32_t BuildGlProgram(std::initializer_list<const char*> vertexParts,
                             std::initializer_list<const char*> fragmentParts, const char* what,
                             const char* consequence)
{
    const GLuint vertex = CompileStage(GL_VERTEX_SHADER, vertexParts, what, consequence);
    const GLuint fragment = vertex != 0 ? CompileStage(GL_FRAGMENT_SHADER, fragmentParts, what, consequence) : 0;
    if (vertex == 0 || fragment == 0) {
        glDeleteShader(vertex);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    // The program keeps what it needs; the shader objects go once it is linked.
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok == GL_TRUE) {
        return program;
    }
    char log[1024];
    ReadLog(program, true, log);
    Report(what, "does not link", consequence, log);
    glDeleteProgram(program);
    return 0;
}

} // namespace Lumora::Internal
