// tests/scene/RecordingRender.h: a render that keeps the destination and source of every
// DrawTexture call, for checking what the drawing components draw.
#pragma once

#include <Lumora/IRender.h>

#include <vector>

struct RecordedTextureDraw {
    Lumora::Math::Rect destination;
    Lumora::Math::Rect source;
    std::uint32_t argb = 0;
};

class RecordingRender : public Lumora::IRender {
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
    void SetBlendMode(std::int32_t) override {}
    void DrawTexture(const Lumora::Math::Rect& destination, std::uint32_t argb,
                     const Lumora::Math::Rect& source, Lumora::ITexture*, std::int32_t,
                     const Lumora::Math::Point2D&) override
    {
        draws.push_back({destination, source, argb});
    }

    std::vector<RecordedTextureDraw> draws;
};
