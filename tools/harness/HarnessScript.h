// tools/harness/HarnessScript.h: the harness's script language, parsed before anything runs.
//
// One command per line; blank lines and lines starting with '#' are skipped:
//   wait N                  N updates (each: the clock moves 1/60 s, one draw, one update)
//   frames N                N draws without an update (the clock stands still)
//   idle                    updates until the loader is idle, then one more so screens see it
//   press B...              buttons held together for one update, then one update with
//                           them released (0-3, 16-22, or the names up down left right
//                           confirm cancel c v hint undo redo)
//   hold B N                one button held for N updates, then one update released
//   shot FILE.png           the last drawn frame's pixels as a PNG
//   expect-scene ID         the current screen (the root's first child) has identifier ID
//   expect-quit N           the game ends within N updates (or ended during the command
//                           before); only as the last command. A quit at any other command
//                           fails the script at that line
//   expect-sound KIND NAME [VALUE]
//                           a sound event since the last clear-sounds: KIND play, stop or
//                           volume; NAME the sound's file name; VALUE the loop flag (play) or
//                           the volume percent (volume, within 0.01)
//   expect-playing NAME     the last play or stop event for NAME since the start was a play
//   clear-sounds            forgets the sound events recorded so far
//   expect-save KEY VALUE   a setting in "tomarugi.save": volume-bgm, volume-se,
//                           stage-view, camera-mode, camera-distance, camera-height
//   expect-stage-kind K     the program-wide current stage kind is K (normal, extra or
//                           endless)
//   expect-save record K NAME VALUE
//                           the best record of stage NAME (UTF-8 in the script) of kind K
//                           (normal or extra) in "tomarugi.save"
//   expect-screens N        the root has exactly N screens (children)
//   expect-text Y TEXT      the last drawn frame has a text line at screen y = Y (or anywhere
//                           for *) reading TEXT (UTF-8, the rest of the line; compared as the
//                           Shift-JIS drawn)
//   expect-stage-name NAME  the program-wide current stage name is NAME (UTF-8, the rest of
//                           the line; compared as Shift-JIS)
//   expect-text-colour Y ARGB
//                           the text line drawn at screen y = Y has the fill colour ARGB
//                           (eight hexadecimal digits)
//   expect-text-count N     the last drawn frame has exactly N text lines
//   expect-number Y VALUE   the picture-font digits drawn at screen y = Y in the last frame,
//                           read left to right, show VALUE
//   enter-scene ID          test-only: ends the current screen and starts a fresh one of
//                           identifier ID (1 start-up, 2 title, 4 puzzle of the current
//                           stage, 5 configuration, 6 retry wait, 7 endless stages,
//                           8 stage editor)
//   stage K NAME            test-only: makes stage NAME (UTF-8) of kind K the current stage
//   clear-draws             starts noting every picture and sprite square drawn (texture
//                           and source corner)
//   expect-drawn TEXTURE X Y
//   expect-not-drawn TEXTURE X Y
//                           whether a draw of TEXTURE with source corner (X, Y) happened
//                           in a frame since the last clear-draws
//   measure-frames N LABEL  N updates as `wait`, timing each pass (update and draw) in real
//                           time; prints "LABEL: N frames, median M ms, p99 P ms" to stdout
//   measure-load LABEL      presses decide and runs updates until the puzzle screen is in
//                           its playing phase; prints the real time taken and the updates
//   measure-startup LABEL   (only as the first command) runs the game loop in real time at
//                           the pace of a 60 Hz display until the first logo shows, presses
//                           confirm to skip the logos, and runs on until the title menu
//                           shows; prints both times in ms since the process started
//   measure-select LABEL    on the title menu: presses decide on the entry under the cursor
//                           and runs the loop in real time (as measure-startup) until the
//                           stage select shows its list and takes input; prints the time
//   measure-allocations N LABEL
//                           N updates as `wait` counting the heap allocations (operator
//                           new) of each whole pass, then N more counting only the scene
//                           tree's draw and update; prints both per frame (only in
//                           tomarugi-harness-counting)
//   measure-memory LABEL    prints the process's peak and current resident memory
//   wait-solver             updates (1 ms of real time apart) until the background solver
//                           has nothing left to do for the current screen: on the puzzle
//                           screen the position the player rests in is answered, on the
//                           stage select every extra stage is answered and shown; then one
//                           more update. Fails after 40 s of real time (the search runs
//                           at background priority)
//   expect-hint MOVE        the hint on the puzzle screen shows MOVE, in the notation of
//                           content/stages/solutions.txt (U D L R, PU..PR, TU..TR), or
//                           `none`: no hint is shown
//   expect-dead-end yes|no  whether the puzzle screen shows its dead-end box ("no way to
//                           clear from here")
//   play-hint               presses what the hint on the puzzle screen says, as `press`
//                           does: its direction, then confirm (push) or cancel (thaw).
//                           Fails when no hint is shown
//   make-file FILE          creates the empty file FILE (relative to the folder the harness
//                           was started in): a marker another process waits for
//   wait-file FILE          waits in real time, the game standing still, until FILE exists
//                           (relative as make-file). Fails after 60 s. With make-file, two
//                           game processes on one save file can take turns at set points
//   expect-replay WHOSE [MOVES]
//                           what the puzzle screen plays instead of the player: `none`,
//                           `player` (the moves of the best record), `solver` (the solver's
//                           solution), `waiting` (the solution is asked for, not found yet)
//                           or `notice` (a notice says nothing can be replayed, the screen
//                           goes back next); with MOVES, the replay's move list is that long
//   wait-turns N            updates until the puzzle screen's turn counter shows N and the
//                           player is at rest (or the stage is cleared in N turns); fails
//                           after 20000 updates or when the puzzle screen goes away
//   endless-date YYYY-MM-DD the date the endless screens take as today (for the daily board)
//   endless-choose ROW      on the endless screen: decides today, easy, normal or hard
//   endless-id TEXT         on the endless screen: enters TEXT (the rest of the line) as
//                           an ID and decides, as the dial would; a bad one shows its line
//   wait-board              updates (1 ms of real time apart) until the board being made
//                           is played: the puzzle screen runs in its playing phase. Fails
//                           after 60 s of real time, or when the endless screen stops
//                           making without a board
//   expect-board-id ID      the current stage is an endless board with ID ID
//   expect-save endless-record ID VALUE
//                           the best record of endless board ID in "tomarugi.save"
//   expect-kept ID          the endless board ID was kept: "ID.pzd" is in the player's
//                           extra stage folder (or data/stage/extra without one)
//   type TEXT               types TEXT (UTF-8, the rest of the line) into the game's text
//                           input, as a keyboard would; <enter>, <esc> and <bs> stand for
//                           Enter, Escape and Backspace. Then one update
//   editor WHAT ...         on the stage editor screen, then one update:
//                             cursor X Y          puts the cursor on cell (X, Y)
//                             place PIECE         places ice, hole, frog, frog-hole, icicle
//                                                 or start on the cursor's cell
//                             erase               as the cancel button on the cursor's cell
//                             undo | redo         one step
//                             undo-all            undoes every step kept
//                             resize W H          the menu's resize
//                             new W H             a new W x H board (as the open page does)
//                             open NAME           opens the listed extra stage NAME (UTF-8,
//                                                 without ".pzd")
//                             test-play           the menu's test play
//                             save NAME           the menu's save, with NAME typed and Enter
//                                                 pressed (the rest of the line)
//   expect-editor WHAT ...  checks the stage editor screen:
//                             cursor X Y          the cursor's cell
//                             figures T P F S N   the shown fewest turns, pushes, first
//                                                 traps, trapped positions and shortest
//                                                 solutions (each a number, ? or x)
//                             turns N             the shown fewest turns (a number, ? or x)
//                             figures-of FILE     the shown figures are the rater's on the
//                                                 stage text FILE (as `tomarugi-stage rate`)
//                             tier NAME           none, easy, normal or hard
//                             board FILE          the board holds the cells of stage text FILE
//                             empty W H           the board is a new W x H board
//                             page NAME           open, edit, menu, resize, name, overwrite or
//                                                 leave
//                             message TEXT        the one-line message contains TEXT (UTF-8)
//                             modified yes|no     whether there are unsaved changes
//   wait-editor             updates (1 ms of real time apart) until the editor's figures
//                           belong to the board shown, then one more; fails after 40 s
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HarnessCommand {
    enum class Kind {
        Wait,
        Frames,
        Idle,
        Press,
        Hold,
        Shot,
        ExpectScene,
        ExpectQuit,
        ExpectSound,
        ExpectPlaying,
        ClearSounds,
        ExpectSave,
        ExpectStageKind,
        EnterScene,
        SetStage,
        ClearDraws,
        ExpectDrawn,
        ExpectNotDrawn,
        ExpectScreens,
        ExpectText,
        ExpectStageName,
        ExpectTextCount,
        ExpectTextColour,
        ExpectNumber,
        MeasureFrames,
        MeasureLoad,
        MeasureStartup,
        MeasureSelect,
        MeasureAllocations,
        MeasureMemory,
        WaitSolver,
        ExpectHint,
        ExpectDeadEnd,
        PlayHint,
        MakeFile,
        WaitFile,
        ExpectReplay,
        WaitTurns,
        EndlessDate,
        EndlessChoose,
        EndlessId,
        WaitBoard,
        ExpectBoardId,
        ExpectKept,
        Editor,
        ExpectEditor,
        WaitEditor,
        Type,
    };
    Kind kind = Kind::Wait;
    std::int32_t line = 0;        // 1-based line in the script
    std::int64_t count = 0;       // Wait, Frames, Hold (updates), ExpectQuit, scene ids,
                                  // ExpectText's y, ExpectTextCount, ExpectNumber's y
    std::uint32_t buttons = 0;    // Press, Hold: bit n = button n; ExpectTextColour's ARGB
    std::string word;             // ExpectSound kind, ExpectSave key
    std::string name;             // Shot, MakeFile and WaitFile file, sound name, ExpectText's text, Measure label
    bool hasValue = false;        // ExpectSound
    double value = 0.0;           // ExpectSound, ExpectSave
    std::int32_t stageKind = 0;   // ExpectSave record, SetStage: 0 normal, 1 extra
    std::string stageName;        // ExpectSave record, SetStage: UTF-8 as written
    std::vector<std::string> arguments; // Editor, ExpectEditor: the words after `word`
    float sourceX = 0.0f;         // ExpectDrawn, ExpectNotDrawn
    float sourceY = 0.0f;
};

// Parses a whole script. False with "line N: reason" in `error` on the first bad line.
bool ParseHarnessScript(const std::string& text, std::vector<HarnessCommand>& commands,
                        std::string& error);
