// puzzle/Dialogue.h: message boxes that fade in, stay and fade out ("dialogue.png", the
// common texture: six 256 x 64 message rows), and a queue that shows several in turn.
//
// A Dialogue's phases are timed by the engine's millisecond clock (Lumora::System::
// GetMilliseconds): for the first second after activation it slides down one pixel and
// gains 10 alpha per drawn frame, for the next second it stays opaque, then it slides on
// and loses 10 alpha per frame until it is transparent and reports finished.
//
// Both hold the render without a reference (the Application's render outlives them).
// The queue owns its dialogues through shared pointers and drops each when it is done.
// Main thread only.
#pragma once

#include "NumberRenderer.h"

#include <Lumora/IRender.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

// Which message row of "dialogue.png" a box shows.
enum DialogueKind : std::int32_t {
    DialogueKindStageStart = 0,  // source y 0: the box shown when a stage starts
    DialogueKindCleared = 1,     // source y 192: first box when the stage is cleared
    DialogueKindTurnCount = 2,   // source y 256: turn count of a cleared stage; value drawn on it
    DialogueKindGaveUp = 3,      // source y 320: the player gave up the stage
    DialogueKindNewRecord = 4,   // source y 64: a new best record
    DialogueKindUnused = 5,      // source y 128: no screen shows it
    DialogueKindCount = 6,
    // Not a row of "dialogue.png": a box whose picture is given with SetPicture.
    DialogueKindFewestPossible = 6, // a clear in the fewest turns possible
    DialogueKindRecordNotSaved = 7, // a better record the save file could not take (yet)
};

class Dialogue {
public:
    // A box of `kind` (0..5; others draw the first row) showing `value` when it is the turn
    // count box. Inactive and transparent at (192, 148) until activated.
    Dialogue(std::int32_t kind, Lumora::IRender* render, std::int32_t value);

    // Draws `source` of `texture` (not counted; it must outlive the box) instead of the
    // kind's row of "dialogue.png": for boxes of other screens in the same look.
    void SetPicture(Lumora::ITexture* texture, const Lumora::Math::Rect& source);

    // Restarts the clock at now and makes the box drawn from the next Draw on.
    void Activate();
    // Animates one frame (see above) and draws the box; nothing while inactive.
    void Draw();

    bool IsActive() const { return active; }
    bool IsFinished() const { return finished; }
    std::int32_t GetX() const { return x; }
    std::int32_t GetY() const { return y; }
    std::int32_t GetAlpha() const { return alpha; }
    std::int32_t GetKind() const { return kind; }
    std::int32_t GetValue() const { return value; }

private:
    std::int32_t kind = 0;
    Lumora::IRender* render = nullptr;
    std::uint32_t startTime = 0; // milliseconds of the engine clock; differences wrap safely
    std::int32_t x = 192;
    std::int32_t y = 148;
    std::int32_t alpha = 0; // 0..255
    bool active = false;
    bool finished = false;
    std::shared_ptr<NumberRenderer> numberRenderer;
    std::int32_t value = 0;
    Lumora::ITexture* picture = nullptr; // SetPicture; null: the kind's row of "dialogue.png"
    Lumora::Math::Rect pictureSource;
};

class DialogueQueue {
public:
    DialogueQueue() = default;
    virtual ~DialogueQueue();

    // Appends `dialogue` at the back; starts nothing. A null dialogue is ignored.
    void Push(std::shared_ptr<Dialogue> dialogue);
    // Sets the queue running and activates the front dialogue, if any.
    void Start();
    // Draws the front dialogue; when it has finished, drops it and activates the next one
    // (first drawn in the following frame). Nothing until started. A box pushed after
    // Start, into an empty queue, is activated by the next Draw and shown from the one after.
    void Draw();

    bool IsRunning() const { return running; }
    bool IsEmpty() const { return dialogues.empty(); }
    std::size_t GetSize() const { return dialogues.size(); }
    // The kinds of the boxes still to show, front first.
    std::vector<std::int32_t> GetKinds() const
    {
        std::vector<std::int32_t> kinds;
        for (const std::shared_ptr<Dialogue>& dialogue : dialogues) {
            kinds.push_back(dialogue->GetKind());
        }
        return kinds;
    }

private:
    std::deque<std::shared_ptr<Dialogue>> dialogues; // front is shown first
    bool running = false;
};
