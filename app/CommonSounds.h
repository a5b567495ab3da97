// app/CommonSounds.h: the two music tracks and four sound effects that every screen shares.
//
// Loaded once at start-up (LoadCommonSounds), given the volumes stored in the save database
// (ApplySoundVolumes, also when the player leaves the configuration screen) and released at
// shutdown. At most one music track plays at a time (PlayBgm). A sound whose file failed to
// load stays null and is then neither played nor given a volume. Main thread only, once the
// loader has gone idle.
#pragma once

#include <Lumora/ISound.h>

#include <cstdint>

class ResourceManager;

struct CommonSounds {
    Lumora::IStreamSound* bgm1 = nullptr;    // "bgm_hanagumo.ogg" (no screen selects it)
    Lumora::IStreamSound* bgm2 = nullptr;    // "bgm_yukimichi.ogg": from the title on
    Lumora::ISound* decision = nullptr;      // "decision.wav": confirmations
    Lumora::ISound* cancel = nullptr;        // "cancel.wav": backing out
    Lumora::ISound* defrost = nullptr;       // "defrost.wav": a frog defrosted
    Lumora::ISound* drag = nullptr;          // "frog_drag.wav": a frog pushed (looped)
    std::int32_t currentTrack = 0;           // 0 none, 1 or 2
};

// The program's one set; every sound starts null and no track plays.
extern CommonSounds commonSounds;

// A stored volume setting (0..10) as the percentage the engine takes: 7 gives 70.0.
float VolumeSettingToPercent(std::int32_t setting);

// Queues the six loads, waits until the loader is idle, then applies the stored volumes.
void LoadCommonSounds(ResourceManager* resourceManager);
// Reads both volume settings from the save database and sets them on all six sounds.
void ApplySoundVolumes();
// Makes `track` (0 silence, 1 or 2) the only one playing; the playing track is not restarted.
void PlayBgm(std::int32_t track);
// Releases each sound that is present and forgets the current track.
void ReleaseCommonSounds();
