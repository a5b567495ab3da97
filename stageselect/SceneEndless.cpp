#include "SceneEndless.h"

#include "CommonGraphics.h"
#include "CommonSounds.h"
#include "CurrentStage.h"
#include "FlatFill.h"
#include "ResourceManager.h"
#include "SceneFactory.h"
#include "SceneTitle.h"

#include <Lumora/System.h>
#include <Lumora/Text.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr std::int32_t kDecideButton = 16;
constexpr std::int32_t kCancelButton = 17;
constexpr std::int32_t kLineHeight = 32;    // pixels per list line
constexpr std::int32_t kListLeft = 16;      // pixels
constexpr std::int32_t kPanelLeft = 336;    // pixels
constexpr std::int32_t kVisibleRows = 13;   // list lines from y 32 to 448
constexpr std::size_t kMessageLineLength = 18; // characters of a message line
constexpr std::int32_t kDialPitch = 30;     // pixels per dial character
constexpr std::int32_t kDialY = 112;        // screen y of the dial
constexpr std::size_t kRecentBoards = 20;
constexpr std::uint32_t kChosenLine = 0xFF000000; // opaque black
constexpr std::uint32_t kOtherLine = 0x88000000;  // dimmed black
constexpr std::uint32_t kMessageColour = 0xFFB0203A; // a warning red on the panel
constexpr std::uint32_t kOutline = 0xFFFFFFFF;
const Lumora::Math::Rect kStarMark(0.0f, 0.0f, 32.0f, 32.0f);
// Candidates a hard board needs at the median, for the progress bar's pace.
constexpr double kTypicalCandidates = 250.0;

// Editable characters of the dial, and what each may be.
bool IsDialCharacter(std::int32_t caret) { return caret == 0 || caret == 1 || (caret >= 3 && caret <= 8); }
const char* DialAlphabet(std::int32_t caret)
{
    if (caret == 0) {
        return "123";
    }
    if (caret == 1) {
        return "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    }
    return "0123456789";
}

void PlaySound(Lumora::ISound* sound)
{
    if (sound != nullptr) {
        sound->Play(0, 0);
    }
}

// The text of the game's own UTF-8 source lines, as the font draws them (Shift-JIS).
std::string Sjis(const std::string& utf8) { return Lumora::Utf8ToShiftJis(utf8); }

std::string LocalDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // Room for any int in each field, so the format can never be cut short.
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return text;
}

// A fresh seed for a tier press: drawn from the clock and a counter through SplitMix64, then
// stepped on until the save file has no board of that ID (a board not played before).
std::uint32_t FreshSeed(int tier)
{
    static std::uint64_t counter = 0;
    std::uint64_t state = static_cast<std::uint64_t>(std::time(nullptr)) * 0x9E3779B97F4A7C15ull ^
                          (++counter * 0xD1B54A32D192ED03ull) ^ Lumora::System::GetMilliseconds();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        const auto seed = static_cast<std::uint32_t>((static_cast<unsigned __int128>(z) * kEndlessSeedCount) >> 64);
        if (!IsEndlessBoardKnown(FormatEndlessId({tier, kEndlessVersion, seed}))) {
            return seed;
        }
    }
    return static_cast<std::uint32_t>(state % kEndlessSeedCount);
}

} // namespace

std::string& SceneEndless::TodayOverride()
{
    static std::string date;
    return date;
}

SceneEndless::SceneEndless(Application* application) : Scene(application)
{
    if (ResourceManager* loader = GetResourceManager()) {
        loader->AddRequestFor(LoadOwner(),
                              new LoadRequest(kPixelLoadOptions, "graphic/sprite", "stageselect_marks.png", &marks));
    }
    numberRenderer = std::make_shared<NumberRenderer>(GetRender());
    background = std::make_shared<BackGroundTileRender>(GetRender());
    wipe = std::make_shared<EffectWipe>(GetRender(), 1);
    todayText = TodayOverride().empty() ? LocalDate() : TodayOverride();
    if (!DailyEndlessIdFromText(todayText, today)) {
        DailyEndlessId(2000, 1, 1, today); // a clock before 2000: the first day's board
    }
    recent = LoadRecentEndless(kRecentBoards);
    // The board making's worker and its helper threads run below the frames.
    worker = std::make_unique<BackgroundWorker>([] { Lumora::System::SetThreadBackground(); });
}

SceneEndless::~SceneEndless()
{
    if (typing) {
        Lumora::System::StopTextInput();
    }
    worker.reset(); // cancels a making in progress and joins
    Lumora::SafeRelease(marks);
    numberRenderer.reset();
    wipe.reset();
    background.reset();
}

std::string SceneEndless::GetPendingId() const
{
    if (making.has_value()) {
        return FormatEndlessId(*making);
    }
    return phase == EndlessDialling ? dial : std::string();
}

bool SceneEndless::Update()
{
    switch (phase) {
    case EndlessLoading: {
        ResourceManager* loader = GetResourceManager();
        if (loader == nullptr || !loader->IsBusy()) {
            phase = EndlessChoosing;
        }
        break;
    }
    case EndlessChoosing:
        UpdateChoosing();
        break;
    case EndlessDialling:
        UpdateDialling();
        break;
    case EndlessMaking:
        UpdateMaking();
        break;
    default:
        break;
    }
    SyncTextInput();
    return Scene::Update();
}

void SceneEndless::UpdateChoosing()
{
    Lumora::IInputController* input = GetInputController();
    if (input == nullptr) {
        return;
    }
    const auto rows = static_cast<std::int32_t>(EndlessFixedRows + recent.size());
    if (input->MoveCursor(0, cursor, rows)) {
        message.clear();
    }
    if (input->GetState(Lumora::InputPressed, kDecideButton)) {
        PlaySound(commonSounds.decision);
        DecideRow(cursor);
        return; // decide wins over a cancel in the same update
    }
    if (input->GetState(Lumora::InputPressed, kCancelButton)) {
        PlaySound(commonSounds.cancel);
        Leave(new SceneTitle(GetApplication()));
    }
}

void SceneEndless::DecideRow(std::int32_t row)
{
    message.clear();
    switch (row) {
    case EndlessRowToday:
        StartMaking(today);
        break;
    case EndlessRowEasy:
    case EndlessRowNormal:
    case EndlessRowHard: {
        const int tier = row - EndlessRowEasy + 1;
        StartMaking({tier, kEndlessVersion, FreshSeed(tier)});
        break;
    }
    case EndlessRowEnterId:
        phase = EndlessDialling;
        caret = 0;
        break;
    default: {
        const auto index = static_cast<std::size_t>(row - EndlessFixedRows);
        EndlessId id;
        std::string why;
        if (index < recent.size() && ParseEndlessId(recent[index].boardId, id, why)) {
            StartMaking(id);
        } else if (index < recent.size()) {
            message = recent[index].boardId + ": " + why;
        }
        break;
    }
    }
}

void SceneEndless::ChooseRow(std::int32_t row)
{
    if (phase == EndlessChoosing) {
        cursor = row;
        DecideRow(row);
    }
}

void SceneEndless::EnterId(const std::string& text)
{
    if (phase != EndlessChoosing && phase != EndlessDialling) {
        return;
    }
    EndlessId id;
    std::string why;
    if (!ParseEndlessId(text, id, why)) {
        message = why;
        return;
    }
    message.clear();
    dial = FormatEndlessId(id);
    StartMaking(id);
}

void SceneEndless::SyncTextInput()
{
    const bool wanted = phase == EndlessDialling;
    if (wanted != typing) {
        typing = wanted;
        if (wanted) {
            Lumora::System::StartTextInput();
        } else {
            Lumora::System::StopTextInput();
        }
    }
}

namespace {

// `typed` with full-width forms (U+FF01 to U+FF5E, what a Japanese input method types for
// "２Ａ－０４８２１３") turned into their ASCII characters; everything else as it came.
std::string NarrowFullWidth(const std::string& typed)
{
    std::string narrow;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(typed[i]);
        if (b0 == 0xEF && i + 2 < typed.size()) {
            const auto b1 = static_cast<unsigned char>(typed[i + 1]);
            const auto b2 = static_cast<unsigned char>(typed[i + 2]);
            const unsigned code = ((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
            if ((b1 & 0xC0) == 0x80 && (b2 & 0xC0) == 0x80 && code >= 0xFF01 && code <= 0xFF5E) {
                narrow += static_cast<char>(code - 0xFEE0);
                i += 2;
                continue;
            }
        }
        narrow += typed[i];
    }
    return narrow;
}

} // namespace

bool SceneEndless::TypeIntoDial(const std::string& typed, bool& decide, bool& cancel)
{
    bool taken = false;
    for (const char c : NarrowFullWidth(typed)) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c == '\r' || c == '\x1b') {
            (c == '\r' ? decide : cancel) = true;
            return true;
        }
        if (c == '\b') {
            caret = caret == 3 ? 1 : std::max(caret - 1, 0);
            taken = true;
        } else if (c == '-') {
            caret = std::max(caret, 3);
            taken = true;
        } else if (IsDialCharacter(caret) && upper != '\0' && std::strchr(DialAlphabet(caret), upper) != nullptr) {
            dial[static_cast<std::size_t>(caret)] = upper;
            caret = caret == 1 ? 3 : std::min(caret + 1, 8);
            message.clear();
            taken = true;
        }
        // Anything else (a space, a letter where a digit goes) is no part of an ID: the keys
        // keep their own meaning then (Z plays, X goes back).
    }
    return taken;
}

void SceneEndless::UpdateDialling()
{
    Lumora::IInputController* input = GetInputController();
    bool decide = false;
    bool cancel = false;
    if (TypeIntoDial(Lumora::System::TakeTypedText(), decide, cancel)) {
        if (decide) {
            PlaySound(commonSounds.decision);
            EnterId(dial);
        } else if (cancel) {
            PlaySound(commonSounds.cancel);
            message.clear();
            phase = EndlessChoosing;
        }
        return; // what was typed wins over the buttons of the same update
    }
    if (input == nullptr) {
        return;
    }
    // Left and right step over the dash.
    std::int32_t position = caret < 3 ? caret : caret - 1; // 0..7 over the editable ones
    if (input->MoveCursorHorizontal(0, position, 8)) {
        caret = position < 2 ? position : position + 1;
    }
    if (IsDialCharacter(caret)) {
        const std::string alphabet = DialAlphabet(caret);
        const auto count = static_cast<std::int32_t>(alphabet.size());
        const std::size_t at = alphabet.find(dial[static_cast<std::size_t>(caret)]);
        // Up turns the character forwards: the cursor call counts up as minus one.
        std::int32_t reversed = count - 1 - static_cast<std::int32_t>(at == std::string::npos ? 0 : at);
        if (input->MoveCursor(0, reversed, count)) {
            dial[static_cast<std::size_t>(caret)] = alphabet[static_cast<std::size_t>(count - 1 - reversed)];
            message.clear();
        }
    }
    if (input->GetState(Lumora::InputPressed, kDecideButton)) {
        PlaySound(commonSounds.decision);
        EnterId(dial);
        return;
    }
    if (input->GetState(Lumora::InputPressed, kCancelButton)) {
        PlaySound(commonSounds.cancel);
        message.clear();
        phase = EndlessChoosing;
    }
}

void SceneEndless::StartMaking(const EndlessId& id)
{
    making = id;
    judged = 0;
    makingFrames = 0;
    phase = EndlessMaking;
    {
        std::lock_guard lock(madeMutex);
        made.reset();
    }
    // The job numbers its result, so that a stale job's board (cancelled, then a new one
    // asked for) is never taken for the newest.
    const std::uint64_t serial = ++makingJob;
    worker->Post([this, id, serial](const std::atomic<bool>& cancelled) {
        EndlessBoard board;
        EndlessMakeOptions options;
        options.cancel = &cancelled;
        options.threads = 0;
        options.onThreadStart = [] { Lumora::System::SetThreadBackground(); };
        options.progress = [this](std::uint64_t count) { judged = count; };
        const EndlessOutcome outcome = MakeEndlessBoard(id, board, options);
        std::lock_guard lock(madeMutex);
        made = Made{serial, outcome, std::move(board)};
    });
}

void SceneEndless::UpdateMaking()
{
    ++makingFrames;
    Lumora::IInputController* input = GetInputController();
    if (input != nullptr && input->GetState(Lumora::InputPressed, kCancelButton)) {
        PlaySound(commonSounds.cancel);
        worker->Cancel();
        making.reset();
        phase = EndlessChoosing;
        return;
    }
    std::optional<Made> result;
    {
        std::lock_guard lock(madeMutex);
        if (made.has_value() && made->job == makingJob) {
            result = std::move(made);
            made.reset();
        }
    }
    if (!result.has_value() || !making.has_value()) {
        return;
    }
    const EndlessId id = *making;
    making.reset();
    if (result->outcome != EndlessOutcome::Made) {
        message = result->outcome == EndlessOutcome::NotFound ? "No board could be made for this ID."
                                                              : std::string();
        phase = EndlessChoosing;
        return;
    }
    const std::string name = FormatEndlessId(id);
    currentStageKind = StageKind::Endless;
    currentStageName = name;
    currentEndlessBoard = std::move(result->board.stage);
    currentEndlessFewestTurns = static_cast<std::int32_t>(result->board.rating.fewestTurns);
    NoteEndlessPlayed(name, currentEndlessFewestTurns, static_cast<std::int64_t>(std::time(nullptr)));
    Leave(CreatePuzzleScene(GetApplication()));
}

void SceneEndless::Leave(Scene* successor)
{
    phase = EndlessExiting;
    worker->Cancel();
    Kill();
    if (successor == nullptr) {
        return;
    }
    if (Scene* parent = GetParent()) {
        parent->AddChild(successor);
    } else {
        successor->Release();
    }
}

void SceneEndless::Draw()
{
    Lumora::IRender* render = GetRender();
    if (render != nullptr) {
        render->SetBlendMode(Lumora::IRender::BlendNormal);
        if (phase == EndlessLoading) {
            DrawFlatFill(render, Lumora::Math::Rect(0.0f, 0.0f, 640.0f, 480.0f), kBackgroundTexelX);
        } else if (phase != EndlessExiting) {
            background->Draw();
            DrawFlatFill(render, Lumora::Math::Rect(320.0f, 0.0f, 320.0f, 480.0f), kPanelTexelX);
            const std::int32_t first = std::max(0, cursor - (kVisibleRows - 1));
            DrawFlatFill(render,
                         Lumora::Math::Rect(0.0f, static_cast<float>((cursor - first + 1) * kLineHeight), 320.0f,
                                            static_cast<float>(kLineHeight)),
                         kPanelTexelX);
            if (phase == EndlessDialling) {
                // The cell of the character being turned.
                DrawFlatFill(render,
                             Lumora::Math::Rect(static_cast<float>(kPanelLeft + kDialPitch * caret), kDialY - 2.0f,
                                                static_cast<float>(kDialPitch), 36.0f),
                             kBackgroundTexelX);
            }
            Lumora::IFont* font = WaitForCommonFont();
            if (font != nullptr && font->IsInvalid() == 0) {
                font->Begin(0);
                DrawList(render, font);
                DrawPanel(render, font);
                font->End();
                font->Render();
            }
            render->SetBlendMode(Lumora::IRender::BlendSmooth);
            // The recent board's numbers and star, over the panel.
            const auto index = static_cast<std::size_t>(cursor - EndlessFixedRows);
            if (phase == EndlessChoosing && cursor >= EndlessFixedRows && index < recent.size()) {
                const EndlessRecordRow& row = recent[index];
                numberRenderer->Draw(row.fewestTurns, kPanelLeft, 128, 255, false);
                numberRenderer->Draw(row.bestRecord, kPanelLeft, 224, 255, false);
                if (row.bestRecord > 0 && row.bestRecord == row.fewestTurns && marks != nullptr) {
                    const float digits = row.bestRecord >= 10 ? 2.0f : 1.0f;
                    render->DrawTexture(Lumora::Math::Rect(kPanelLeft + 20.0f * digits + 4.0f, 224.0f, 32.0f, 32.0f),
                                        0xFFFFFFFF, kStarMark, marks, 0, Lumora::Math::Point2D{});
                }
            }
            render->SetBlendMode(Lumora::IRender::BlendNormal);
            if (phase == EndlessMaking) {
                // The progress bar: it fills towards the end at the pace of a typical
                // board, so it keeps moving however long the search takes.
                const double share = 1.0 - std::exp(-static_cast<double>(judged.load()) / kTypicalCandidates);
                // The track is two thin lines, the part done a full band, both in the list's blue.
                DrawFlatFill(render, Lumora::Math::Rect(kPanelLeft, 200.0f, 272.0f, 2.0f), kBackgroundTexelX);
                DrawFlatFill(render, Lumora::Math::Rect(kPanelLeft, 214.0f, 272.0f, 2.0f), kBackgroundTexelX);
                DrawFlatFill(render, Lumora::Math::Rect(kPanelLeft, 200.0f, static_cast<float>(272.0 * share), 16.0f),
                             kBackgroundTexelX);
            }
            wipe->Draw();
        }
    }
    Scene::Draw();
}

void SceneEndless::DrawList(Lumora::IRender* /*render*/, Lumora::IFont* font)
{
    // The common font is large (about 14 px per ASCII letter, 28 per kana): the list keeps
    // to the Japanese names, the panel says the rest in short lines.
    font->DrawText(Sjis("むげんステージ").c_str(), kListLeft, 0, kChosenLine, kOutline);
    const char* const fixed[EndlessFixedRows] = {"きょうのステージ", "やさしい", "ふつう", "むずかしい", "ID をいれる"};
    const auto rows = static_cast<std::int32_t>(EndlessFixedRows + recent.size());
    const std::int32_t first = std::max(0, cursor - (kVisibleRows - 1));
    for (std::int32_t row = first; row < rows && row < first + kVisibleRows; ++row) {
        std::string text;
        if (row < EndlessFixedRows) {
            text = Sjis(fixed[row]);
        } else {
            const EndlessRecordRow& board = recent[static_cast<std::size_t>(row - EndlessFixedRows)];
            text = board.boardId + " " + std::to_string(board.fewestTurns) + "/" +
                   (board.bestRecord > 0 ? std::to_string(board.bestRecord) : std::string("-")) +
                   (board.bestRecord > 0 && board.bestRecord == board.fewestTurns ? " *" : "");
        }
        font->DrawText(text.c_str(), kListLeft, (row - first + 1) * kLineHeight, row == cursor ? kChosenLine : kOtherLine,
                       kOutline);
    }
}

void SceneEndless::DrawPanel(Lumora::IRender* /*render*/, Lumora::IFont* font)
{
    auto line = [&](const std::string& utf8, std::int32_t y, std::uint32_t colour = kChosenLine) {
        font->DrawText(Sjis(utf8).c_str(), kPanelLeft, y, colour, kOutline);
    };
    if (phase == EndlessMaking && making.has_value()) {
        line("つくっています", 64);
        line("Making " + FormatEndlessId(*making), 96);
        line(std::to_string(judged.load()) + " boards tried" + std::string((makingFrames / 15) % 4, '.'), 160);
        line("X: やめる  Cancel", 256);
        return;
    }
    if (phase == EndlessDialling) {
        line("Enter an ID", 64);
        // One character per cell, so that the cell being turned can be marked under it.
        for (std::size_t i = 0; i < dial.size(); ++i) {
            font->DrawText(dial.substr(i, 1).c_str(), kPanelLeft + kDialPitch * static_cast<std::int32_t>(i) + 6,
                           kDialY, kChosenLine, kOutline);
        }
        line("Up/down: change", 176);
        line("Left/right: move", 208);
        line("Z: play  X: back", 240);
        line("Or type the ID", 272);
    } else if (cursor == EndlessRowToday) {
        line("Today's stage", 64);
        line(todayText, 96);
        line(FormatEndlessId(today), 128);
        line("Tier 2, the same", 192);
        line("board for everyone", 224);
    } else if (cursor >= EndlessRowEasy && cursor <= EndlessRowHard) {
        const int tier = cursor - EndlessRowEasy + 1;
        const EndlessTierRules rules = TierRules(tier);
        const char* const names[] = {"Easy", "Normal", "Hard"};
        line(std::string(names[tier - 1]) + ": a new board", 64);
        line("Tier " + std::to_string(tier) + ", " + std::to_string(rules.minTurns) + " to " +
                 std::to_string(rules.maxTurns) + " turns",
             96);
    } else if (cursor == EndlessRowEnterId) {
        line("Enter an ID", 64);
        line("a friend told you,", 96);
        line("e.g. 2A-048213", 128);
    } else {
        const auto index = static_cast<std::size_t>(cursor - EndlessFixedRows);
        if (index < recent.size()) {
            line(recent[index].boardId, 64);
            line("Fewest turns", 96);
            line("Best record", 192);
        }
    }
    if (!message.empty()) {
        // Wrapped at spaces into lines of at most 18 characters (the panel's width), from
        // y 352 down, four lines at most.
        std::int32_t y = 352;
        std::size_t start = 0;
        while (start < message.size() && y <= 448) {
            std::size_t end = message.size();
            if (end - start > kMessageLineLength) {
                end = message.rfind(' ', start + kMessageLineLength);
                end = end == std::string::npos || end <= start ? start + kMessageLineLength : end;
            }
            line(message.substr(start, end - start), y, kMessageColour);
            y += kLineHeight;
            start = message.find_first_not_of(' ', end);
        }
    }
}
