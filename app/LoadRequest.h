// app/LoadRequest.h: one file for the resource loader to turn into an engine object.
//
// A requester allocates a request with `new`, naming the variable that receives the result,
// and hands it to ResourceManager::AddRequest; from then on the manager owns it and the
// loader thread deletes it after the load. The target is set to null at construction and
// may be read only once the manager's IsBusy has returned false after the AddRequest, or
// once the owner named at AddRequest has withdrawn its requests (CancelRequestsOf).
#pragma once

#include <Lumora/IFile.h>
#include <Lumora/IModel.h>
#include <Lumora/ISound.h>
#include <Lumora/ITexture.h>

#include <cstddef>
#include <cstdint>

// The four words handed to IRender::SetTextureLoadOptions before a load (see Lumora/IRender.h).
struct LoadOptions {
    std::uint32_t filter = 0;
    std::uint32_t wrap = 0;
    std::uint32_t premultiply = 0;
    std::uint32_t reserved = 0;
};

// Smooth, mipmapped, premultiplied: the common resources, the configuration and puzzle screens.
inline constexpr LoadOptions kSmoothLoadOptions{3, 0, 1, 0};
// Pixel-exact, straight alpha: the start-up, title and stage select screens.
inline constexpr LoadOptions kPixelLoadOptions{1, 0, 0, 0};

struct LoadRequest {
    enum Kind : std::int32_t {
        KindTexture = 1,
        KindModel = 2,
        KindSound = 3,       // a sound effect, decoded whole
        KindStreamSound = 4, // music, streamed through the "OggVorbis" decoder
        KindFile = 6,        // an engine file object (there is no kind 5)
    };

    // Room for a directory or file name, terminator included; longer names are cut.
    static constexpr std::size_t kNameCapacity = 260;

    LoadRequest(const LoadOptions& options, const char* directory, const char* fileName,
                Lumora::ITexture** target);
    LoadRequest(const LoadOptions& options, const char* directory, const char* fileName,
                Lumora::IModel** target);
    LoadRequest(const LoadOptions& options, const char* directory, const char* fileName,
                Lumora::ISound** target);
    LoadRequest(const LoadOptions& options, const char* directory, const char* fileName,
                Lumora::IStreamSound** target);
    LoadRequest(const LoadOptions& options, const char* directory, const char* fileName,
                Lumora::IFile** target);

    LoadRequest* next = nullptr;
    std::int32_t kind = 0;
    LoadOptions options;
    char directory[kNameCapacity] = {};
    char fileName[kNameCapacity] = {};
    Lumora::ITexture** texture = nullptr;
    Lumora::IModel** model = nullptr;
    Lumora::ISound** sound = nullptr;
    Lumora::IStreamSound** streamSound = nullptr;
    Lumora::IFile** file = nullptr;
    // Who queued the request (a screen, normally), so that a screen that dies with loads
    // still queued can withdraw exactly its own (ResourceManager::CancelRequestsOf). Null:
    // nobody's in particular, such as the common resources loaded for the whole run.
    const void* owner = nullptr;
    // Set under the manager's lock once the owner withdrew the request while its batch was
    // being loaded: the loader then skips it and leaves the target alone.
    bool cancelled = false;

private:
    void SetNames(const LoadOptions& options, const char* directory, const char* fileName);
};
