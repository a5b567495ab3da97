// ImageFiles: writes a canvas as PNG or TGA (chosen by the path's extension).
//
// Files are written beside their final name and renamed into place, so that an
// interrupted build never leaves a half-written picture that looks up to date.
#pragma once

#include <string>

#include "Raster.h"

namespace picturegen {

// Creates missing parent folders. False with *error set on failure or an unknown extension.
bool WriteImageFile(const Canvas& canvas, const std::string& path, std::string* error);

}  // namespace picturegen
