#include "HarnessScript.h"

#include <charconv>
#include <sstream>

namespace {

std::vector<std::string> SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream stream(line);
    std::string word;
    while (stream >> word) {
        words.push_back(word);
    }
    return words;
}

bool ParseInteger(const std::string& text, std::int64_t minimum, std::int64_t maximum,
                  std::int64_t& out)
{
    const char* end = text.data() + text.size();
    auto [pointer, result] = std::from_chars(text.data(), end, out);
    return result == std::errc() && pointer == end && out >= minimum && out <= maximum;
}

bool ParseNumber(const std::string& text, double& out)
{
    const char* end = text.data() + text.size();
    auto [pointer, result] = std::from_chars(text.data(), end, out);
    return result == std::errc() && pointer == end;
}

// A virtual button by number (0-3, 16-20) or by name.
bool ParseButton(const std::string& text, std::uint32_t& bit)
{
    static const struct {
        const char* name;
        std::int32_t button;
    } kNames[] = {{"up", 0},      {"down", 1},    {"left", 2}, {"right", 3},
                  {"confirm", 16}, {"cancel", 17}, {"c", 18},   {"v", 19}, {"hint", 20},
                  {"undo", 21},    {"redo", 22}};
    for (const auto& named : kNames) {
        if (text == named.name) {
            bit = 1u << named.button;
            return true;
        }
    }
    std::int64_t button = 0;
    if (!ParseInteger(text, 0, 22, button) || (button > 3 && button < 16)) {
        return false;
    }
    bit = 1u << button;
    return true;
}

// The text after the verb and `skip` further words, inner spaces kept, outer ones trimmed.
std::string RestOfLine(const std::string& line, const std::string& verb, int skip)
{
    std::size_t at = line.find(verb) + verb.size();
    for (int word = 0; word <= skip; ++word) {
        at = line.find_first_not_of(" \t", at);
        if (word < skip) {
            at = line.find_first_of(" \t", at);
        }
    }
    const std::size_t end = line.find_last_not_of(" \t\r");
    return at == std::string::npos || end < at ? std::string() : line.substr(at, end + 1 - at);
}

bool IsSaveKey(const std::string& key)
{
    return key == "volume-bgm" || key == "volume-se" || key == "stage-view" ||
           key == "camera-mode" || key == "camera-distance" || key == "camera-height";
}

} // namespace

bool ParseHarnessScript(const std::string& text, std::vector<HarnessCommand>& commands,
                        std::string& error)
{
    constexpr std::int64_t kMaxCount = 100'000'000;
    commands.clear();
    std::istringstream lines(text);
    std::string line;
    std::int32_t lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        const std::vector<std::string> words = SplitWords(line);
        if (words.empty() || words[0][0] == '#') {
            continue;
        }
        HarnessCommand command;
        command.line = lineNumber;
        const std::string& verb = words[0];
        const std::size_t arguments = words.size() - 1;
        auto fail = [&](const std::string& reason) {
            error = "line " + std::to_string(lineNumber) + ": " + reason;
            return false;
        };

        if (verb == "wait" || verb == "frames" || verb == "expect-quit") {
            command.kind = verb == "wait"     ? HarnessCommand::Kind::Wait
                           : verb == "frames" ? HarnessCommand::Kind::Frames
                                              : HarnessCommand::Kind::ExpectQuit;
            if (arguments != 1 || !ParseInteger(words[1], 0, kMaxCount, command.count)) {
                return fail(verb + " takes one count from 0 to 100000000");
            }
        } else if (verb == "idle" || verb == "clear-sounds") {
            command.kind = verb == "idle" ? HarnessCommand::Kind::Idle : HarnessCommand::Kind::ClearSounds;
            if (arguments != 0) {
                return fail(verb + " takes no arguments");
            }
        } else if (verb == "press") {
            command.kind = HarnessCommand::Kind::Press;
            if (arguments == 0) {
                return fail("press needs at least one button");
            }
            for (std::size_t i = 1; i < words.size(); ++i) {
                std::uint32_t bit = 0;
                if (!ParseButton(words[i], bit)) {
                    return fail("unknown button '" + words[i] + "'");
                }
                command.buttons |= bit;
            }
        } else if (verb == "hold") {
            command.kind = HarnessCommand::Kind::Hold;
            if (arguments != 2 || !ParseButton(words[1], command.buttons) ||
                !ParseInteger(words[2], 0, kMaxCount, command.count)) {
                return fail("hold takes a button and a count of updates");
            }
        } else if (verb == "measure-frames") {
            command.kind = HarnessCommand::Kind::MeasureFrames;
            if (arguments != 2 || !ParseInteger(words[1], 1, kMaxCount, command.count)) {
                return fail("measure-frames takes a count from 1 to 100000000 and a label");
            }
            command.name = words[2];
        } else if (verb == "measure-load") {
            command.kind = HarnessCommand::Kind::MeasureLoad;
            if (arguments != 1) {
                return fail("measure-load takes a label");
            }
            command.name = words[1];
        } else if (verb == "measure-startup" || verb == "measure-select") {
            command.kind = verb == "measure-startup" ? HarnessCommand::Kind::MeasureStartup
                                                     : HarnessCommand::Kind::MeasureSelect;
            if (arguments != 1) {
                return fail(verb + " takes a label");
            }
            // Start-up is timed from the process start: anything run before it would be
            // counted as start-up.
            if (command.kind == HarnessCommand::Kind::MeasureStartup && !commands.empty()) {
                return fail("measure-startup must be the script's first command");
            }
            command.name = words[1];
        } else if (verb == "measure-allocations") {
            command.kind = HarnessCommand::Kind::MeasureAllocations;
            if (arguments != 2 || !ParseInteger(words[1], 1, kMaxCount, command.count)) {
                return fail("measure-allocations takes a count from 1 to 100000000 and a label");
            }
            command.name = words[2];
        } else if (verb == "measure-memory") {
            command.kind = HarnessCommand::Kind::MeasureMemory;
            if (arguments != 1) {
                return fail("measure-memory takes a label");
            }
            command.name = words[1];
        } else if (verb == "shot") {
            command.kind = HarnessCommand::Kind::Shot;
            if (arguments != 1 || words[1].size() < 5 ||
                words[1].compare(words[1].size() - 4, 4, ".png") != 0) {
                return fail("shot takes one file name ending in .png");
            }
            command.name = words[1];
        } else if (verb == "expect-scene" || verb == "enter-scene") {
            command.kind = verb == "expect-scene" ? HarnessCommand::Kind::ExpectScene
                                                  : HarnessCommand::Kind::EnterScene;
            if (arguments != 1 || !ParseInteger(words[1], 0, 8, command.count)) {
                return fail(verb + " takes a scene identifier from 0 to 8");
            }
            if (command.kind == HarnessCommand::Kind::EnterScene && command.count != 1 &&
                command.count != 2 && command.count != 4 && command.count != 5 && command.count != 6 &&
                command.count != 7 && command.count != 8) {
                return fail("enter-scene can start screens 1, 2, 4, 5, 6, 7 and 8 only");
            }
        } else if (verb == "expect-sound") {
            command.kind = HarnessCommand::Kind::ExpectSound;
            if (arguments < 2 || arguments > 3 ||
                (words[1] != "play" && words[1] != "stop" && words[1] != "volume")) {
                return fail("expect-sound takes play, stop or volume, a sound name and an optional value");
            }
            command.word = words[1];
            command.name = words[2];
            if (arguments == 3) {
                if (!ParseNumber(words[3], command.value)) {
                    return fail("'" + words[3] + "' is not a number");
                }
                command.hasValue = true;
            }
        } else if (verb == "expect-text") {
            command.kind = HarnessCommand::Kind::ExpectText;
            if (arguments < 2 ||
                (words[1] != "*" && !ParseInteger(words[1], -100000, 100000, command.count))) {
                return fail("expect-text takes a screen y (or *) and the text");
            }
            command.hasValue = words[1] != "*"; // false: any line
            command.name = RestOfLine(line, verb, 1);
        } else if (verb == "expect-stage-name") {
            command.kind = HarnessCommand::Kind::ExpectStageName;
            if (arguments < 1) {
                return fail("expect-stage-name takes a stage file name");
            }
            command.name = RestOfLine(line, verb, 0);
        } else if (verb == "expect-screens") {
            command.kind = HarnessCommand::Kind::ExpectScreens;
            if (arguments != 1 || !ParseInteger(words[1], 0, kMaxCount, command.count)) {
                return fail("expect-screens takes a count");
            }
        } else if (verb == "expect-text-colour") {
            command.kind = HarnessCommand::Kind::ExpectTextColour;
            const char* hexEnd = arguments == 2 ? words[2].data() + words[2].size() : nullptr;
            if (arguments != 2 || !ParseInteger(words[1], -100000, 100000, command.count) ||
                words[2].size() != 8 ||
                std::from_chars(words[2].data(), hexEnd, command.buttons, 16).ptr != hexEnd) {
                return fail("expect-text-colour takes a screen y and an ARGB colour in hexadecimal");
            }
        } else if (verb == "expect-text-count") {
            command.kind = HarnessCommand::Kind::ExpectTextCount;
            if (arguments != 1 || !ParseInteger(words[1], 0, kMaxCount, command.count)) {
                return fail("expect-text-count takes a count");
            }
        } else if (verb == "expect-number") {
            command.kind = HarnessCommand::Kind::ExpectNumber;
            if (arguments != 2 || !ParseInteger(words[1], -100000, 100000, command.count) ||
                !ParseNumber(words[2], command.value)) {
                return fail("expect-number takes a screen y and a number");
            }
        } else if (verb == "expect-stage-kind") {
            command.kind = HarnessCommand::Kind::ExpectStageKind;
            if (arguments != 1 || (words[1] != "normal" && words[1] != "extra" && words[1] != "endless")) {
                return fail("expect-stage-kind takes normal, extra or endless");
            }
            command.count = words[1] == "extra" ? 1 : words[1] == "endless" ? 2 : 0;
        } else if (verb == "expect-playing") {
            command.kind = HarnessCommand::Kind::ExpectPlaying;
            if (arguments != 1) {
                return fail("expect-playing takes one sound name");
            }
            command.name = words[1];
        } else if (verb == "expect-save" && arguments >= 1 && words[1] == "endless-record") {
            command.kind = HarnessCommand::Kind::ExpectSave;
            if (arguments != 3 || !ParseNumber(words[3], command.value)) {
                return fail("expect-save endless-record takes a board ID and a number");
            }
            command.word = words[1];
            command.stageKind = 2;
            command.stageName = words[2];
        } else if (verb == "endless-date" || verb == "endless-choose" || verb == "expect-board-id" ||
                   verb == "expect-kept") {
            command.kind = verb == "endless-date"     ? HarnessCommand::Kind::EndlessDate
                           : verb == "endless-choose" ? HarnessCommand::Kind::EndlessChoose
                           : verb == "expect-kept"    ? HarnessCommand::Kind::ExpectKept
                                                      : HarnessCommand::Kind::ExpectBoardId;
            if (arguments != 1) {
                return fail(verb + " takes one word");
            }
            if (verb == "endless-choose" && words[1] != "today" && words[1] != "easy" && words[1] != "normal" &&
                words[1] != "hard") {
                return fail("endless-choose takes today, easy, normal or hard");
            }
            command.name = words[1];
        } else if (verb == "endless-id") {
            command.kind = HarnessCommand::Kind::EndlessId;
            command.name = arguments == 0 ? std::string() : RestOfLine(line, verb, 0);
        } else if (verb == "wait-board") {
            command.kind = HarnessCommand::Kind::WaitBoard;
            if (arguments != 0) {
                return fail("wait-board takes no arguments");
            }
        } else if (verb == "expect-save" && arguments >= 1 && words[1] == "record") {
            command.kind = HarnessCommand::Kind::ExpectSave;
            if (arguments != 4 || (words[2] != "normal" && words[2] != "extra") ||
                !ParseNumber(words[4], command.value)) {
                return fail("expect-save record takes normal or extra, a stage file name and a number");
            }
            command.word = words[1];
            command.stageKind = words[2] == "extra" ? 1 : 0;
            command.stageName = words[3];
        } else if (verb == "stage") {
            command.kind = HarnessCommand::Kind::SetStage;
            if (arguments != 2 || (words[1] != "normal" && words[1] != "extra")) {
                return fail("stage takes normal or extra and a stage file name");
            }
            command.stageKind = words[1] == "extra" ? 1 : 0;
            command.stageName = words[2];
        } else if (verb == "clear-draws") {
            command.kind = HarnessCommand::Kind::ClearDraws;
            if (arguments != 0) {
                return fail("clear-draws takes no arguments");
            }
        } else if (verb == "expect-drawn" || verb == "expect-not-drawn") {
            command.kind = verb == "expect-drawn" ? HarnessCommand::Kind::ExpectDrawn
                                                  : HarnessCommand::Kind::ExpectNotDrawn;
            double x = 0.0;
            double y = 0.0;
            if (arguments != 3 || !ParseNumber(words[2], x) || !ParseNumber(words[3], y)) {
                return fail(verb + " takes a texture name and the source corner x y");
            }
            command.name = words[1];
            command.sourceX = static_cast<float>(x);
            command.sourceY = static_cast<float>(y);
        } else if (verb == "expect-hint") {
            command.kind = HarnessCommand::Kind::ExpectHint;
            const std::string& move = arguments == 1 ? words[1] : verb;
            const bool oneMove = move == "none" ||
                                 (move.size() == 1 && std::string("UDLR").find(move[0]) != std::string::npos) ||
                                 (move.size() == 2 && (move[0] == 'P' || move[0] == 'T') &&
                                  std::string("UDLR").find(move[1]) != std::string::npos);
            if (arguments != 1 || !oneMove) {
                return fail("expect-hint takes one move (U D L R, PU..PR, TU..TR) or none");
            }
            command.name = move;
        } else if (verb == "expect-replay") {
            command.kind = HarnessCommand::Kind::ExpectReplay;
            const bool known = arguments >= 1 && (words[1] == "none" || words[1] == "player" || words[1] == "solver" ||
                                                  words[1] == "waiting" || words[1] == "notice");
            command.count = -1;
            if (!known || arguments > 2 || (arguments == 2 && !ParseInteger(words[2], 0, kMaxCount, command.count))) {
                return fail("expect-replay takes none, player, solver, waiting or notice, and optionally a move count");
            }
            command.word = words[1];
        } else if (verb == "wait-turns") {
            command.kind = HarnessCommand::Kind::WaitTurns;
            if (arguments != 1 || !ParseInteger(words[1], 0, kMaxCount, command.count)) {
                return fail("wait-turns takes one turn count");
            }
        } else if (verb == "expect-dead-end") {
            command.kind = HarnessCommand::Kind::ExpectDeadEnd;
            if (arguments != 1 || (words[1] != "yes" && words[1] != "no")) {
                return fail("expect-dead-end takes yes or no");
            }
            command.count = words[1] == "yes" ? 1 : 0;
        } else if (verb == "wait-solver" || verb == "play-hint") {
            command.kind = verb == "wait-solver" ? HarnessCommand::Kind::WaitSolver : HarnessCommand::Kind::PlayHint;
            if (arguments != 0) {
                return fail(verb + " takes no arguments");
            }
        } else if (verb == "make-file" || verb == "wait-file") {
            command.kind = verb == "make-file" ? HarnessCommand::Kind::MakeFile : HarnessCommand::Kind::WaitFile;
            if (arguments != 1) {
                return fail(verb + " takes one file name");
            }
            command.name = words[1];
        } else if (verb == "editor" || verb == "expect-editor") {
            command.kind = verb == "editor" ? HarnessCommand::Kind::Editor : HarnessCommand::Kind::ExpectEditor;
            if (arguments < 1) {
                return fail(verb + " needs what to do or check");
            }
            command.word = words[1];
            command.stageName = arguments >= 2 ? RestOfLine(line, verb, 1) : std::string();
            for (std::size_t i = 2; i < words.size(); ++i) {
                command.arguments.push_back(words[i]);
            }
        } else if (verb == "wait-editor") {
            command.kind = HarnessCommand::Kind::WaitEditor;
            if (arguments != 0) {
                return fail(verb + " takes no arguments");
            }
        } else if (verb == "type") {
            command.kind = HarnessCommand::Kind::Type;
            if (arguments < 1) {
                return fail("type needs the text");
            }
            command.name = RestOfLine(line, verb, 0);
        } else if (verb == "expect-save") {
            command.kind = HarnessCommand::Kind::ExpectSave;
            if (arguments != 2 || !IsSaveKey(words[1]) || !ParseNumber(words[2], command.value)) {
                return fail("expect-save takes volume-bgm, volume-se, stage-view, camera-mode, "
                            "camera-distance or camera-height and a number");
            }
            command.word = words[1];
        } else {
            return fail("unknown command '" + verb + "'");
        }
        if (!commands.empty() && commands.back().kind == HarnessCommand::Kind::ExpectQuit) {
            return fail("nothing can run after expect-quit (line " + std::to_string(commands.back().line) + ")");
        }
        commands.push_back(std::move(command));
    }
    return true;
}
