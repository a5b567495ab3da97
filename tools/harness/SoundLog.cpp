// The engine records sound events in headless mode but does not yet offer them through
// Lumora/Testing.h; until it does, this one file reads them from the sound module's own
// interface. Nothing else of the harness looks inside the engine.
#include "SoundLog.h"

#include "SoundSystem.h"

void CollectSoundEvents(std::vector<HarnessSoundEvent>& log)
{
    for (const Lumora::Internal::SoundEvent& event : Lumora::Internal::TakeSoundEvents()) {
        HarnessSoundEvent copy;
        switch (event.kind) {
        case Lumora::Internal::SoundEvent::Kind::Play:
            copy.kind = HarnessSoundEvent::Kind::Play;
            break;
        case Lumora::Internal::SoundEvent::Kind::Stop:
            copy.kind = HarnessSoundEvent::Kind::Stop;
            break;
        case Lumora::Internal::SoundEvent::Kind::Volume:
            copy.kind = HarnessSoundEvent::Kind::Volume;
            break;
        }
        copy.name = event.name;
        copy.loop = event.loop;
        copy.volume = event.volume;
        log.push_back(std::move(copy));
    }
}
