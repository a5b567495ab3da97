// Tessera.lmp: hands the engine the model shader variant for a set of seven options.
//
// The plug-in holds the encoded variants (ShaderBlobs.cpp, generated) and one output
// buffer. It does not decode anything itself: for every request it loads the engine's
// "Common.lmp", lets its ShaderDecode inflate the chosen blob into the buffer and unloads
// the library again, so the plug-in keeps no state but the buffer.
//
// "Common.lmp" is loaded from the directory this plug-in was loaded from (the program's
// directory, where the engine installs both), found with dladdr on one of our own
// functions. Were that lookup to fail, the bare name goes through the system's library
// search instead. A path relative to the working directory stays relative, so an engine
// that loads Tessera.lmp by a relative path must not change directory in between.
#include "ShaderBlobTable.h"

#include <Lumora/ModelShader.h>

#include <dlfcn.h>

#include <climits>
#include <cstring>
#include <type_traits>

namespace {

// Shared by every call; each call overwrites it (see Lumora/ModelShader.h).
alignas(16) char outputBuffer[Lumora::ModelShaderBufferSize];

constexpr char CommonLibraryName[] = "Common.lmp";
constexpr char DecoderName[] = "ShaderDecode";

// Position of the options' variant key in the key table, or -1.
int FindVariantIndex(const Lumora::ModelShaderOptions& options)
{
    const int key = 1 + (options.skinned != 0 ? 2 : 0) + (options.textured != 0 ? 4 : 0) +
                    (options.vertexColor != 0 ? 8 : 0);
    for (int index = 0; index < Tessera::VariantCount; ++index) {
        if (Tessera::VariantKeys[index] == key) {
            return index;
        }
    }
    return -1;
}

// The set that holds the blobs for options 3 to 6, or -1.
int FindSetIndex(const Lumora::ModelShaderOptions& options)
{
    const int mask = (options.lit != 0 ? 1 : 0) | (options.ambient != 0 ? 2 : 0) | (options.fog != 0 ? 4 : 0) |
                     (options.transparent != 0 ? 8 : 0);
    for (int index = 0; index < Tessera::SetCount; ++index) {
        if (Tessera::SetOptionMasks[index] == mask) {
            return index;
        }
    }
    return -1;
}

// Opens "Common.lmp" beside this plug-in; null when it cannot be loaded.
void* LoadCommonLibrary()
{
    Dl_info info{};
    const bool located = dladdr(reinterpret_cast<const void*>(&LoadCommonLibrary), &info) != 0 &&
                         info.dli_fname != nullptr && std::strchr(info.dli_fname, '/') != nullptr;
    if (!located) {
        return dlopen(CommonLibraryName, RTLD_NOW | RTLD_LOCAL);
    }
    const std::size_t directoryLength = std::strrchr(info.dli_fname, '/') - info.dli_fname + 1;
    char path[PATH_MAX];
    if (directoryLength + sizeof(CommonLibraryName) > sizeof(path)) {
        return nullptr;
    }
    std::memcpy(path, info.dli_fname, directoryLength);
    std::memcpy(path + directoryLength, CommonLibraryName, sizeof(CommonLibraryName));
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

} // namespace

extern "C" __attribute__((visibility("default"))) bool GetModelShaderBuffer(const Lumora::ModelShaderOptions* options,
                                                                             char** buffer, std::uint32_t* size)
{
    if (buffer != nullptr) {
        *buffer = outputBuffer;
    }
    if (size != nullptr) {
        *size = Lumora::ModelShaderBufferSize;
    }
    if (options == nullptr || buffer == nullptr || size == nullptr) {
        return false;
    }

    const int variant = FindVariantIndex(*options);
    const int set = FindSetIndex(*options);
    if (variant < 0 || set < 0) {
        return false;
    }
    const Tessera::BlobSet& blobs = Tessera::BlobSets[set];

    void* library = LoadCommonLibrary();
    if (library == nullptr) {
        // Nothing decoded: the buffer keeps what an earlier call left, the size says so.
        return true;
    }
    const auto decode = reinterpret_cast<ShaderDecodeFunction>(dlsym(library, DecoderName));
    if (decode == nullptr) {
        dlclose(library);
        return false;
    }
    // The caller's own size variable goes to the decoder, which leaves the decoded length
    // there; its result adds nothing the size does not already say.
    decode(outputBuffer, size, blobs.addresses[variant], blobs.sizes[variant]);
    dlclose(library);
    return true;
}

static_assert(std::is_same_v<decltype(&GetModelShaderBuffer), GetModelShaderBufferFunction>,
              "the export matches the type the engine calls it through");
