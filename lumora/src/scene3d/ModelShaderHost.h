// Fetching model shader text from the Tessera.lmp plug-in. Internal.
//
// The plug-in is loaded once with dlopen from the program's own directory (the directory
// rule of the sound plug-ins), its GetModelShaderBuffer export checked before any call,
// and it stays loaded for the process. Calls are serialised: the plug-in's output buffer is
// shared by all calls.
#pragma once

#include <Lumora/ModelShader.h>

#include <string>

namespace Lumora::Internal {

// The two stages of the variant for `options`; false with `error` set when the plug-in is
// missing, lacks its export, or hands back nothing usable.
bool FetchModelShader(const ModelShaderOptions& options, std::string& vertexSource, std::string& fragmentSource,
                      std::string& error);

// Where Tessera.lmp is looked for; null or empty: the program's directory. For tests and
// tools; takes effect for the next load only (a loaded plug-in stays).
void SetModelShaderPluginDirectory(const char* directory);

} // namespace Lumora::Internal
