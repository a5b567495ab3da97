// tomarugi-pack: builds, lists, checks and unpacks data packs (.lpk).
//
//   tomarugi-pack create OUT.lpk --password P [--kdf-ops N] [--kdf-memory KiB]
//                 [--level 1..9] [--update] DIR
//   tomarugi-pack list    PACK --password P
//   tomarugi-pack verify  PACK --password P
//   tomarugi-pack extract PACK --password P DIR
//
// --update leaves OUT untouched when it already holds exactly the files of DIR (same
// password and key derivation cost), so build steps that depend on it do not rerun.
// Without --password the environment variable TOMARUGI_PACK_PASSWORD is used. Exit status:
// 0 done, 1 failed (one line on stderr says why), 2 bad command line.
#include "PackReader.h"
#include "PackWriter.h"

#include <Lumora/Text.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace Lumora::Internal;
using namespace Tomarugi::Pack;

namespace {

constexpr const char* kUsage =
    "usage: tomarugi-pack create OUT.lpk --password P [--kdf-ops N] [--kdf-memory KiB]\n"
    "                     [--level 1..9] [--update] DIR\n"
    "       tomarugi-pack list    PACK --password P\n"
    "       tomarugi-pack verify  PACK --password P\n"
    "       tomarugi-pack extract PACK --password P DIR\n";

struct CommandLine {
    std::string command;
    std::vector<std::string> positional;
    std::optional<std::string> password;
    bool update = false;
    PackWriterOptions options;
};

int Fail(const std::string& message)
{
    std::fprintf(stderr, "tomarugi-pack: %s\n", message.c_str());
    return 1;
}

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "tomarugi-pack: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool ParseNumber(const std::string& text, std::uint32_t& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

// Fills `line`; on a bad command line returns the message to show.
std::optional<std::string> ParseCommandLine(int argc, char** argv, CommandLine& line)
{
    if (argc < 2) {
        return "no command given";
    }
    line.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        auto takeValue = [&](std::string& value) -> bool {
            if (i + 1 >= argc) {
                return false;
            }
            value = argv[++i];
            return true;
        };
        std::string value;
        if (argument == "--password") {
            if (!takeValue(value)) return "--password needs a value";
            line.password = value;
        } else if (argument == "--update") {
            line.update = true;
        } else if (argument == "--kdf-ops") {
            if (!takeValue(value) || !ParseNumber(value, line.options.kdfOps)) {
                return "--kdf-ops needs a number";
            }
        } else if (argument == "--kdf-memory") {
            if (!takeValue(value) || !ParseNumber(value, line.options.kdfMemoryKiB)) {
                return "--kdf-memory needs a number of KiB";
            }
        } else if (argument == "--level") {
            std::uint32_t level = 0;
            if (!takeValue(value) || !ParseNumber(value, level) || level < 1 || level > 9) {
                return "--level needs a number from 1 to 9";
            }
            line.options.compressionLevel = static_cast<int>(level);
        } else if (argument.size() > 2 && argument.starts_with("--")) {
            return "unknown option " + argument;
        } else {
            line.positional.push_back(argument);
        }
    }
    if (!line.password) {
        if (const char* fromEnvironment = std::getenv("TOMARUGI_PACK_PASSWORD")) {
            line.password = fromEnvironment;
        } else {
            return "no password given (--password or TOMARUGI_PACK_PASSWORD)";
        }
    }
    return std::nullopt;
}

int Create(const CommandLine& line)
{
    if (line.positional.size() != 2) {
        return UsageError("create needs OUT.lpk and DIR");
    }
    const fs::path out = line.positional[0];
    const fs::path directory = line.positional[1];
    std::vector<PackInputFile> files;
    std::string error;
    if (!CollectDirectory(directory, files, error)) {
        return Fail(error);
    }
    // With --update a pack that already holds exactly these files keeps its time stamp.
    if (line.update && PackHolds(out, files, *line.password, line.options)) {
        return 0;
    }
    if (!WritePack(out, files, *line.password, line.options, error)) {
        return Fail(error);
    }
    return 0;
}

std::unique_ptr<PackReader> OpenPack(const std::string& path, const std::string& password)
{
    std::string error;
    std::unique_ptr<PackSource> source = OpenPackFileSource(path, error);
    std::unique_ptr<PackReader> reader;
    if (source != nullptr) {
        reader = PackReader::Open(std::move(source), password, error);
    }
    if (reader == nullptr) {
        Fail("'" + path + "': " + error);
    }
    return reader;
}

int List(const CommandLine& line)
{
    if (line.positional.size() != 1) {
        return UsageError("list needs PACK");
    }
    auto reader = OpenPack(line.positional[0], *line.password);
    if (reader == nullptr) {
        return 1;
    }
    for (const PackEntry& entry : reader->Entries()) {
        std::printf("%10u %10u %s %s\n", entry.originalSize, entry.sealedSize - static_cast<unsigned>(kPackTagSize),
                    entry.method == kPackMethodZlib ? "zlib  " : "stored",
                    Lumora::ShiftJisToUtf8(entry.name).c_str());
    }
    return 0;
}

int Verify(const CommandLine& line)
{
    if (line.positional.size() != 1) {
        return UsageError("verify needs PACK");
    }
    const std::string& path = line.positional[0];
    auto reader = OpenPack(path, *line.password);
    if (reader == nullptr) {
        return 1;
    }
    int damaged = 0;
    std::vector<std::uint8_t> bytes;
    for (const PackEntry& entry : reader->Entries()) {
        std::string error;
        if (!reader->ReadEntry(entry, bytes, error)) {
            Fail("'" + path + "': '" + Lumora::ShiftJisToUtf8(entry.name) + "': " + error);
            ++damaged;
        }
    }
    if (damaged > 0) {
        return 1;
    }
    std::printf("%s: %zu files, all intact\n", path.c_str(), reader->Entries().size());
    return 0;
}

int Extract(const CommandLine& line)
{
    if (line.positional.size() != 2) {
        return UsageError("extract needs PACK and DIR");
    }
    const std::string& path = line.positional[0];
    const fs::path destination = line.positional[1];
    auto reader = OpenPack(path, *line.password);
    if (reader == nullptr) {
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    for (const PackEntry& entry : reader->Entries()) {
        std::string error;
        std::string utf8Name;
        if (!Lumora::TryShiftJisToUtf8(entry.name, utf8Name)) {
            return Fail("'" + path + "': an entry's name is not valid Shift-JIS");
        }
        if (!reader->ReadEntry(entry, bytes, error)) {
            return Fail("'" + path + "': '" + utf8Name + "': " + error);
        }
        // Table names are in normal form (no "..", no leading "/"), so this stays inside.
        const fs::path target = destination / fs::path(utf8Name);
        std::error_code failure;
        fs::create_directories(target.parent_path(), failure);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            return Fail("cannot write '" + target.string() + "'");
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CommandLine line;
    if (auto problem = ParseCommandLine(argc, argv, line)) {
        return UsageError(*problem);
    }
    if (line.command == "create") {
        return Create(line);
    }
    if (line.command == "list") {
        return List(line);
    }
    if (line.command == "verify") {
        return Verify(line);
    }
    if (line.command == "extract") {
        return Extract(line);
    }
    return UsageError("unknown command '" + line.command + "'");
}
