#include "HarnessEditor.h"

#include "PuzzleBoard.h"
#include "PuzzleRating.h"
#include "SceneEditor.h"
#include "StageText.h"

#include <Lumora/Testing.h>
#include <Lumora/Text.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

bool ParseCount(const std::string& word, std::uint32_t& value)
{
    try {
        std::size_t used = 0;
        const unsigned long parsed = std::stoul(word, &used);
        if (used != word.size() || parsed > 1000) {
            return false;
        }
        value = static_cast<std::uint32_t>(parsed);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadStageText(const std::string& path, StageDataReader& stage, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string title;
    StageTextError problem;
    if (!ParseStageText(text.str(), stage, title, problem)) {
        error = path + ":" + std::to_string(problem.line) + ": " + problem.message;
        return false;
    }
    return true;
}

std::string Shown(const EditorFigures& figures, std::uint64_t value)
{
    if (figures.state == EditorFigures::State::Rated) {
        return std::to_string(value);
    }
    return figures.state == EditorFigures::State::Unsolvable ? "x" : "?";
}

std::string FiguresText(const EditorFigures& figures)
{
    return Shown(figures, figures.fewestTurns) + " " + Shown(figures, figures.pushes) + " " +
        Shown(figures, figures.deadFirstMoves) + " " + Shown(figures, figures.trappedPositions) + " " +
        Shown(figures, figures.shortestSolutions);
}

const char* PageName(SceneEditor::Page page)
{
    switch (page) {
    case SceneEditor::PageLoading: return "loading";
    case SceneEditor::PageOpen: return "open";
    case SceneEditor::PageEdit: return "edit";
    case SceneEditor::PageMenu: return "menu";
    case SceneEditor::PageResize: return "resize";
    case SceneEditor::PageName: return "name";
    case SceneEditor::PageConfirmOverwrite: return "overwrite";
    case SceneEditor::PageConfirmLeave: return "leave";
    }
    return "?";
}

} // namespace

std::string TypedKeys(const std::string& scriptText)
{
    std::string keys;
    for (std::size_t i = 0; i < scriptText.size();) {
        if (scriptText.compare(i, 7, "<enter>") == 0) {
            keys += '\r';
            i += 7;
        } else if (scriptText.compare(i, 5, "<esc>") == 0) {
            keys += '\x1b';
            i += 5;
        } else if (scriptText.compare(i, 4, "<bs>") == 0) {
            keys += '\b';
            i += 4;
        } else {
            keys += scriptText[i++];
        }
    }
    return keys;
}

bool RunEditorAction(SceneEditor& scene, const HarnessCommand& command, std::string& error)
{
    StageEditor& editor = scene.Editor();
    const std::vector<std::string>& args = command.arguments;
    const std::string& what = command.word;
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    if (what == "cursor" || what == "resize" || what == "new") {
        if (args.size() != 2 || !ParseCount(args[0], a) || !ParseCount(args[1], b)) {
            error = "editor " + what + " takes two numbers";
            return false;
        }
        if (what == "cursor" && !editor.SetCursor(a, b)) {
            error = "cell (" + args[0] + ", " + args[1] + ") is off the board";
            return false;
        }
        if (what == "resize") {
            editor.Resize(a, b);
        }
        if (what == "new") {
            scene.StartNewBoard(a, b);
        }
    } else if (what == "place") {
        static const char* const kPieces[] = {"ice", "hole", "frog", "frog-hole", "icicle", "start"};
        std::int32_t piece = -1;
        for (std::int32_t i = 0; i < EditorPieceCount; ++i) {
            piece = args.size() == 1 && args[0] == kPieces[i] ? i : piece;
        }
        if (piece < 0) {
            error = "editor place takes ice, hole, frog, frog-hole, icicle or start";
            return false;
        }
        scene.SetPiece(static_cast<EditorPiece>(piece));
        editor.Place(static_cast<EditorPiece>(piece));
    } else if (what == "erase") {
        editor.Erase();
    } else if (what == "undo") {
        editor.Undo();
    } else if (what == "redo") {
        editor.Redo();
    } else if (what == "undo-all") {
        while (editor.Undo()) {
        }
    } else if (what == "open") {
        const std::string wanted = Lumora::Utf8ToShiftJis(command.stageName) + ".pzd";
        const std::vector<std::string>& listed = scene.ListedStages();
        const auto found = std::find(listed.begin(), listed.end(), wanted);
        if (found == listed.end()) {
            error = "no listed stage " + command.stageName;
            return false;
        }
        scene.OpenChoice(static_cast<std::int32_t>(found - listed.begin()));
    } else if (what == "test-play") {
        scene.StartTestPlay();
    } else if (what == "save") {
        scene.BeginSave();
        // Clears the offered name as a player would, then types the new one and Enter.
        std::string keys;
        for (const char c : scene.GetTypedName()) {
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
                keys += '\b'; // one per character, not per byte
            }
        }
        Lumora::Testing::TypeText(keys + command.stageName + "\r");
    } else {
        error = "unknown editor action '" + what + "'";
        return false;
    }
    scene.BoardChanged();
    return true;
}

bool CheckEditor(SceneEditor& scene, const HarnessCommand& command, const std::filesystem::path& base,
                 std::string& error)
{
    const std::filesystem::path named(command.stageName);
    const std::string file = (named.is_relative() && !base.empty() ? base / named : named).string();
    StageEditor& editor = scene.Editor();
    const std::vector<std::string>& args = command.arguments;
    const std::string& what = command.word;
    const EditorFigures figures = scene.ShownFigures();
    if (what == "cursor") {
        const std::string found = std::to_string(editor.CursorX()) + " " + std::to_string(editor.CursorY());
        if (command.stageName != found) {
            error = "the cursor is on " + found;
            return false;
        }
    } else if (what == "figures") {
        if (command.stageName != FiguresText(figures)) {
            error = "the figures shown are " + FiguresText(figures);
            return false;
        }
    } else if (what == "turns") {
        if (command.stageName != Shown(figures, figures.fewestTurns)) {
            error = "the fewest turns shown are " + Shown(figures, figures.fewestTurns);
            return false;
        }
    } else if (what == "figures-of") {
        StageDataReader stage;
        if (!LoadStageText(file, stage, error)) {
            return false;
        }
        PuzzleBoard board;
        board.BuildBoard(stage);
        const EditorFigures rated = FiguresOfRating(RatePuzzle(board), figures.revision);
        if (FiguresText(rated) != FiguresText(figures) || rated.tier != figures.tier) {
            error = "the figures shown are " + FiguresText(figures) + ", the rater's " + FiguresText(rated);
            return false;
        }
    } else if (what == "tier") {
        static const char* const kTiers[] = {"none", "easy", "normal", "hard"};
        const char* shown = figures.state == EditorFigures::State::Rated ? kTiers[static_cast<int>(figures.tier)] : "?";
        if (command.stageName != shown) {
            error = std::string("the tier shown is ") + shown;
            return false;
        }
    } else if (what == "board" || what == "empty") {
        StageEditor expected;
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        if (what == "board") {
            StageDataReader stage;
            if (!LoadStageText(file, stage, error)) {
                return false;
            }
            std::string why;
            if (!expected.Open(stage, why)) {
                error = why;
                return false;
            }
        } else if (args.size() == 2 && ParseCount(args[0], width) && ParseCount(args[1], height)) {
            expected.NewBoard(width, height);
        } else {
            error = "expect-editor empty takes two numbers";
            return false;
        }
        if (expected.Stage().width != editor.Width() || expected.Stage().height != editor.Height() ||
            expected.Stage().cells != editor.Stage().cells) {
            error = "the board is\n" + editor.Text();
            return false;
        }
    } else if (what == "page") {
        if (command.stageName != PageName(scene.GetPage())) {
            error = std::string("the page is ") + PageName(scene.GetPage());
            return false;
        }
    } else if (what == "message") {
        if (scene.GetMessage().find(command.stageName) == std::string::npos) {
            error = "the message is '" + scene.GetMessage() + "'";
            return false;
        }
    } else if (what == "modified") {
        if (command.stageName != (editor.IsModified() ? "yes" : "no")) {
            error = std::string("modified is ") + (editor.IsModified() ? "yes" : "no");
            return false;
        }
    } else {
        error = "unknown editor check '" + what + "'";
        return false;
    }
    return true;
}
