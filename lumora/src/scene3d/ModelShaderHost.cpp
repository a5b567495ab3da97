#include "ModelShaderHost.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

namespace Lumora::Internal {

namespace {

std::mutex hostMutex;
std::string pluginDirectory;
bool loadTried = false;
GetModelShaderBufferFunction getBuffer = nullptr;
std::string loadError;

std::string ProgramDirectory()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) {
        return ".";
    }
    std::string text(path, static_cast<std::size_t>(length));
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? "." : text.substr(0, slash == 0 ? 1 : slash);
}

void LoadLocked()
{
    if (loadTried) {
        return;
    }
    loadTried = true;
    std::string directory = pluginDirectory.empty() ? ProgramDirectory() : pluginDirectory;
    if (directory.back() != '/') {
        directory += '/';
    }
    const std::string path = directory + "Tessera.lmp";
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        loadError = "cannot load \"" + path + "\"" + (reason != nullptr ? std::string(": ") + reason : std::string());
        return;
    }
    getBuffer = reinterpret_cast<GetModelShaderBufferFunction>(dlsym(library, "GetModelShaderBuffer"));
    if (getBuffer == nullptr) {
        loadError = "\"" + path + "\" has no GetModelShaderBuffer";
    }
}

} // namespace

void SetModelShaderPluginDirectory(const char* directory)
{
    std::lock_guard lock(hostMutex);
    pluginDirectory = directory != nullptr ? directory : "";
    if (getBuffer == nullptr) {
        loadTried = false; // a failed load may be retried from the new place
        loadError.clear();
    }
}

bool FetchModelShader(const ModelShaderOptions& options, std::string& vertexSource, std::string& fragmentSource,
                      std::string& error)
{
    std::lock_guard lock(hostMutex);
    LoadLocked();
    if (getBuffer == nullptr) {
        error = loadError;
        return false;
    }
    char* buffer = nullptr;
    std::uint32_t size = 0;
    if (!getBuffer(&options, &buffer, &size) || buffer == nullptr) {
        error = "Tessera.lmp refused the options";
        return false;
    }
    if (size == ModelShaderBufferSize) {
        error = "Tessera.lmp decoded nothing (is Common.lmp beside it?)";
        return false;
    }
    if (size == 0 || size > ModelShaderBufferSize) {
        error = "the shader data is corrupt";
        return false;
    }
    const std::string_view text(buffer, size);
    std::string_view vertex;
    std::string_view fragment;
    if (!SplitModelShaderText(text, vertex, fragment)) {
        error = "the decoded shader has no fragment stage";
        return false;
    }
    vertexSource.assign(vertex);
    fragmentSource.assign(fragment);
    return true;
}

} // namespace Lumora::Internal
