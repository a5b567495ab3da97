// PluginFiles.h: scratch directories and loaded plug-ins for the shader tests.
//
// The plug-ins under test are the built files; their paths come from the build as
// TESSERA_PLUGIN_PATH, COMMON_PLUGIN_PATH, RECORDING_COMMON_PATH and NO_DECODER_COMMON_PATH.
#pragma once

#include <filesystem>
#include <string>

// A fresh directory under the system's temporary folder, removed with its contents.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // Copies `source` into the directory under `name`; returns the copy's path.
    std::filesystem::path Place(const std::filesystem::path& source, const std::string& name) const;

private:
    std::filesystem::path path;
};

// A library opened with dlopen (RTLD_NOW | RTLD_LOCAL) and closed when this goes.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::filesystem::path& path);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool IsOpen() const { return handle != nullptr; }
    const std::string& Error() const { return error; }
    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;

    template <class Function>
    Function Export(const char* name) const
    {
        return reinterpret_cast<Function>(Symbol(name));
    }

private:
    void* handle = nullptr;
    std::string error;
};

// True while the library at `path` is mapped into this process.
bool IsLibraryResident(const std::filesystem::path& path);
