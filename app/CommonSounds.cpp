#include "CommonSounds.h"

#include "ResourceManager.h"
#include "SaveDataManager.h"

#include <thread>

CommonSounds commonSounds;

float VolumeSettingToPercent(std::int32_t setting)
{
    return static_cast<float>(setting) / 10.0f * 100.0f;
}

void LoadCommonSounds(ResourceManager* resourceManager)
{
    if (resourceManager == nullptr) {
        return;
    }
    resourceManager->AddRequest(
        new LoadRequest(kSmoothLoadOptions, "sound/bgm", "bgm_hanagumo.ogg", &commonSounds.bgm1));
    resourceManager->AddRequest(
        new LoadRequest(kSmoothLoadOptions, "sound/bgm", "bgm_yukimichi.ogg", &commonSounds.bgm2));
    resourceManager->AddRequest(
        new LoadRequest(kSmoothLoadOptions, "sound/se", "decision.wav", &commonSounds.decision));
    resourceManager->AddRequest(
        new LoadRequest(kSmoothLoadOptions, "sound/se", "cancel.wav", &commonSounds.cancel));
    resourceManager->AddRequest(
        new LoadRequest(kSmoothLoadOptions, "sound/se", "defrost.wav", &commonSounds.defrost));
    resourceManager->AddRequest(
        new LoadRequest(kSmoothLoadOptions, "sound/se", "frog_drag.wav", &commonSounds.drag));
    while (resourceManager->IsBusy()) {
        // The six sounds take the loader moments; polling without a pause keeps the
        // start-up short, and yielding leaves the processor to the loader meanwhile.
        std::this_thread::yield();
    }
    ApplySoundVolumes();
}

void ApplySoundVolumes()
{
    SaveDataManager save;
    const float effects = VolumeSettingToPercent(save->GetVolumeSe());
    for (Lumora::ISound* sound :
         {commonSounds.decision, commonSounds.cancel, commonSounds.defrost, commonSounds.drag}) {
        if (sound != nullptr) {
            sound->SetVolume(0, effects);
        }
    }
    const float music = VolumeSettingToPercent(save->GetVolumeBgm());
    if (commonSounds.bgm2 != nullptr) {
        commonSounds.bgm2->SetVolume(music);
    }
    if (commonSounds.bgm1 != nullptr) {
        commonSounds.bgm1->SetVolume(music);
    }
}

void PlayBgm(std::int32_t track)
{
    if (track == commonSounds.currentTrack) {
        return;
    }
    if (commonSounds.bgm2 != nullptr) {
        commonSounds.bgm2->Stop();
    }
    if (commonSounds.bgm1 != nullptr) {
        commonSounds.bgm1->Stop();
    }
    commonSounds.currentTrack = track;
    Lumora::IStreamSound* next = track == 1 ? commonSounds.bgm1 : track == 2 ? commonSounds.bgm2 : nullptr;
    if (next != nullptr) {
        next->Play(-1);
    }
}

void ReleaseCommonSounds()
{
    Lumora::SafeRelease(commonSounds.bgm1);
    Lumora::SafeRelease(commonSounds.bgm2);
    Lumora::SafeRelease(commonSounds.decision);
    Lumora::SafeRelease(commonSounds.cancel);
    Lumora::SafeRelease(commonSounds.defrost);
    Lumora::SafeRelease(commonSounds.drag);
    commonSounds.currentTrack = 0;
}
