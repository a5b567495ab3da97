// Lumora/Base.h: the root of every engine object.
//
// Engine objects are reference-counted interfaces. Whoever receives an object from a
// Create*/Open* call owns one reference and gives it back with Release; a holder that keeps
// an object it did not create calls AddRef first. An object is destroyed when its last
// reference is released. Interfaces are never deleted directly.
#pragma once

#include <cstdint>

namespace Lumora {

class IInterface {
public:
    // Adds one reference; returns the new count.
    virtual std::int32_t AddRef() = 0;
    // Drops one reference and destroys the object when none is left; returns the new count.
    virtual std::int32_t Release() = 0;

protected:
    virtual ~IInterface() = default;
};

// Releases the object if present and clears the variable, so a second call is harmless.
template <class T>
inline void SafeRelease(T*& object)
{
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

} // namespace Lumora
