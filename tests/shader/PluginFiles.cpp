#include "PluginFiles.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <stdexcept>

ScratchDirectory::ScratchDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tomarugi-shader-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch directory");
    }
    path = pattern;
}

ScratchDirectory::~ScratchDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::filesystem::path ScratchDirectory::Place(const std::filesystem::path& source, const std::string& name) const
{
    const std::filesystem::path target = path / name;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    return target;
}

LoadedLibrary::LoadedLibrary(const std::filesystem::path& path)
{
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        error = message != nullptr ? message : "dlopen failed";
    }
}

LoadedLibrary::~LoadedLibrary()
{
    if (handle != nullptr) {
        dlclose(handle);
    }
}

void* LoadedLibrary::Symbol(const char* name) const
{
    return handle != nullptr ? dlsym(handle, name) : nullptr;
}

bool IsLibraryResident(const std::filesystem::path& path)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return false;
    }
    dlclose(handle);
    return true;
}
