#include "LoadRequest.h"

#include <cstring>

namespace {

// Copies at most kNameCapacity - 1 bytes and always terminates; null reads as "".
void CopyName(char (&destination)[LoadRequest::kNameCapacity], const char* source)
{
    if (source == nullptr) {
        destination[0] = '\0';
        return;
    }
    const std::size_t length = strnlen(source, LoadRequest::kNameCapacity - 1);
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}

} // namespace

void LoadRequest::SetNames(const LoadOptions& loadOptions, const char* directoryName,
                           const char* name)
{
    options = loadOptions;
    CopyName(directory, directoryName);
    CopyName(fileName, name);
}

LoadRequest::LoadRequest(const LoadOptions& loadOptions, const char* directoryName,
                         const char* name, Lumora::ITexture** target)
    : kind(KindTexture), texture(target)
{
    SetNames(loadOptions, directoryName, name);
    if (texture != nullptr) {
        *texture = nullptr;
    }
}

LoadRequest::LoadRequest(const LoadOptions& loadOptions, const char* directoryName,
                         const char* name, Lumora::IModel** target)
    : kind(KindModel), model(target)
{
    SetNames(loadOptions, directoryName, name);
    if (model != nullptr) {
        *model = nullptr;
    }
}

LoadRequest::LoadRequest(const LoadOptions& loadOptions, const char* directoryName,
                         const char* name, Lumora::ISound** target)
    : kind(KindSound), sound(target)
{
    SetNames(loadOptions, directoryName, name);
    if (sound != nullptr) {
        *sound = nullptr;
    }
}

LoadRequest::LoadRequest(const LoadOptions& loadOptions, const char* directoryName,
                         const char* name, Lumora::IStreamSound** target)
    : kind(KindStreamSound), streamSound(target)
{
    SetNames(loadOptions, directoryName, name);
    if (streamSound != nullptr) {
        *streamSound = nullptr;
    }
}

LoadRequest::LoadRequest(const LoadOptions& loadOptions, const char* directoryName,
                         const char* name, Lumora::IFile** target)
    : kind(KindFile), file(target)
{
    SetNames(loadOptions, directoryName, name);
    if (file != nullptr) {
        *file = nullptr;
    }
}
