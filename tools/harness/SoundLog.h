// tools/harness/SoundLog.h: the sound events the headless engine records (play, stop,
// volume), gathered for the script's expectations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HarnessSoundEvent {
    enum class Kind { Play, Stop, Volume };
    Kind kind = Kind::Play;
    std::string name;     // the sound's file name
    std::int32_t loop = 0;
    float volume = 0.0f;  // percent
};

// Moves the events recorded since the previous call onto the end of `log`.
void CollectSoundEvents(std::vector<HarnessSoundEvent>& log);
