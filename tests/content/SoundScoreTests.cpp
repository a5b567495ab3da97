// The score format and the loop renderer: what a composer writes is what plays.
#include "MusicRender.h"
#include "Score.h"
#include "SoundSeam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using SoundGen::ParseScore;
using SoundGen::Score;
using SoundGen::ScoreError;

const char* const Header =
    "tempo 120\n"
    "bar 4\n"
    "bars 2\n"
    "instrument lead kind=tone\n";

Score Parse(const std::string& body)
{
    return ParseScore(std::string(Header) + body, "test.score");
}

// The message of the ScoreError that parsing `body` throws; empty when it parses.
std::string ErrorOf(const std::string& body)
{
    try {
        Parse(body);
    } catch (const ScoreError& error) {
        return error.what();
    }
    return "";
}

// The message of the ScoreError that parsing a whole score throws; empty when it parses.
std::string ParseErrorOf(const std::string& text)
{
    try {
        ParseScore(text, "whole.score");
    } catch (const ScoreError& error) {
        return error.what();
    }
    return "";
}

TEST(SoundScoreNotes, NamesMapToConcertPitch)
{
    double midi = 0.0;
    ASSERT_TRUE(SoundGen::ParseNoteName("A4", midi));
    EXPECT_EQ(midi, 69.0);
    ASSERT_TRUE(SoundGen::ParseNoteName("C4", midi));
    EXPECT_EQ(midi, 60.0);
    ASSERT_TRUE(SoundGen::ParseNoteName("F#3", midi));
    EXPECT_EQ(midi, 54.0);
    ASSERT_TRUE(SoundGen::ParseNoteName("Bb1", midi));
    EXPECT_EQ(midi, 34.0);
    ASSERT_TRUE(SoundGen::ParseNoteName("B#3", midi)); // enharmonic: the C above
    EXPECT_EQ(midi, 60.0);
    EXPECT_NEAR(SoundGen::NoteFrequency(69.0), 440.0, 1e-9);
    EXPECT_NEAR(SoundGen::NoteFrequency(57.0), 220.0, 1e-9);
    for (const char* bad : {"", "H4", "c4", "C", "C44", "C#", "4C"}) {
        EXPECT_FALSE(SoundGen::ParseNoteName(bad, midi)) << bad;
    }
}

TEST(SoundScoreNotes, TrackPlacesNotesChordsRestsAndRepeats)
{
    const Score score = Parse(
        "pattern two\n"
        "  G4:0.5 A4 # the length carries over\n"
        "end\n"
        "track lead transpose=12\n"
        "  v0.5 C4+E4:1 r:1 @two*2 | v1 F#4:4 |\n"
        "end\n");
    ASSERT_EQ(score.tracks.size(), 1u);
    const auto& notes = score.tracks[0].notes;
    ASSERT_EQ(notes.size(), 7u);
    // The chord: two notes at beat 0, both one beat long, an octave up, at half velocity.
    EXPECT_EQ(notes[0].beat, 0.0);
    EXPECT_EQ(notes[1].beat, 0.0);
    EXPECT_EQ(notes[0].midiNote, 72.0);
    EXPECT_EQ(notes[1].midiNote, 76.0);
    EXPECT_EQ(notes[1].beats, 1.0);
    EXPECT_EQ(notes[0].velocity, 0.5);
    // After a one-beat rest the pattern plays twice: beats 2, 2.5, 3, 3.5.
    EXPECT_EQ(notes[2].beat, 2.0);
    EXPECT_EQ(notes[3].beat, 2.5);
    EXPECT_EQ(notes[3].beats, 0.5);
    EXPECT_EQ(notes[5].beat, 3.5);
    // Then the second bar.
    EXPECT_EQ(notes[6].beat, 4.0);
    EXPECT_EQ(notes[6].beats, 4.0);
    EXPECT_EQ(notes[6].midiNote, 78.0);
    EXPECT_EQ(notes[6].velocity, 1.0);
}

TEST(SoundScoreNotes, LoopLengthFollowsTempoAndRate)
{
    Score score = Parse("track lead\n  C4:8\nend\n");
    // 8 beats at 120 per minute are 4 s.
    EXPECT_EQ(score.LoopFrames(), 4u * 44100u);
    score.tempo = 76.0;
    score.bars = 36;
    // 144 beats at 76 per minute: 113.684... s, rounded to the nearest frame.
    EXPECT_EQ(score.LoopFrames(), 5013474u);
}

TEST(SoundScoreErrors, NameTheFileLineAndProblem)
{
    EXPECT_EQ(ErrorOf("track lead\n  C4:4\nend\n"), "test.score:5: track \"lead\" spans 4 beats but the loop is 8 beats");
    EXPECT_NE(ErrorOf("track lead\n  C4:3 | C4:5\nend\n").find("not the start of a bar"), std::string::npos);
    EXPECT_NE(ErrorOf("track lead\n  @nowhere\nend\n").find("no pattern named \"nowhere\""), std::string::npos);
    EXPECT_NE(ErrorOf("track drums\n  C4:8\nend\n").find("no instrument named \"drums\""), std::string::npos);
    EXPECT_NE(ErrorOf("track lead\n  C4:8\n").find("no \"end\""), std::string::npos);
    EXPECT_NE(ErrorOf("track lead\n  Q4:8\nend\n").find("\"Q4\" is not a note"), std::string::npos);
    EXPECT_NE(ErrorOf("track lead\n  C4:0 C4:8\nend\n").find("at least 1/64 beat"), std::string::npos);
    EXPECT_NE(ErrorOf("track lead\n  v1.5 C4:8\nend\n").find("velocity"), std::string::npos);
    EXPECT_NE(ErrorOf("track lead transpose=120\n  C4:8\nend\n").find("outside the notes"), std::string::npos);
    EXPECT_NE(ErrorOf("tempo fast\n").find("test.score:5: expected a number for tempo"), std::string::npos);
    EXPECT_NE(ErrorOf("volume 3\n").find("unknown statement \"volume\""), std::string::npos);
    EXPECT_NE(ErrorOf("instrument lead kind=fm\n").find("declared twice"), std::string::npos);
    // A loop made shorter after a track was read would leave its notes outside: found by the
    // fuzzer as "bar 3" after a track of a 4-beat bar.
    EXPECT_EQ(ErrorOf("track lead\n  C4:8\nend\nbar 3\n"), "test.score:8: \"bar\" must come before the first track");
    EXPECT_EQ(ErrorOf("track lead\n  C4:8\nend\nbars 1\n"), "test.score:8: \"bars\" must come before the first track");
}

TEST(SoundScoreErrors, RunawayRepeatsStopAtTheLoopsEnd)
{
    // A repeat count far beyond the loop fails as soon as the track passes the loop's end,
    // without expanding a billion notes first.
    const std::string message = ErrorOf("pattern tick\n  C4:0.25\nend\ntrack lead\n  @tick*1000000000\nend\n");
    EXPECT_NE(message.find("runs past the loop's end"), std::string::npos) << message;
    // A huge chord repeated within a long loop is stopped by the note count.
    std::string chord = "C4";
    for (int i = 0; i < 200; ++i) {
        chord += "+E4";
    }
    const std::string crowded = ParseErrorOf("tempo 120\nbars 1000\ninstrument a kind=fm\npattern c\n  " + chord +
                                             ":0.015625\nend\ntrack a\n  @c*256000\nend\n");
    EXPECT_NE(crowded.find("more than 100000 notes"), std::string::npos) << crowded;
}

TEST(SoundScoreErrors, APatternThatIncludesItselfIsRefused)
{
    const std::string message = ErrorOf("pattern loop\n  @loop C4:1\nend\ntrack lead\n  @loop\nend\n");
    EXPECT_NE(message.find("nested too deeply"), std::string::npos) << message;
}

TEST(SoundScoreErrors, RendererRefusesUnknownKindsAndSettings)
{
    const auto renderError = [](const std::string& instrument) {
        const Score score = ParseScore("tempo 120\nbars 1\n" + instrument + "\ntrack lead\n  C4:4\nend\n", "x.score");
        try {
            SoundGen::RenderLoop(score, "x.score", 0.8f);
        } catch (const ScoreError& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_NE(renderError("instrument lead kind=theremin").find("unknown kind \"theremin\""), std::string::npos);
    // A typo in a setting would otherwise silently fall back to the default.
    EXPECT_NE(renderError("instrument lead kind=fm decsy=2").find("takes no \"decsy\""), std::string::npos);
    EXPECT_EQ(renderError("instrument lead kind=fm decay=2 gain=0.3 pan=0.5"), "");
}

// Energy of one channel over [first, first + count) frames.
double Energy(const SoundGen::StereoBuffer& buffer, std::size_t first, std::size_t count)
{
    double energy = 0.0;
    for (std::size_t i = first; i < first + count; ++i) {
        energy += static_cast<double>(buffer.left[i]) * buffer.left[i];
    }
    return energy;
}

TEST(SoundLoopRender, ANoteRingingPastTheEndSoundsAgainAtTheStart)
{
    // One bar of rest and a bell struck on the very last beat, ringing for seconds.
    const Score score = ParseScore("tempo 120\nbars 1\ninstrument bell kind=fm decay=2 release=2\n"
                                   "track bell\n  r:3 A5:1\nend\n",
                                   "ring.score");
    const SoundGen::StereoBuffer loop = SoundGen::RenderLoop(score, "ring.score", 0.8f);
    ASSERT_EQ(loop.Frames(), score.LoopFrames());
    const std::size_t tenth = 4410;
    // The ring carries across the loop point into the opening beats...
    EXPECT_GT(Energy(loop, 0, tenth), 0.1 * Energy(loop, loop.Frames() - tenth, tenth));
    // ...and joins without a step.
    const SoundChecks::SeamReport seam = SoundChecks::MeasureSeam(SoundChecks::FromBuffer(loop, score.sampleRate));
    EXPECT_TRUE(seam.smooth) << seam.detail;
}

TEST(SoundLoopRender, EchoAndReverbTailsWrapToTheStart)
{
    // A single short blip on the second beat through a long echo and a hall: with the tails
    // of the previous pass wrapped round, the loop's last beat and its first still sound.
    const Score score = ParseScore("tempo 120\nbars 1\ndelay beats=0.9 feedback=0.6 return=1\n"
                                   "reverb size=0.9 return=0.5\n"
                                   "instrument blip kind=tone decay=0.05 sustain=0 release=0.02 delay=1 reverb=1\n"
                                   "track blip\n  r:1 C5:0.25 r:2.75\nend\n",
                                   "tail.score");
    const SoundGen::StereoBuffer loop = SoundGen::RenderLoop(score, "tail.score", 0.8f);
    const std::size_t beat = loop.Frames() / 4;
    EXPECT_GT(Energy(loop, 3 * beat, beat), 1e-4);
    EXPECT_GT(Energy(loop, 0, beat), 1e-4);
    // The last sample before the loop point and the first after it are neighbours in a
    // continuing tail, not a jump from a ringing tail into silence.
    const SoundChecks::SeamReport seam = SoundChecks::MeasureSeam(SoundChecks::FromBuffer(loop, score.sampleRate));
    EXPECT_TRUE(seam.smooth) << seam.detail;
}

TEST(SoundLoopRender, HumanizedNotesMoveButNoneIsLost)
{
    // Short blips on every beat, the first right at the loop point: jittered onsets that fall
    // before frame 0 must wrap to the loop's end, not vanish or write out of bounds.
    const std::string notes = "instrument blip kind=tone decay=0.05 sustain=0 release=0.02\n"
                              "track blip\n  C5:1 C5 C5 C5\nend\n";
    const Score steady = ParseScore("tempo 120\nbars 1\n" + notes, "steady.score");
    const Score loose = ParseScore("tempo 120\nbars 1\nhumanize timing=0.05 velocity=0.2\n" + notes, "loose.score");
    const SoundGen::StereoBuffer a = SoundGen::RenderLoop(steady, "steady.score", 0.8f);
    const SoundGen::StereoBuffer b = SoundGen::RenderLoop(loose, "loose.score", 0.8f);
    ASSERT_EQ(a.Frames(), b.Frames());
    EXPECT_NE(a.left, b.left);
    // Every blip still sounds near its beat: in the half beat either side of each beat (the
    // window round beat 0 wrapping over the loop point) the energy stays within what a
    // velocity change of 20 % allows.
    const std::size_t beat = a.Frames() / 4;
    const auto around = [beat](const SoundGen::StereoBuffer& buffer, std::size_t index) {
        double energy = 0.0;
        for (std::size_t k = 0; k < beat; ++k) {
            const std::size_t frame = (index * beat + buffer.Frames() - beat / 2 + k) % buffer.Frames();
            energy += static_cast<double>(buffer.left[frame]) * buffer.left[frame];
        }
        return energy;
    };
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_GT(around(b, i), 0.3 * around(a, i)) << "beat " << i;
    }
    const Score typo = ParseScore("tempo 120\nbars 1\nhumanize swing=0.5\n" + notes, "typo.score");
    EXPECT_THROW(SoundGen::RenderLoop(typo, "typo.score", 0.8f), ScoreError);
}

TEST(SoundLoopRender, StaysUnderTheRequestedPeak)
{
    const Score score = ParseScore("tempo 120\nbars 1\ninstrument k kind=kick gain=4\n"
                                   "track k\n  C2:1 C2 C2 C2\nend\n",
                                   "loud.score");
    const SoundGen::StereoBuffer loop = SoundGen::RenderLoop(score, "loud.score", 0.7f);
    const float peak = SoundGen::PeakOf(loop);
    EXPECT_LE(peak, 0.7f);
    EXPECT_GT(peak, 0.5f);
}

} // namespace
