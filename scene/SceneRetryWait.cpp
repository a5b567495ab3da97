#include "SceneRetryWait.h"

#include "CommonGraphics.h"
#include "SceneFactory.h"

#include <Lumora/System.h>

namespace {
constexpr double kPauseSeconds = 1.0;
} // namespace

SceneRetryWait::SceneRetryWait(Application* application)
    : Scene(application), startTime_(static_cast<std::int32_t>(Lumora::System::GetMilliseconds()))
{
}

bool SceneRetryWait::Update()
{
    // Unsigned subtraction keeps the difference right across the clock's wrap.
    const std::uint32_t elapsedMs =
        Lumora::System::GetMilliseconds() - static_cast<std::uint32_t>(startTime_);
    const double elapsedSeconds = static_cast<double>(elapsedMs) / 1000.0;
    if (alive_ && elapsedSeconds > kPauseSeconds) {
        Kill();
        Scene* puzzle = CreatePuzzleScene(GetApplication());
        if (puzzle != nullptr && GetParent() != nullptr) {
            GetParent()->AddChild(puzzle);
        } else if (puzzle != nullptr) {
            puzzle->Release();
        }
    }
    return Scene::Update();
}

void SceneRetryWait::Draw()
{
    if (Lumora::IRender* render = GetRender()) {
        render->SetBlendMode(0);
        const Lumora::Math::Rect screen(0.0f, 0.0f, 640.0f, 480.0f);
        render->DrawTexture(screen, 0xFFFFFFFF, screen, commonGraphics.nowLoading, 0,
                            Lumora::Math::Point2D{});
    }
    Scene::Draw();
}
