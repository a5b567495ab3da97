// The sound tests' fixture: the sound system running headless with the test plug-ins.
#pragma once

#include "SoundFiles.h"
#include "SoundSystem.h"

#include <gtest/gtest.h>

namespace SoundTest {

// Starts the sound system headless with the test plug-ins, drains leftovers, stops it after.
// Sounds made by MakeEffect and MakeStream belong to the fixture, which releases them after the
// test, so a failed assertion cannot leave a voice playing into the next test.
class HeadlessSound : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A TestPcm sound effect or stream made through the real decoder path; owned by the fixture.
    Lumora::ISound* MakeEffect(const std::string& name, const Lumora::SoundFormat& format,
        const std::vector<std::uint8_t>& samples);
    Lumora::IStreamSound* MakeStream(const std::string& name, const Lumora::SoundFormat& format,
        const std::vector<std::uint8_t>& samples);

    // Mixes `frames` and returns them.
    std::vector<float> Mix(std::int32_t frames);

private:
    std::vector<Lumora::IInterface*> held_;
};

} // namespace SoundTest
