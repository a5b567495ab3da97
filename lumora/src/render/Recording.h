// The headless record of the last frame (Lumora/Testing.h reads it). Internal.
#pragma once

#include "FrameList.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace Lumora::Internal {

// Replaces the record with this frame's draws; counts the frame.
void RecordFrame(const FrameList& frame);
// Where Testing::ReadPixels reads the last frame from: the device that drew last in
// headless pixel mode. Reading happens only when asked, so frames stay cheap. A device
// withdraws only its own source (`owner`) when it goes.
using PixelSource = std::function<bool(std::vector<std::uint8_t>& rgba, std::int32_t& width, std::int32_t& height)>;
void SetPixelSource(const void* owner, PixelSource source);
void WithdrawPixelSource(const void* owner);
// Forgets the record (at System::Finalize).
void ClearRecording();

} // namespace Lumora::Internal
