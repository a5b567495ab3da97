#include <Lumora/Directory.h>
#include <Lumora/Text.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace Lumora {

namespace {

// One character of a Shift-JIS string: one byte, or two after a lead byte.
std::size_t CharacterLength(const std::string& text, std::size_t at)
{
    if (IsShiftJisLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) {
        return 2;
    }
    return 1;
}

bool SameCharacter(const std::string& name, std::size_t nameAt, std::size_t nameLength,
                   const std::string& pattern, std::size_t patternAt, std::size_t patternLength)
{
    if (nameLength != patternLength) {
        return false;
    }
    if (nameLength == 1) {
        auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
        return fold(static_cast<unsigned char>(name[nameAt])) ==
               fold(static_cast<unsigned char>(pattern[patternAt]));
    }
    return name.compare(nameAt, nameLength, pattern, patternAt, patternLength) == 0;
}

} // namespace

bool MatchesWildcard(const std::string& name, const std::string& pattern)
{
    // Greedy matching with one backtrack point: the last '*' seen and where in the name it
    // started to match. Linear in practice, and never recursive, so long names are safe.
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        const std::size_t nameLength = CharacterLength(name, n);
        if (p < pattern.size()) {
            const std::size_t patternLength = CharacterLength(pattern, p);
            if (patternLength == 1 && pattern[p] == '*') {
                starPattern = ++p;
                starName = n;
                continue;
            }
            if ((patternLength == 1 && pattern[p] == '?') ||
                SameCharacter(name, n, nameLength, pattern, p, patternLength)) {
                n += nameLength;
                p += patternLength;
                continue;
            }
        }
        if (starPattern == std::string::npos) {
            return false;
        }
        // Let the last '*' swallow one more character and try again after it.
        starName += CharacterLength(name, starName);
        n = starName;
        p = starPattern;
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::vector<std::string> FindFiles(const char* directory, const char* pattern)
{
    std::string utf8Directory;
    if (directory == nullptr || pattern == nullptr || !TryShiftJisToUtf8(directory, utf8Directory)) {
        return {};
    }
    return FindFilesInFolder(utf8Directory, pattern);
}

std::vector<std::string> FindFilesInFolder(const std::string& folder, const char* pattern)
{
    std::vector<std::string> found;
    if (pattern == nullptr) {
        return found;
    }
    DIR* opened = opendir(folder.empty() ? "." : folder.c_str());
    if (opened == nullptr) {
        return found;
    }
    const std::string wildcard(pattern);
    while (const dirent* entry = readdir(opened)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        std::string name;
        if (!TryUtf8ToShiftJis(entry->d_name, name)) {
            continue;
        }
        if (MatchesWildcard(name, wildcard)) {
            found.push_back(std::move(name));
        }
    }
    closedir(opened);
    return found;
}

bool IsFolderWritable(const std::string& folder)
{
    const char* path = folder.empty() ? "." : folder.c_str();
    struct stat status {};
    // access() answers for the real user and also says no on a read-only mount (EROFS).
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode) && access(path, W_OK | X_OK) == 0;
}

std::string PlayerDataFolder(const char* application, std::string& problem)
{
    problem.clear();
    const std::string name = application != nullptr ? application : "";
    // The XDG rules ignore a relative XDG_DATA_HOME, as they ignore an empty one.
    auto inside = [](std::string folder, const std::string& child) {
        if (folder.back() != '/') {
            folder += '/';
        }
        return folder + child;
    };
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        return inside(dataHome, name);
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return inside(home, ".local/share/" + name);
    }
    problem = "neither XDG_DATA_HOME nor HOME names a folder";
    return {};
}

} // namespace Lumora
