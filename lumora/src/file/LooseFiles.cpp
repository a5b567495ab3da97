#include "LooseFiles.h"

#include "MemoryFile.h"

#include <fstream>
#include <iterator>
#include <limits>

namespace Lumora::Internal {

LooseFiles::LooseFiles(std::string root) : root_(std::move(root)) {}

std::int32_t LooseFiles::AddRef() { return ++references_; }

std::int32_t LooseFiles::Release()
{
    const std::int32_t left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

bool LooseFiles::SetPackFile(std::int32_t, const char*, const char*) { return false; }

void LooseFiles::SetCurrentDirectory(const char* directory) { directory_ = directory != nullptr ? directory : ""; }

IFile* LooseFiles::OpenFile(const char* name)
{
    if (name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    if (const auto found = held_.find(name); found != held_.end()) {
        return new MemoryFile(found->first, found->second);
    }
    if (root_.empty()) {
        return nullptr;
    }
    const std::string path = root_ + "/" + (directory_.empty() ? std::string() : directory_ + "/") + name;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return nullptr;
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return nullptr; // beyond what an IFile can address
    }
    return new MemoryFile(name, std::move(bytes));
}

void LooseFiles::Put(const std::string& name, std::vector<std::uint8_t> bytes) { held_[name] = std::move(bytes); }

} // namespace Lumora::Internal
