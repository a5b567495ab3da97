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
    Lumora::IFont* font = nullptr;                // "Font_Azuki_32.lft": digits, messages
    Lumora::ITexture* softCircle = nullptr;       // "common__soft_circle_640x480.tga": flat fills
    Lumora::ITexture* dialogue = nullptr;         // "dialogue.png": message boxes
    Lumora::ITexture* numbers = nullptr;          // "numbers_32_azuki.png": digits
    Lumora::ITexture* backgroundPanel = nullptr;  // "background_panel_rimeko.png": tiled background
    Lumora::ITexture* nowLoading = nullptr;       // "nowloading_back.png": loading picture
};

// The program's one set; every field starts null.
extern CommonGraphics commonGraphics;

// Creates the common font on the main thread with `render` and queues the five textures
// (directory "graphic/sprite", smooth load options) on `resourceManager`. Does not wait.
void LoadCommonGraphics(Lumora::IFileManager* fileManager, Lumora::IRender* render,
                        ResourceManager* resourceManager);
// Releases the font and each texture that is present; the loader must be idle.
void ReleaseCommonGraphics();
