#include "CommonGraphics.h"

#include "ResourceManager.h"

CommonGraphics commonGraphics;

void LoadCommonGraphics(Lumora::IFileManager* fileManager, Lumora::IRender* render,
                        ResourceManager* resourceManager)
{
    if (fileManager != nullptr) {
        fileManager->SetCurrentDirectory("font\\");
    }
    if (render != nullptr) {
        commonGraphics.font = render->CreateFont("Font_Azuki_32.lft", "tga", 1024, 1, 1024);
    }
    if (fileManager != nullptr) {
        fileManager->SetCurrentDirectory(nullptr);
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
    Lumora::SafeRelease(commonGraphics.font);
    Lumora::SafeRelease(commonGraphics.softCircle);
    Lumora::SafeRelease(commonGraphics.dialogue);
    Lumora::SafeRelease(commonGraphics.numbers);
    Lumora::SafeRelease(commonGraphics.backgroundPanel);
    Lumora::SafeRelease(commonGraphics.nowLoading);
}
