#include "Dialogue.h"

#include "CommonGraphics.h"

#include <Lumora/System.h>

#include <algorithm>
#include <array>

namespace {

constexpr float kBoxWidth = 256.0f;  // pixels, on screen and in the picture
constexpr float kBoxHeight = 64.0f;  // pixels
constexpr std::int32_t kAlphaStep = 10;      // per drawn frame
constexpr std::int32_t kValueOffsetX = 143;  // turn count, from the box's corner, pixels
constexpr std::int32_t kValueOffsetY = 16;

// The message rows of "dialogue.png", indexed by DialogueKind. Made on the first draw.
const std::array<Lumora::Math::Rect, DialogueKindCount>& MessageRows()
{
    static const std::array<Lumora::Math::Rect, DialogueKindCount> rows = {
        Lumora::Math::Rect(0.0f, 0.0f, kBoxWidth, kBoxHeight),
        Lumora::Math::Rect(0.0f, 192.0f, kBoxWidth, kBoxHeight),
        Lumora::Math::Rect(0.0f, 256.0f, kBoxWidth, kBoxHeight),
        Lumora::Math::Rect(0.0f, 320.0f, kBoxWidth, kBoxHeight),
        Lumora::Math::Rect(0.0f, 64.0f, kBoxWidth, kBoxHeight),
        Lumora::Math::Rect(0.0f, 128.0f, kBoxWidth, kBoxHeight),
    };
    return rows;
}

} // namespace

Dialogue::Dialogue(std::int32_t kind_, Lumora::IRender* render_, std::int32_t value_)
    : kind(kind_), render(render_), startTime(Lumora::System::GetMilliseconds()),
      numberRenderer(std::make_shared<NumberRenderer>(render_)), value(value_)
{
}

void Dialogue::SetPicture(Lumora::ITexture* texture, const Lumora::Math::Rect& source)
{
    picture = texture;
    pictureSource = source;
}

void Dialogue::Activate()
{
    startTime = Lumora::System::GetMilliseconds();
    active = true;
}

void Dialogue::Draw()
{
    if (!active) {
        return;
    }
    const std::uint32_t elapsed = Lumora::System::GetMilliseconds() - startTime;
    const double seconds = elapsed / 1000.0;
    if (seconds < 1.0) {
        ++y;
        alpha = std::min(alpha + kAlphaStep, 255);
    } else if (seconds < 2.0) {
        alpha = 255;
    } else {
        ++y;
        alpha -= kAlphaStep;
        if (alpha < 0) {
            alpha = 0;
            finished = true;
        }
    }

    if (render == nullptr) {
        return;
    }
    const auto& rows = MessageRows();
    const std::size_t row = (kind >= 0 && kind < DialogueKindCount) ? static_cast<std::size_t>(kind) : 0;
    render->DrawTexture(
        Lumora::Math::Rect(static_cast<float>(x), static_cast<float>(y), kBoxWidth, kBoxHeight),
        NumberRenderer::ColourForAlpha(alpha), picture != nullptr ? pictureSource : rows[row],
        picture != nullptr ? picture : commonGraphics.dialogue, 0, Lumora::Math::Point2D{});
    if (kind == DialogueKindTurnCount) {
        numberRenderer->Draw(value, x + kValueOffsetX, y + kValueOffsetY, alpha, false);
    }
}

DialogueQueue::~DialogueQueue() = default;

void DialogueQueue::Push(std::shared_ptr<Dialogue> dialogue)
{
    if (dialogue != nullptr) {
        dialogues.push_back(std::move(dialogue));
    }
}

void DialogueQueue::Start()
{
    running = true;
    if (!dialogues.empty()) {
        dialogues.front()->Activate();
    }
}

void DialogueQueue::Draw()
{
    if (!running || dialogues.empty()) {
        return;
    }
    const std::shared_ptr<Dialogue>& front = dialogues.front();
    if (!front->IsActive() && !front->IsFinished()) {
        // Pushed after Start found the queue empty: nothing else would ever activate it, and
        // the queue would never empty. Start it now, shown from the next frame like any box
        // that follows another.
        front->Activate();
        return;
    }
    front->Draw();
    if (front->IsFinished()) {
        dialogues.pop_front();
        if (!dialogues.empty()) {
            dialogues.front()->Activate();
        }
    }
}
