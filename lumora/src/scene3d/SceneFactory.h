// What the render asks of the 3D scene module. Internal.
#pragma once

#include <Lumora/IModel.h>
#include <Lumora/ISceneManager.h>

#include <cstdint>

namespace Lumora::Internal {

class Render;

// IRender::CreateModelFromFile: null, with one line on stderr naming the file, when the
// file is missing or malformed.
IModel* LoadSceneModel(Render& render, const char* fileName);
// IRender::CreateSceneManager. The manager keeps a plain pointer to the render, which
// outlives it (the render's frame list may hold the manager until its next BeginFrame).
ISceneManager* CreateSceneManagerFor(Render& render, std::int32_t capacity, std::int32_t flags);

} // namespace Lumora::Internal

namespace Lumora::Internal {
// Deletes the 3D pass's GL objects; the GL backend calls it before its context goes, so a
// later context starts from nothing.
void ReleaseSceneGlResources();
} // namespace Lumora::Internal
