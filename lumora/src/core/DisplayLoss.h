#pragma once

namespace Lumora::Internal {

// Makes the loss of the X display end the process cleanly: when the connection to the X
// server breaks (the server quit, was killed or the session ended), one line goes to stderr,
// "<program>: the display is gone (the X server closed the connection); ending", and the
// process ends with exit code 1 at once, without running static destructors.
//
// Why: Xlib's own handler calls exit(), which destroys the engine's static std::thread
// objects (sound feeder, font loader) while they still run, and that aborts the program
// ("terminate called without an active exception", a core dump instead of a message). Ending
// with _exit is safe for the player's data: the save file is a SQLite database whose writes
// are transactions, so one that is cut short is rolled back on the next open.
//
// Does nothing unless SDL's video driver is x11 (SDL loads libX11 itself; the handler is
// installed through it, so the engine does not link libX11). Call after SDL's video starts.
void EndOnDisplayLoss();

} // namespace Lumora::Internal
