// The sound tests' fixture: the sound system running headless with the test plug-ins.
#pragma once

#include "SoundFiles.h"
#include "SoundSystem.h"

#include <gtest/gtest.h>

namespace SoundTest {

// Starts the sound system headless with the test plug-ins, drains leftovers, stops it after.
class HeadlessSound : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A TestPcm sound effect made through the real decoder path.
    Lumora::ISound* MakeEffect(const std::string& name, const Lumora::SoundFormat& format,
        const std::vector<std::uint8_t>& samples);
    Lumora::IStreamSound* MakeStream(const std::string& name, const Lumora::SoundFormat& format,
        const std::vector<std::uint8_t>& samples);

    // Mixes `frames` and returns them.
    std::vector<float> Mix(std::int32_t frames);
};

} // namespace SoundTest
