// app/CommonGraphics.h: the font and the five textures that every screen shares.
//
// Loaded once at start-up by the Application (LoadCommonGraphics) and released at shutdown
// (ReleaseCommonGraphics). The textures come through the resource loader, so they may be
// used only once it has gone idle; any of them may be null when its file is missing (the
// engine draws nothing for a null texture). Main thread only.
#pragma once

#include <Lumora/IFileManager.h>
#include <Lumora/IFont.h>
#include <Lumora/IRender.h>
#include <Lumora/ITexture.h>

class ResourceManager;

struct CommonGraphics {
    Lumora::IFont* font = nullptr;                // "Font_Azuki_32.lft": the stage list; see
                                                  // WaitForCommonFont
    Lumora::ITexture* softCircle = nullptr;       // "common__soft_circle_640x480.tga": flat fills
    Lumora::ITexture* dialogue = nullptr;         // "dialogue.png": message boxes
    Lumora::ITexture* numbers = nullptr;          // "numbers_32_azuki.png": digits
    Lumora::ITexture* backgroundPanel = nullptr;  // "background_panel_rimeko.png": tiled background
    Lumora::ITexture* nowLoading = nullptr;       // "nowloading_back.png": loading picture
};

// The program's one set; every field starts null.
extern CommonGraphics commonGraphics;

// Creates the common font on the main thread with `render`, unless StartLoadingCommonFont
// has already started it, and queues the five textures (directory "graphic/sprite", smooth
// load options) on `resourceManager`. Does not wait.
void LoadCommonGraphics(Lumora::IFileManager* fileManager, Lumora::IRender* render,
                        ResourceManager* resourceManager);

// The common font is the slowest single load of the start-up (every page is read from the
// pack and decoded), and the first screens do not draw it: the Application starts it on a
// helper thread at once and goes on. The helper reads "/font/Font_Azuki_32.lft" from the
// pack root, so it never depends on the file manager's current directory, which the main
// thread and the loader keep changing; it makes the font with the main render (our engine
// puts a font's text into the frame of the render that made it), holding a reference to
// the render until it is done. Decoding pages touches no GPU state.
//
// Starts the helper (once; a second call does nothing). When no thread can be started,
// the font is made here and now instead.
void StartLoadingCommonFont(Lumora::IRender* render);
// Main thread: waits for the helper if it is still at work, then returns commonGraphics.font
// (null when the font could not be made or was never asked for). Every reader of the font
// goes through this; it costs nothing once the helper has been waited for.
Lumora::IFont* WaitForCommonFont();

// Releases the font and each texture that is present; the loader must be idle. Waits for
// the font's helper first.
void ReleaseCommonGraphics();
