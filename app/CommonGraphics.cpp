#include "CommonGraphics.h"

#include "ResourceManager.h"

#include <system_error>
#include <thread>

CommonGraphics commonGraphics;

namespace {

constexpr const char* kCommonFontFile = "Font_Azuki_32.lft";
// The same file named from the pack root, for the helper thread.
constexpr const char* kCommonFontPath = "/font/Font_Azuki_32.lft";

Lumora::IFont* CreateCommonFont(Lumora::IRender* render, const char* fileName)
{
    return render->CreateFont(fileName, "tga", 1024, 1, 1024);
}

// The helper making the common font; touched by the main thread only.
std::thread commonFontLoader;
bool commonFontStarted = false;

} // namespace

void StartLoadingCommonFont(Lumora::IRender* render)
{
    if (render == nullptr || commonFontStarted) {
        return;
    }
    commonFontStarted = true;
    render->AddRef();
    try {
        // The helper alone writes the field until WaitForCommonFont joins it.
        commonFontLoader = std::thread([render] {
            commonGraphics.font = CreateCommonFont(render, kCommonFontPath);
            render->Release();
        });
    } catch (const std::system_error&) {
        commonGraphics.font = CreateCommonFont(render, kCommonFontPath);
        render->Release();
    }
}

Lumora::IFont* WaitForCommonFont()
{
    if (commonFontLoader.joinable()) {
        commonFontLoader.join();
    }
    return commonGraphics.font;
}

void LoadCommonGraphics(Lumora::IFileManager* fileManager, Lumora::IRender* render,
                        ResourceManager* resourceManager)
{
    if (!commonFontStarted) {
        if (fileManager != nullptr) {
            fileManager->SetCurrentDirectory("font\\");
        }
        if (render != nullptr) {
            commonGraphics.font = CreateCommonFont(render, kCommonFontFile);
        }
        if (fileManager != nullptr) {
            fileManager->SetCurrentDirectory(nullptr);
        }
    }
    if (resourceManager == nullptr) {
        return;
    }
    const char* directory = "graphic/sprite";
    resourceManager->AddRequest(new LoadRequest(kSmoothLoadOptions, directory,
                                                "common__soft_circle_640x480.tga",
                                                &commonGraphics.softCircle));
    resourceManager->AddRequest(
        new LoadRequest(kSmoothLoadOptions, directory, "dialogue.png", &commonGraphics.dialogue));
    resourceManager->AddRequest(new LoadRequest(kSmoothLoadOptions, directory,
                                                "numbers_32_azuki.png", &commonGraphics.numbers));
    resourceManager->AddRequest(new LoadRequest(kSmoothLoadOptions, directory,
                                                "background_panel_rimeko.png",
                                                &commonGraphics.backgroundPanel));
    resourceManager->AddRequest(new LoadRequest(kSmoothLoadOptions, directory,
                                                "nowloading_back.png", &commonGraphics.nowLoading));
}

void ReleaseCommonGraphics()
{
    WaitForCommonFont();
    commonFontStarted = false;
    Lumora::SafeRelease(commonGraphics.font);
    Lumora::SafeRelease(commonGraphics.softCircle);
    Lumora::SafeRelease(commonGraphics.dialogue);
    Lumora::SafeRelease(commonGraphics.numbers);
    Lumora::SafeRelease(commonGraphics.backgroundPanel);
    Lumora::SafeRelease(commonGraphics.nowLoading);
}
