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

#include <Lumora/ICore.h>

#include <atomic>
#include <cstddef>
#include <span>
#include <vector>

namespace Lumora::Internal {
// Draws each of `draws` once into the bound framebuffer (which has a depth buffer), in the
// GL context current on the calling thread (any thread; it touches none of the 3D pass's own
// objects), as the 3D pass would draw it; gives back every GL object it made. For
// ICore::PrimeModelShaders. Stops early once `stop` is set. Returns the draws made.
std::size_t PrimeModelShaderDraws(std::span<const ModelShaderDraw> draws, const std::atomic<bool>& stop);
// The model shader draws the 3D pass has made in the current context so far, each option
// set once per way (plain, instanced). Drawing thread only.
std::vector<ModelShaderDraw> ModelShaderDrawsSoFar();

// Deletes the 3D pass's GL objects; the GL backend calls it before its context goes, so a
// later context starts from nothing.
void ReleaseSceneGlResources();
} // namespace Lumora::Internal
