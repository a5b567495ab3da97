// Feeds arbitrary text to the score reader. Scores are our own files, but a typo in one must
// end in a clear ScoreError, never in a crash or a build that hangs.
#include "Score.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const SoundGen::Score score = SoundGen::ParseScore(text, "fuzz.score");
        // What reads must be playable: every note inside the loop and in the MIDI range.
        for (const SoundGen::ScoreTrack& track : score.tracks) {
            for (const SoundGen::ScoreNote& note : track.notes) {
                if (note.beat < 0.0 || note.beat >= score.LoopBeats() || note.midiNote < 0.0 || note.midiNote > 127.0 ||
                    note.beats <= 0.0) {
                    __builtin_trap();
                }
            }
        }
    } catch (const SoundGen::ScoreError&) {
    }
    return 0;
}
