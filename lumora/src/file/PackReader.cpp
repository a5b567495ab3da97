#include "PackReader.h"

#include <sodium.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Lumora::Internal {
namespace {

class FilePackSource final : public PackSource {
public:
    FilePackSource(int descriptor, std::uint64_t size) : descriptor_(descriptor), size_(size) {}
    ~FilePackSource() override { ::close(descriptor_); }

    std::uint64_t Size() const override { return size_; }

    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override
    {
        if (offset > size_ || length > size_ - offset) {
            return false;
        }
        auto* out = static_cast<std::uint8_t*>(buffer);
        while (length > 0) {
            const ssize_t got = ::pread(descriptor_, out, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false; // error, or the file shrank under us
            }
            out += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int descriptor_;
    std::uint64_t size_;
};

class MemoryPackSource final : public PackSource {
public:
    explicit MemoryPackSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint64_t Size() const override { return bytes_.size(); }

    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override
    {
        if (offset > bytes_.size() || length > bytes_.size() - offset) {
            return false;
        }
        if (length > 0) {
            std::memcpy(buffer, bytes_.data() + offset, length);
        }
        return true;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace

std::unique_ptr<PackSource> OpenPackFileSource(const std::string& utf8Path, std::string& error)
{
    const int descriptor = ::open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return nullptr;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        error = "cannot open: not a regular file";
        return nullptr;
    }
    return std::make_unique<FilePackSource>(descriptor, static_cast<std::uint64_t>(status.st_size));
}

std::unique_ptr<PackSource> CreateMemoryPackSource(std::vector<std::uint8_t> bytes)
{
    return std::make_unique<MemoryPackSource>(std::move(bytes));
}

std::unique_ptr<PackReader> PackReader::Open(std::unique_ptr<PackSource> source,
                                             std::string_view password, std::string& error)
{
    std::unique_ptr<PackReader> reader(new PackReader());
    const std::uint64_t packSize = source->Size();
    if (packSize < kPackHeaderSize || !source->ReadAt(0, reader->headerBytes_.data(), kPackHeaderSize)) {
        error = "too short to be a data pack (truncated?)";
        return nullptr;
    }
    PackHeader header;
    if (!DecodePackHeader(reader->headerBytes_, packSize, header, error)) {
        return nullptr;
    }
    // The table's size was bounded by the pack's size in DecodePackHeader.
    std::vector<std::uint8_t> sealedTable(header.tableSealedSize);
    if (!source->ReadAt(header.tableOffset, sealedTable.data(), sealedTable.size())) {
        error = "cannot read the file table";
        return nullptr;
    }
    if (!DerivePackKey(password, header, reader->key_)) {
        error = "cannot derive the pack key (out of memory?)";
        return nullptr;
    }
    std::vector<std::uint8_t> table;
    if (!OpenPackBytes(sealedTable, reader->headerBytes_, header.tableNonce, reader->key_, table)) {
        error = "wrong password, or the pack is damaged (the file table fails authentication)";
        return nullptr;
    }
    if (!ParsePackTable(table, header.tableOffset, reader->entries_, error)) {
        return nullptr;
    }
    reader->index_.reserve(reader->entries_.size());
    for (std::size_t i = 0; i < reader->entries_.size(); ++i) {
        reader->index_.emplace(reader->entries_[i].name, i);
    }
    reader->source_ = std::move(source);
    return reader;
}

PackReader::~PackReader()
{
    sodium_memzero(key_.data(), key_.size());
}

const PackEntry* PackReader::Find(std::string_view normalisedName) const
{
    const auto found = index_.find(normalisedName);
    return found == index_.end() ? nullptr : &entries_[found->second];
}

bool PackReader::ReadEntry(const PackEntry& entry, std::vector<std::uint8_t>& bytes,
                           std::string& error) const
{
    bytes.clear();
    // Offsets and sizes were checked against the pack when the table was parsed.
    std::vector<std::uint8_t> sealed(entry.sealedSize);
    if (!source_->ReadAt(entry.offset, sealed.data(), sealed.size())) {
        error = "cannot read entry (the pack is truncated)";
        return false;
    }
    std::vector<std::uint8_t> stored;
    const auto associatedData = PackEntryAssociatedData(headerBytes_, entry.name);
    if (!OpenPackBytes(sealed, associatedData, entry.nonce, key_, stored)) {
        error = "entry is damaged (fails authentication)";
        return false;
    }
    if (entry.method == kPackMethodStored) {
        bytes = std::move(stored);
        return true;
    }
    // zlib: the size must come out exactly as the table says, and the stream must end.
    bytes.resize(entry.originalSize);
    uLongf produced = static_cast<uLongf>(bytes.size());
    std::uint8_t dummy = 0; // zlib wants a valid pointer even for an empty output
    const int status = ::uncompress(bytes.empty() ? &dummy : bytes.data(), &produced,
                                    stored.data(), static_cast<uLong>(stored.size()));
    if (status != Z_OK || produced != entry.originalSize) {
        bytes.clear();
        error = "entry is damaged (does not inflate to its recorded size)";
        return false;
    }
    return true;
}

} // namespace Lumora::Internal
