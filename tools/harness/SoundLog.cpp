#include "SoundLog.h"

#include <Lumora/Testing.h>

void CollectSoundEvents(std::vector<HarnessSoundEvent>& log)
{
    for (const Lumora::Testing::SoundEvent& event : Lumora::Testing::TakeSoundEvents()) {
        HarnessSoundEvent copy;
        switch (event.kind) {
        case Lumora::Testing::SoundEvent::Kind::Play:
            copy.kind = HarnessSoundEvent::Kind::Play;
            break;
        case Lumora::Testing::SoundEvent::Kind::Stop:
            copy.kind = HarnessSoundEvent::Kind::Stop;
            break;
        case Lumora::Testing::SoundEvent::Kind::Volume:
            copy.kind = HarnessSoundEvent::Kind::Volume;
            break;
        }
        copy.name = event.name;
        copy.loop = event.loop;
        copy.volume = event.volume;
        log.push_back(std::move(copy));
    }
}
