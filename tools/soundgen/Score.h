// Score.h: the note data of a music loop, read from a small text format.
//
// A score file describes one loop: its tempo, its length in bars, the instruments and, per
// instrument, a track of notes. The format, one statement per line, '#' starts a comment:
//
//   tempo 72                      beats per minute ("#" starting a word begins a comment)
//   bar 4                         beats per bar
//   bars 32                       length of the loop in bars
//   rate 44100                    sample rate in Hz (optional, 44100 by default)
//   reverb size=0.8 damping=0.4 return=0.3
//   delay beats=0.75 feedback=0.35 tone=3000 return=0.2
//   humanize timing=0.006 velocity=0.1   each note up to 6 ms early or late and 10 % softer
//                                        or louder, the same on every build
//   instrument <name> kind=<kind> key=value...
//   pattern <name>                a reusable run of notes, up to "end"
//   track <instrument> [transpose=<semitones>]   notes of one instrument, up to "end"
//
// Inside a pattern or a track, whitespace-separated tokens:
//   C4:1  F#3:0.5  Bb5:2          a note (scientific pitch, A4 = 440 Hz) and its length in
//                                 beats; the length may be left off to repeat the last one
//   C3+G3+E4:4                    a chord: several notes sounding together
//   r:2                           a rest
//   v0.6                          velocity (0..1) for the notes that follow
//   @name  @name*4                the notes of a pattern, once or several times
//   |                             a bar line: checks that the position lies on a bar start
//
// Every track must span exactly the loop; notes may ring on past its end (they wrap round to
// its start when the loop is rendered). Errors throw ScoreError naming the file and line.
#pragma once

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace SoundGen {

class ScoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ScoreNote {
    double beat = 0.0;      // start, in beats from the loop's start
    double beats = 0.0;     // length in beats
    double midiNote = 60.0; // pitch as a MIDI note number (transposition applied)
    double velocity = 1.0;  // 0..1
};

// Named numeric settings of an instrument or an effect, e.g. "decay" -> 2.5.
using Parameters = std::map<std::string, double>;

struct ScoreInstrument {
    std::string name;
    std::string kind;
    Parameters parameters;
    int line = 0; // where it was declared, for error messages
};

struct ScoreTrack {
    std::string instrument;
    std::vector<ScoreNote> notes;
    int line = 0;
};

struct Score {
    double tempo = 120.0;
    int beatsPerBar = 4;
    int bars = 0;
    int sampleRate = 44100;
    Parameters reverb;
    Parameters delay;
    Parameters humanize;
    std::vector<ScoreInstrument> instruments;
    std::vector<ScoreTrack> tracks;

    double LoopBeats() const { return static_cast<double>(bars) * beatsPerBar; }
    double SecondsPerBeat() const { return 60.0 / tempo; }
    // The frame (sample index) at which a beat falls, rounded to the nearest frame.
    std::size_t FrameOfBeat(double beat) const;
    // Length of the loop in frames.
    std::size_t LoopFrames() const { return FrameOfBeat(LoopBeats()); }
    const ScoreInstrument* FindInstrument(const std::string& name) const;
};

// Parses a note name such as "C4", "F#3", "Bb5" into a MIDI note number; false when malformed.
bool ParseNoteName(const std::string& text, double& midiNote);

// Reads a score from its text. `sourceName` prefixes error messages ("name:line: ...").
Score ParseScore(const std::string& text, const std::string& sourceName);

// Reads a score file; throws ScoreError when it cannot be read or is malformed.
Score LoadScore(const std::string& path);

} // namespace SoundGen
