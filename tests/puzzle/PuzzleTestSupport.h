// tests/puzzle/PuzzleTestSupport.h: boards from text rows, and recorders for the seams.
#pragma once

#include "PuzzleRules.h"
#include "StageText.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// Readable failure messages.
inline void PrintTo(const Cell& cell, std::ostream* out) { *out << "(" << cell.x << ", " << cell.y << ")"; }
inline void PrintTo(const Direction& direction, std::ostream* out)
{
    *out << "(" << direction.dx << ", " << direction.dy << ")";
}
inline void PrintTo(PuzzlerState state, std::ostream* out)
{
    static const char* const names[] = {"Idle", "Moving", "Pushing", "Defrosting", "Cleared", "GivenUp"};
    const auto index = static_cast<std::size_t>(state);
    *out << (index < 6 ? names[index] : "?");
}
inline void PrintTo(FrogState state, std::ostream* out)
{
    static const char* const names[] = {"Frozen", "Sliding", "Leaving"};
    const auto index = static_cast<std::size_t>(state);
    *out << (index < 3 ? names[index] : "?");
}

// A stage from rows in the stage text format ('.' ice, '_' hole, '@' start, 'F' frog,
// 'I' icicle); fails the test on a typo.
inline StageDataReader StageFromRows(const std::vector<std::string>& rows)
{
    std::string text;
    for (const std::string& row : rows) {
        text += row + "\n";
    }
    StageDataReader stage;
    std::string title;
    StageTextError error;
    EXPECT_TRUE(ParseStageText(text, stage, title, error)) << error.message;
    return stage;
}

struct SoundEvent {
    PuzzleSound sound;
    bool play; // false: stop
    bool loop;
    bool operator==(const SoundEvent&) const = default;
};

class RecordingSounds : public PuzzleSoundPlayer {
public:
    void Play(PuzzleSound sound, bool loop) override { events.push_back({sound, true, loop}); }
    void Stop(PuzzleSound sound) override { events.push_back({sound, false, false}); }
    std::vector<SoundEvent> events;
};

class RecordingAdjustment : public CameraAdjustment {
public:
    void SetAdjusting(bool flag) override { calls.push_back(flag ? "adjust on" : "adjust off"); }
    void StepCloser() override { calls.push_back("closer"); }
    void StepFarther() override { calls.push_back("farther"); }
    std::vector<std::string> calls;
};

// Rules on a board built from rows, with recording seams.
struct PuzzleFixture {
    explicit PuzzleFixture(const std::vector<std::string>& rows) : rules(&sounds, &camera)
    {
        rules.board.BuildBoard(StageFromRows(rows));
    }
    PuzzlerNuiko& player() { return *rules.board.player; }

    // One frame as the game runs it: a draw (frog animations) then an update.
    StepResult Frame(const PuzzleButtons& buttons = {}, float leaveLength = 30.0f)
    {
        rules.AdvanceFrogs(leaveLength);
        return rules.Step(buttons);
    }

    RecordingSounds sounds;
    RecordingAdjustment camera;
    PuzzleRules rules;
};

inline PuzzleButtons Press(std::initializer_list<int> buttons)
{
    return PuzzleButtons::Press(buttons);
}

inline PuzzleButtons Hold(std::initializer_list<int> buttons)
{
    PuzzleButtons states;
    for (int button : buttons) {
        states.held |= PuzzleButtons::Bit(button);
    }
    return states;
}
