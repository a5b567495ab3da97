// A headless engine for the renderer tests: core, memory file manager, device and one render.
#pragma once

#include "RenderTestSupport.h"

#include <Lumora/ICore.h>
#include <Lumora/System.h>
#include <Lumora/Testing.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace RenderTest {

class HeadlessEngine : public ::testing::Test {
protected:
    // `pixels`: render through offscreen OpenGL as well as recording.
    void Boot(bool pixels)
    {
        Lumora::Testing::EnableHeadless({pixels});
        BootEngine();
    }

    // The normal engine with a real window (SDL's offscreen driver when there is no display)
    // and no recording: frames are seen only through F12 screenshots.
    void BootWindowed()
    {
        if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
            setenv("SDL_VIDEODRIVER", "offscreen", 0);
        }
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        BootEngine();
    }

    void BootEngine()
    {
        ASSERT_NE(Lumora::System::Initialize(1, 1, 1), 0);
        core = Lumora::System::CreateCore();
        ASSERT_NE(core, nullptr);
        ASSERT_NE(core->Initialize("test", 0), 0);
        files = new MemoryFileManager();
        core->SetFileManager(files);
        device = core->CreateGraphicsDevice(0);
        ASSERT_NE(device, nullptr);
        ASSERT_NE(core->Start(640, 480, 1), 0);
        render = device->CreateRender(0, 1);
        ASSERT_NE(render, nullptr);
    }

    void TearDown() override
    {
        Lumora::SafeRelease(render);
        Lumora::SafeRelease(device);
        Lumora::SafeRelease(files);
        Lumora::SafeRelease(core);
        Lumora::System::Finalize();
        Lumora::Testing::DisableHeadless();
    }

    Lumora::ITexture* LoadPng(const std::string& name, int width, int height, const std::vector<std::uint8_t>& rgba)
    {
        files->Put(name, Png(width, height, rgba));
        return render->CreateTextureFromFile(name.c_str());
    }

    Lumora::ICore* core = nullptr;
    MemoryFileManager* files = nullptr;
    Lumora::IGraphicsDevice* device = nullptr;
    Lumora::IRender* render = nullptr;
};

} // namespace RenderTest
