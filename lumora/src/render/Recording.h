// The headless record of the last frame (Lumora/Testing.h reads it). Internal.
#pragma once

#include "FrameList.h"

#include <cstdint>
#include <vector>

namespace Lumora::Internal {

// Replaces the record with this frame's draws; counts the frame.
void RecordFrame(const FrameList& frame);
// Replaces the stored read-back pixels (RGBA rows from the top).
void StorePixels(const std::vector<std::uint8_t>& rgba, std::int32_t width, std::int32_t height);
// Forgets the record (at System::Finalize).
void ClearRecording();

} // namespace Lumora::Internal
