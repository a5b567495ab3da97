#include <Lumora/Directory.h>
#include <Lumora/Text.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cerrno>
#include <cstdio>
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

bool ReplaceFileAtomically(const std::string& path, const void* data, std::size_t size, std::string& problem)
{
    problem.clear();
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A hidden name that no stage pattern lists, unique per attempt (mkstemp fills XXXXXX).
    std::string temporary = (slash == std::string::npos ? std::string() : folder) + "." + name + ".XXXXXX";
    const int file = mkstemp(temporary.data());
    if (file < 0) {
        problem = "cannot write in " + folder + ": " + std::strerror(errno);
        return false;
    }
    auto fail = [&](const char* what) {
        problem = std::string(what) + " " + path + ": " + std::strerror(errno);
        close(file);
        unlink(temporary.c_str());
        return false;
    };
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t written = 0;
    while (written < size) {
        const ssize_t step = write(file, bytes + written, size - written);
        if (step < 0 && errno == EINTR) {
            continue;
        }
        if (step <= 0) {
            return fail("cannot write");
        }
        written += static_cast<std::size_t>(step);
    }
    // mkstemp makes the file private (0600); a stage is as readable as any other file.
    if (fchmod(file, 0644) != 0 || fsync(file) != 0) {
        return fail("cannot write");
    }
    if (close(file) != 0) {
        problem = "cannot write " + path + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        problem = "cannot replace " + path + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder's entry list.
    const int folderHandle = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (folderHandle >= 0) {
        fsync(folderHandle);
        close(folderHandle);
    }
    return true;
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
