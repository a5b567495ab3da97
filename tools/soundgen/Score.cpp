#include "Score.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace SoundGen {

std::size_t Score::FrameOfBeat(double beat) const
{
    return static_cast<std::size_t>(std::llround(beat * SecondsPerBeat() * sampleRate));
}

const ScoreInstrument* Score::FindInstrument(const std::string& name) const
{
    for (const ScoreInstrument& instrument : instruments) {
        if (instrument.name == name) {
            return &instrument;
        }
    }
    return nullptr;
}

bool ParseNoteName(const std::string& text, double& midiNote)
{
    static const int semitoneOfLetter[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (text.empty()) {
        return false;
    }
    const char letter = text[0];
    if (letter < 'A' || letter > 'G') {
        return false;
    }
    int semitone = semitoneOfLetter[letter - 'A'];
    std::size_t position = 1;
    while (position < text.size() && (text[position] == '#' || text[position] == 'b')) {
        semitone += text[position] == '#' ? 1 : -1;
        ++position;
    }
    if (position >= text.size()) {
        return false;
    }
    bool negative = false;
    if (text[position] == '-') {
        negative = true;
        ++position;
    }
    if (position + 1 != text.size() || text[position] < '0' || text[position] > '9') {
        return false;
    }
    const int octave = (text[position] - '0') * (negative ? -1 : 1);
    midiNote = (octave + 1) * 12 + semitone;
    return true;
}

namespace {

// The shortest note or rest: a 1/64 beat, far below anything played, so a misplaced zero
// or a missing digit is caught.
constexpr double MinimumBeats = 1.0 / 64.0;

// Far above any real score (ours hold under two thousand), low enough that a runaway chord
// repeat fails quickly instead of eating the build machine's memory.
constexpr std::size_t MaximumNotes = 100000;

struct Pattern {
    std::vector<std::string> tokens;
    int line = 0;
};

class Parser {
public:
    Parser(const std::string& text, const std::string& sourceName) : text_(text), source_(sourceName) {}
    Score Run();

private:
    [[noreturn]] void Fail(int line, const std::string& message) const
    {
        throw ScoreError(source_ + ":" + std::to_string(line) + ": " + message);
    }
    double Number(int line, const std::string& text, const std::string& what) const;
    Parameters KeyValues(int line, const std::vector<std::string>& words, std::size_t first) const;
    std::vector<std::string> ReadBody(std::istringstream& lines, int& lineNumber, int openedAt);
    // Appends the notes of `tokens` to `track`, starting at `position` (in beats); returns the
    // position after them. `depth` guards against a pattern that includes itself.
    double Expand(const std::vector<std::string>& tokens, int line, double position, double transpose,
                  ScoreTrack& track, int depth);

    const std::string& text_;
    std::string source_;
    Score score_;
    std::map<std::string, Pattern> patterns_;
    double lastBeats_ = 1.0;
    double velocity_ = 1.0;
    std::size_t noteCount_ = 0;
};

double Parser::Number(int line, const std::string& text, const std::string& what) const
{
    std::size_t used = 0;
    double value = 0.0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(value)) {
        Fail(line, "expected a number for " + what + ", found \"" + text + "\"");
    }
    return value;
}

Parameters Parser::KeyValues(int line, const std::vector<std::string>& words, std::size_t first) const
{
    Parameters parameters;
    for (std::size_t i = first; i < words.size(); ++i) {
        const std::size_t equals = words[i].find('=');
        if (equals == std::string::npos || equals == 0) {
            Fail(line, "expected key=value, found \"" + words[i] + "\"");
        }
        const std::string key = words[i].substr(0, equals);
        if (parameters.count(key) != 0) {
            Fail(line, "\"" + key + "\" given twice");
        }
        parameters[key] = Number(line, words[i].substr(equals + 1), key);
    }
    return parameters;
}

// The words of a line up to its comment. A comment's '#' starts a word; inside a word it
// is a sharp (F#4).
std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream stream(line);
    std::string word;
    while (stream >> word) {
        if (word[0] == '#') {
            break;
        }
        words.push_back(word);
    }
    return words;
}

std::vector<std::string> Parser::ReadBody(std::istringstream& lines, int& lineNumber, int openedAt)
{
    std::vector<std::string> tokens;
    std::string line;
    while (std::getline(lines, line)) {
        ++lineNumber;
        const std::vector<std::string> words = Split(line);
        if (words.size() == 1 && words[0] == "end") {
            return tokens;
        }
        tokens.insert(tokens.end(), words.begin(), words.end());
    }
    Fail(openedAt, "no \"end\" for this block");
}

double Parser::Expand(const std::vector<std::string>& tokens, int line, double position, double transpose,
                      ScoreTrack& track, int depth)
{
    if (depth > 16) {
        Fail(line, "patterns nested too deeply (does a pattern include itself?)");
    }
    const double start = position;
    for (const std::string& token : tokens) {
        if (token == "|") {
            const double intoBar = std::fmod(position - start, static_cast<double>(score_.beatsPerBar));
            if (std::fabs(intoBar) > 1e-6 && std::fabs(intoBar - score_.beatsPerBar) > 1e-6) {
                std::ostringstream message;
                message << "bar line at beat " << (position - start) << ", which is not the start of a bar";
                Fail(line, message.str());
            }
            continue;
        }
        if (token[0] == 'v' && token.size() > 1 && (std::isdigit(static_cast<unsigned char>(token[1])) || token[1] == '.')) {
            velocity_ = Number(line, token.substr(1), "velocity");
            if (velocity_ < 0.0 || velocity_ > 1.0) {
                Fail(line, "velocity must lie between 0 and 1");
            }
            continue;
        }
        if (token[0] == '@') {
            std::string name = token.substr(1);
            int times = 1;
            const std::size_t star = name.find('*');
            if (star != std::string::npos) {
                const double count = Number(line, name.substr(star + 1), "repeat count");
                if (count < 1 || count != std::floor(count)) {
                    Fail(line, "repeat count must be a whole number of at least 1");
                }
                times = static_cast<int>(count);
                name = name.substr(0, star);
            }
            const auto found = patterns_.find(name);
            if (found == patterns_.end()) {
                Fail(line, "no pattern named \"" + name + "\"");
            }
            for (int i = 0; i < times; ++i) {
                position = Expand(found->second.tokens, line, position, transpose, track, depth + 1);
            }
            continue;
        }
        // A note, chord or rest, with an optional ":length".
        const std::size_t colon = token.find(':');
        const std::string pitches = token.substr(0, colon);
        double beats = lastBeats_;
        if (colon != std::string::npos) {
            beats = Number(line, token.substr(colon + 1), "length");
            if (beats < MinimumBeats) {
                Fail(line, "a length must be at least 1/64 beat");
            }
            lastBeats_ = beats;
        }
        if (pitches != "r") {
            std::size_t begin = 0;
            while (begin <= pitches.size()) {
                const std::size_t plus = pitches.find('+', begin);
                const std::string name = pitches.substr(begin, plus == std::string::npos ? std::string::npos : plus - begin);
                double midiNote = 0.0;
                if (!ParseNoteName(name, midiNote)) {
                    Fail(line, "\"" + name + "\" is not a note (like C4, F#3, Bb5) or a rest (r)");
                }
                const double played = midiNote + transpose;
                if (played < 0.0 || played > 127.0) {
                    Fail(line, "\"" + name + "\" transposed lies outside the notes C-1 to G9");
                }
                if (++noteCount_ > MaximumNotes) {
                    Fail(line, "more than " + std::to_string(MaximumNotes) + " notes in the score");
                }
                track.notes.push_back({position, beats, played, velocity_});
                if (plus == std::string::npos) {
                    break;
                }
                begin = plus + 1;
            }
        }
        position += beats;
        // Stop at once rather than expanding a runaway repeat: no track may outrun the loop.
        if (position > score_.LoopBeats() + 1e-6) {
            std::ostringstream message;
            message << "track \"" << track.instrument << "\" runs past the loop's end (" << score_.LoopBeats() << " beats)";
            Fail(line, message.str());
        }
    }
    return position;
}

Score Parser::Run()
{
    std::istringstream lines(text_);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        const std::vector<std::string> words = Split(line);
        if (words.empty()) {
            continue;
        }
        const std::string& keyword = words[0];
        auto single = [&](const std::string& what) {
            if (words.size() != 2) {
                Fail(lineNumber, "\"" + what + "\" takes exactly one value");
            }
            return Number(lineNumber, words[1], what);
        };
        // The tracks read so far were measured against the loop as it stood: a new bar length
        // or bar count after them would leave their notes outside it.
        if ((keyword == "bar" || keyword == "bars") && !score_.tracks.empty()) {
            Fail(lineNumber, "\"" + keyword + "\" must come before the first track");
        }
        if (keyword == "tempo") {
            score_.tempo = single("tempo");
            if (score_.tempo < 20.0 || score_.tempo > 400.0) {
                Fail(lineNumber, "tempo must lie between 20 and 400 beats per minute");
            }
        } else if (keyword == "bar") {
            const double beats = single("bar");
            if (beats < 1 || beats > 16 || beats != std::floor(beats)) {
                Fail(lineNumber, "a bar must hold a whole number of beats from 1 to 16");
            }
            score_.beatsPerBar = static_cast<int>(beats);
        } else if (keyword == "bars") {
            const double bars = single("bars");
            if (bars < 1 || bars > 1000 || bars != std::floor(bars)) {
                Fail(lineNumber, "bars must be a whole number from 1 to 1000");
            }
            score_.bars = static_cast<int>(bars);
        } else if (keyword == "rate") {
            const double rate = single("rate");
            if (rate != 44100.0 && rate != 48000.0) {
                Fail(lineNumber, "rate must be 44100 or 48000");
            }
            score_.sampleRate = static_cast<int>(rate);
        } else if (keyword == "reverb") {
            score_.reverb = KeyValues(lineNumber, words, 1);
        } else if (keyword == "delay") {
            score_.delay = KeyValues(lineNumber, words, 1);
        } else if (keyword == "humanize") {
            score_.humanize = KeyValues(lineNumber, words, 1);
        } else if (keyword == "instrument") {
            if (words.size() < 2) {
                Fail(lineNumber, "an instrument needs a name");
            }
            if (score_.FindInstrument(words[1]) != nullptr) {
                Fail(lineNumber, "instrument \"" + words[1] + "\" declared twice");
            }
            ScoreInstrument instrument;
            instrument.name = words[1];
            instrument.line = lineNumber;
            for (std::size_t i = 2; i < words.size(); ++i) {
                if (words[i].rfind("kind=", 0) == 0) {
                    instrument.kind = words[i].substr(5);
                } else {
                    const Parameters one = KeyValues(lineNumber, {words[i]}, 0);
                    if (instrument.parameters.count(one.begin()->first) != 0) {
                        Fail(lineNumber, "\"" + one.begin()->first + "\" given twice");
                    }
                    instrument.parameters.insert(*one.begin());
                }
            }
            if (instrument.kind.empty()) {
                Fail(lineNumber, "instrument \"" + instrument.name + "\" needs kind=...");
            }
            score_.instruments.push_back(instrument);
        } else if (keyword == "pattern") {
            if (words.size() != 2) {
                Fail(lineNumber, "a pattern needs exactly one name");
            }
            if (patterns_.count(words[1]) != 0) {
                Fail(lineNumber, "pattern \"" + words[1] + "\" defined twice");
            }
            const int opened = lineNumber;
            Pattern pattern;
            pattern.line = opened;
            pattern.tokens = ReadBody(lines, lineNumber, opened);
            patterns_[words[1]] = pattern;
        } else if (keyword == "track") {
            if (words.size() < 2) {
                Fail(lineNumber, "a track needs an instrument name");
            }
            if (score_.FindInstrument(words[1]) == nullptr) {
                Fail(lineNumber, "no instrument named \"" + words[1] + "\" (declare it before its track)");
            }
            const Parameters options = KeyValues(lineNumber, words, 2);
            double transpose = 0.0;
            for (const auto& [key, value] : options) {
                if (key != "transpose") {
                    Fail(lineNumber, "unknown track setting \"" + key + "\"");
                }
                transpose = value;
            }
            if (score_.bars == 0) {
                Fail(lineNumber, "\"bars\" must come before the first track");
            }
            const int opened = lineNumber;
            ScoreTrack track;
            track.instrument = words[1];
            track.line = opened;
            const std::vector<std::string> tokens = ReadBody(lines, lineNumber, opened);
            lastBeats_ = 1.0;
            velocity_ = 1.0;
            const double length = Expand(tokens, opened, 0.0, transpose, track, 0);
            if (std::fabs(length - score_.LoopBeats()) > 1e-6) {
                std::ostringstream message;
                message << "track \"" << track.instrument << "\" spans " << length << " beats but the loop is "
                        << score_.LoopBeats() << " beats";
                Fail(opened, message.str());
            }
            score_.tracks.push_back(track);
        } else {
            Fail(lineNumber, "unknown statement \"" + keyword + "\"");
        }
    }
    if (score_.bars == 0) {
        Fail(lineNumber, "the score gives no \"bars\"");
    }
    if (score_.tracks.empty()) {
        Fail(lineNumber, "the score has no tracks");
    }
    return score_;
}

} // namespace

Score ParseScore(const std::string& text, const std::string& sourceName)
{
    Parser parser(text, sourceName);
    return parser.Run();
}

Score LoadScore(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        throw ScoreError(path + ": cannot be opened");
    }
    std::ostringstream contents;
    contents << stream.rdbuf();
    return ParseScore(contents.str(), path);
}

} // namespace SoundGen
