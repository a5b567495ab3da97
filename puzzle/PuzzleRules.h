// puzzle/PuzzleRules.h: the rules of play, runnable without the engine.
//
// The puzzle scene owns one PuzzleRules per stage and drives it from two places:
//   - its update (60 per second, while playing with the menu closed): Step(buttons);
//   - its draw (every drawn frame, menu open or not): for each frog from the last to the
//     first, AdvanceSlidingFrog for a Sliding frog (draw it at the returned position) and
//     AdvanceLeavingFrog for a Leaving frog (draw its leave actor in the callback).
// So the player's moves follow the update rate and the frog animations the draw rate.
// AdvanceFrogs does one draw's worth of frog animation without drawing (tools and tests).
//
// Buttons come in as plain states; the two sound effects and the camera adjustment go out
// through small seams (PuzzleSoundPlayer, CameraAdjustment) that the scene backs with the
// engine and tests back with recorders. Both seams may be left null.
//
// Timing: a slide over k cells started in update n ends in update n + 10k (the arrival
// test runs before the position update); a push over k cells ends in the (10k + 1)th draw;
// a defrost ends in the draw where the leave clock passes the animation length.
#pragma once

#include "PuzzleBoard.h"
#include "PuzzleObject.h"

#include <Lumora/Math.h>

#include <cstdint>
#include <functional>
#include <initializer_list>

namespace Lumora {
class ISound;
}

// Virtual buttons the rules read.
enum VirtualButton : int {
    ButtonUp = 0,
    ButtonDown = 1,
    ButtonLeft = 2,
    ButtonRight = 3,
    ButtonPush = 16,    // push the frog in front
    ButtonDefrost = 17, // defrost the frog in front
    ButtonMenu = 18,    // open the in-game menu
    ButtonCamera = 19,  // held: adjust the camera; direction buttons then do not move
    ButtonHint = 20,    // the puzzle screen's hint (the rules themselves ignore it)
};

// Button states of one update: bit n stands for virtual button n (0..31).
struct PuzzleButtons {
    std::uint32_t pressed = 0; // went down in this update
    std::uint32_t held = 0;    // is down now

    static constexpr std::uint32_t Bit(int button) { return std::uint32_t{1} << button; }
    bool Pressed(int button) const { return (pressed & Bit(button)) != 0; }
    bool Held(int button) const { return (held & Bit(button)) != 0; }

    // A press that also counts as held, the way a real button goes down.
    static PuzzleButtons Press(std::initializer_list<int> buttons)
    {
        PuzzleButtons states;
        for (int button : buttons) {
            states.pressed |= Bit(button);
            states.held |= Bit(button);
        }
        return states;
    }
};

enum class PuzzleSound {
    FrogDrag, // "frog_drag.wav", looped while a pushed frog slides
    Defrost,  // "defrost.wav", once when a defrost starts
};

// The common sound's file name.
const char* PuzzleSoundFileName(PuzzleSound sound);

// Where the rules' sound effects go.
class PuzzleSoundPlayer {
public:
    virtual ~PuzzleSoundPlayer() = default;
    virtual void Play(PuzzleSound sound, bool loop) = 0;
    virtual void Stop(PuzzleSound sound) = 0;
};

// Plays the effects on engine sounds (channel 0). The sounds stay their holder's: no
// reference is taken or released here. A null sound is skipped.
class PuzzleSoundPlayerLumora : public PuzzleSoundPlayer {
public:
    PuzzleSoundPlayerLumora(Lumora::ISound* frogDrag, Lumora::ISound* defrost)
        : frogDragSound(frogDrag), defrostSound(defrost)
    {
    }
    void Play(PuzzleSound sound, bool loop) override;
    void Stop(PuzzleSound sound) override;

private:
    Lumora::ISound* Find(PuzzleSound sound) const;

    Lumora::ISound* frogDragSound;
    Lumora::ISound* defrostSound;
};

// The camera's adjustment, as the rules drive it at the start of every step (Camera.h).
class CameraAdjustment {
public:
    virtual ~CameraAdjustment() = default;
    virtual void SetAdjusting(bool adjusting) = 0;
    virtual void StepCloser() = 0;
    virtual void StepFarther() = 0;
};

// Offset of the sliding frog from its cell, world units.
struct SlideOffset {
    float x = 0.0f;
    float z = 0.0f;

    bool operator==(const SlideOffset&) const = default;
};

// What a step asks of the scene.
struct StepResult {
    bool openMenu = false; // button 18 was pressed: open the menu on its main page
    bool cleared = false;  // no frog is left: the player is Cleared; close the menu
};

class PuzzleRules {
public:
    PuzzleRules() = default;
    PuzzleRules(PuzzleSoundPlayer* sounds_, CameraAdjustment* camera_) : sounds(sounds_), camera(camera_) {}

    // Seams; not owned, may be null, must outlive their use here.
    void SetSoundPlayer(PuzzleSoundPlayer* player) { sounds = player; }
    void SetCameraAdjustment(CameraAdjustment* adjustment) { camera = adjustment; }

    // One update of the rules: camera adjustment, direction presses (Up, Down, Right, Left;
    // the last pressed decides), push, defrost, arrival, position, menu, clearing.
    StepResult Step(const PuzzleButtons& buttons);

    // Where a slide from `start` ends. `movingFrog` is the frog on `start` that slides (it
    // does not block itself), or null for the player's slide.
    Cell Slide(Cell start, Direction direction, const PuzzleObjectFrozenFrog* movingFrog) const;

    // The two actions; the player must already be Pushing or Defrosting.
    void PushFrog();
    void DefrostFrog();

    // Once per draw for a Sliding frog: returns where to draw it, then advances the slide;
    // on arrival the frog settles, the player is Idle again and a turn is counted.
    Lumora::Math::Vector3D AdvanceSlidingFrog(PuzzleObjectFrozenFrog& frog);

    // Once per draw for a Leaving frog: advances the leave clock, calls `draw` (if any)
    // with the frog and the clock to show, and when the clock has passed
    // `animationLength` (the leave actor's animation 1, in the same unit as the clock:
    // drawn frames) finishes the defrost, which erases the frog: `frog` must not be used
    // after this returns.
    void AdvanceLeavingFrog(PuzzleObjectFrozenFrog& frog, float animationLength,
                            const std::function<void(const PuzzleObjectFrozenFrog&, float)>& draw = {});

    // End of a defrost: erases every Leaving frog (the others keep their order), the
    // Defrosting player becomes Idle, one turn more.
    void FinishLeavingFrogs();

    // One draw's worth of frog animation without drawing, walking the frogs from the last
    // to the first as the drawing pass does.
    void AdvanceFrogs(float leaveAnimationLength);

    PuzzleBoard board;
    std::uint64_t turns = 0;
    SlideOffset slideOffset;
    float leaveClock = 0.0f; // drawn frames of the leave animation so far

private:
    void PlaySound(PuzzleSound sound, bool loop);
    void StopSound(PuzzleSound sound);

    PuzzleSoundPlayer* sounds = nullptr;
    CameraAdjustment* camera = nullptr;
};
