#include "SoundTestSupport.h"

namespace SoundTest {

void HeadlessSound::SetUp()
{
    ASSERT_TRUE(Lumora::Internal::StartSound(true));
    Lumora::Internal::SetPluginDirectory(SOUND_TEST_PLUGIN_DIR);
    Lumora::Internal::TakeSoundEvents();
}

void HeadlessSound::TearDown()
{
    for (Lumora::IInterface* sound : held_) {
        sound->Release();
    }
    held_.clear();
    Lumora::Internal::SetPluginDirectory(nullptr);
    Lumora::Internal::StopSound();
}

Lumora::ISound* HeadlessSound::MakeEffect(const std::string& name, const Lumora::SoundFormat& format,
    const std::vector<std::uint8_t>& samples)
{
    MemoryFile* file = MemoryFile::Create(name, TestPcmBytes(format, samples));
    Lumora::ISound* sound = Lumora::Internal::CreateSoundWithDecoder(file, "TestPcm");
    file->Release();
    if (sound != nullptr) {
        held_.push_back(sound);
    }
    return sound;
}

Lumora::IStreamSound* HeadlessSound::MakeStream(const std::string& name, const Lumora::SoundFormat& format,
    const std::vector<std::uint8_t>& samples)
{
    MemoryFile* file = MemoryFile::Create(name, TestPcmBytes(format, samples));
    Lumora::IStreamSound* sound = Lumora::Internal::CreateStreamSound(file, "TestPcm");
    file->Release();
    if (sound != nullptr) {
        held_.push_back(sound);
    }
    return sound;
}

std::vector<float> HeadlessSound::Mix(std::int32_t frames)
{
    Lumora::Internal::MixHeadless(frames);
    return Lumora::Internal::GetLastMix();
}

} // namespace SoundTest
