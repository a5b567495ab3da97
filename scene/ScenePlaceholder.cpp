#include "ScenePlaceholder.h"

#include "CommonGraphics.h"
#include "CommonSounds.h"
#include "FlatFill.h"
#include "SceneFactory.h"
#include "SceneTitle.h"

#include <Lumora/Text.h>

ScenePlaceholder::ScenePlaceholder(Application* application, std::int32_t sceneId,
                                   const char* name)
    : Scene(application), sceneId_(sceneId),
      message_(Lumora::Utf8ToShiftJis(std::string(name) + "は準備中です。\nX: タイトルへ戻る")),
      background_(std::make_shared<BackGroundTileRender>(GetRender()))
{
}

bool ScenePlaceholder::Update()
{
    Lumora::IInputController* input = GetInputController();
    if (alive_ && input != nullptr &&
        (input->GetState(Lumora::InputPressed, 17) || input->GetState(Lumora::InputPressed, 16))) {
        if (commonSounds.cancel != nullptr) {
            commonSounds.cancel->Play(0, 0);
        }
        Kill();
        if (GetParent() != nullptr) {
            GetParent()->AddChild(new SceneTitle(GetApplication()));
        }
    }
    return Scene::Update();
}

void ScenePlaceholder::Draw()
{
    if (Lumora::IRender* render = GetRender()) {
        render->SetBlendMode(0);
        background_->Draw();
        DrawFlatFill(render, Lumora::Math::Rect(64.0f, 160.0f, 512.0f, 160.0f), kPanelTexelX);
        if (Lumora::IFont* font = commonGraphics.font) {
            font->Begin(0);
            font->DrawText(message_.c_str(), 96, 176, 0xFF203040, 0x00000000);
            font->End();
            font->Render();
        }
    }
    Scene::Draw();
}

