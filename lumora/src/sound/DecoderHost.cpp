#include "DecoderHost.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>

namespace Lumora::Internal {

std::int32_t FileStreamSource::GetSize()
{
    return file_->GetSize();
}

std::int32_t FileStreamSource::Read(void* buffer, std::int32_t count)
{
    if (count <= 0) {
        return 0;
    }
    return file_->Read(buffer, count);
}

std::int32_t FileStreamSource::GetPosition()
{
    return file_->GetPosition();
}

void FileStreamSource::Seek(std::int32_t position)
{
    file_->Seek(std::clamp(position, 0, file_->GetSize()));
}

bool FileStreamSource::IsEnd()
{
    return file_->GetPosition() >= file_->GetSize();
}

void FileStreamSource::Skip(std::int32_t count)
{
    if (count <= 0) {
        return;
    }
    std::int64_t target = static_cast<std::int64_t>(file_->GetPosition()) + count;
    file_->Seek(static_cast<std::int32_t>(std::min<std::int64_t>(target, file_->GetSize())));
}

namespace {

std::mutex pluginMutex;
std::string pluginDirectory; // empty: the program's own directory
// By full path. A plug-in that could not be loaded, or lacks its export, is kept with a null
// function: it was reported once, and the sounds that need it after that stay silent
// without another try (or another line) each.
std::map<std::string, CreateSoundStreamDecoderFunction> loadedPlugins;

std::string ProgramDirectory()
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) {
        return ".";
    }
    std::string text(path, static_cast<std::size_t>(length));
    auto slash = text.rfind('/');
    return slash == std::string::npos ? "." : text.substr(0, slash == 0 ? 1 : slash);
}

std::string PluginPathLocked(const std::string& name)
{
    std::string directory = pluginDirectory.empty() ? ProgramDirectory() : pluginDirectory;
    if (!directory.empty() && directory.back() != '/') {
        directory += '/';
    }
    return directory + name + ".lmp";
}

// A plug-in name is a plain file name: no directory part, so data cannot point the engine at
// an arbitrary library.
bool IsPlainName(const char* name)
{
    if (name == nullptr || name[0] == '\0') {
        return false;
    }
    std::string text(name);
    return text.find('/') == std::string::npos && text != "." && text != "..";
}

} // namespace

std::string PluginPath(const std::string& name)
{
    std::lock_guard lock(pluginMutex);
    return PluginPathLocked(name);
}

void SetDecoderDirectory(const char* directory)
{
    std::lock_guard lock(pluginMutex);
    pluginDirectory = directory != nullptr ? directory : "";
}

DecoderPointer CreateDecoder(const char* name, const char* forFile)
{
    if (forFile == nullptr) {
        forFile = "";
    }
    if (!IsPlainName(name)) {
        std::fprintf(stderr, "Lumora: sound \"%s\": decoder name \"%s\" is not a plain plug-in name\n",
            forFile, name != nullptr ? name : "");
        return nullptr;
    }
    CreateSoundStreamDecoderFunction create = nullptr;
    {
        std::lock_guard lock(pluginMutex);
        std::string path = PluginPathLocked(name);
        auto found = loadedPlugins.find(path);
        if (found != loadedPlugins.end()) {
            create = found->second;
            if (create == nullptr) {
                return nullptr;
            }
        } else {
            // Loaded for good: decoders made by it may outlive any one sound.
            void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (library == nullptr) {
                const char* why = dlerror();
                std::fprintf(stderr,
                    "Lumora: cannot load decoder plug-in %s (%s); sound \"%s\" and every other sound it "
                    "decodes stay silent\n",
                    path.c_str(), why != nullptr ? why : "unknown error", forFile);
                loadedPlugins.emplace(path, nullptr);
                return nullptr;
            }
            create = reinterpret_cast<CreateSoundStreamDecoderFunction>(dlsym(library, "CreateSoundStreamDecoder"));
            if (create == nullptr) {
                std::fprintf(stderr,
                    "Lumora: decoder plug-in %s has no CreateSoundStreamDecoder export; sound \"%s\" and "
                    "every other sound it decodes stay silent\n",
                    path.c_str(), forFile);
                dlclose(library);
                loadedPlugins.emplace(path, nullptr);
                return nullptr;
            }
            loadedPlugins.emplace(path, create);
        }
    }
    DecoderPointer decoder(create());
    if (decoder == nullptr) {
        std::fprintf(stderr, "Lumora: sound \"%s\": decoder plug-in %s.lmp made no decoder\n", forFile, name);
    }
    return decoder;
}

} // namespace Lumora::Internal
