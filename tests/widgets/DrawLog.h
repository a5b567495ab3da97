// tests/widgets/DrawLog.h: a render that records each DrawTexture with its texture and the
// blend mode in force, in call order, so tests can read a frame as the GPU would get it.
// Shared by the widget tests and the scene tests (the wipe and the tiled background).
#pragma once

#include <Lumora/IRender.h>

#include <vector>

struct LoggedDraw {
    Lumora::Math::Rect destination;
    Lumora::Math::Rect source;
    std::uint32_t argb = 0;
    Lumora::ITexture* texture = nullptr;
    std::int32_t blendMode = 0;
};

class DrawLog : public Lumora::IRender {
public:
    std::int32_t AddRef() override { return 1; }
    std::int32_t Release() override { return 1; }
    void SetClearColor(std::uint32_t) override {}
    void BeginFrame() override {}
    void EndFrame() override {}
    void SetTextureLoadOptions(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override {}
    Lumora::ITexture* CreateTextureFromFile(const char*) override { return nullptr; }
    Lumora::ISprite2D* CreateSprite2D(std::int32_t, Lumora::ITexture*, std::int32_t, std::int32_t,
                                      std::int32_t, std::int32_t) override
    {
        return nullptr;
    }
    Lumora::IFont* CreateFont(const char*, const char*, std::int32_t, std::int32_t, std::int32_t) override
    {
        return nullptr;
    }
    void SetBlendMode(std::int32_t mode) override { blendMode = mode; }
    void DrawTexture(const Lumora::Math::Rect& destination, std::uint32_t argb,
                     const Lumora::Math::Rect& source, Lumora::ITexture* texture, std::int32_t,
                     const Lumora::Math::Point2D&) override
    {
        draws.push_back({destination, source, argb, texture, blendMode});
    }

    std::int32_t blendMode = -1;
    std::vector<LoggedDraw> draws;
};
