#include "MemoryFile.h"

#include <algorithm>
#include <cstring>

namespace Lumora::Internal {

MemoryFile::MemoryFile(std::string name, std::vector<std::uint8_t> bytes)
    : name_(std::move(name)), bytes_(std::move(bytes))
{
}

std::int32_t MemoryFile::AddRef()
{
    return references_.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::int32_t MemoryFile::Release()
{
    const std::int32_t left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
        delete this;
    }
    return left;
}

std::int32_t MemoryFile::Read(void* buffer, std::int32_t size)
{
    if (size <= 0 || buffer == nullptr) {
        return 0;
    }
    const std::int32_t available = GetSize() - position_;
    const std::int32_t count = std::min(size, available);
    if (count <= 0) {
        return 0;
    }
    std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(count));
    position_ += count;
    return count;
}

std::int32_t MemoryFile::GetSize()
{
    return static_cast<std::int32_t>(bytes_.size());
}

std::int32_t MemoryFile::GetPosition()
{
    return position_;
}

std::int32_t MemoryFile::Seek(std::int32_t position)
{
    position_ = std::clamp(position, 0, GetSize());
    return position_;
}

const char* MemoryFile::GetName()
{
    return name_.c_str();
}

} // namespace Lumora::Internal
