// Plain files on disk and files over memory, both as in-memory IFile objects.
#include "FileSystem.h"
#include "MemoryFile.h"

#include <Lumora/Text.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>

namespace Lumora::Internal {
namespace {

constexpr std::uint64_t kMaxFileSize = 0x7FFFFFFF; // IFile sizes are 32-bit signed

bool ReadWholeFile(int descriptor, std::uint64_t size, std::vector<std::uint8_t>& bytes)
{
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(descriptor, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            bytes.resize(done); // shrank while we read: keep what was there
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

IFile* OpenDiskFile(const char* utf8Path)
{
    if (utf8Path == nullptr || utf8Path[0] == '\0') {
        return nullptr;
    }
    const int descriptor = ::open(utf8Path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat status {};
    std::vector<std::uint8_t> bytes;
    const bool ok = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
                    static_cast<std::uint64_t>(status.st_size) <= kMaxFileSize &&
                    ReadWholeFile(descriptor, static_cast<std::uint64_t>(status.st_size), bytes);
    ::close(descriptor);
    if (!ok) {
        return nullptr;
    }
    const std::string_view path(utf8Path);
    const std::size_t slash = path.rfind('/');
    const std::string_view leaf = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return new MemoryFile(Utf8ToShiftJis(leaf), std::move(bytes));
}

IFile* CreateMemoryFile(const char* name, std::vector<std::uint8_t> bytes)
{
    if (bytes.size() > kMaxFileSize) {
        return nullptr;
    }
    return new MemoryFile(name != nullptr ? name : "", std::move(bytes));
}

} // namespace Lumora::Internal
