#include "PackWriter.h"

#include "PackPath.h"
#include "PackReader.h"

#include <Lumora/Text.h>

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

namespace Tomarugi::Pack {

using namespace Lumora::Internal;

namespace {

// The stored form of one entry: zlib when that is smaller, else the bytes as they are.
std::vector<std::uint8_t> CompressEntry(const std::vector<std::uint8_t>& bytes, int level,
                                        std::uint8_t& method)
{
    method = kPackMethodStored;
    if (bytes.empty()) {
        return {};
    }
    uLongf length = ::compressBound(static_cast<uLong>(bytes.size()));
    std::vector<std::uint8_t> compressed(length);
    if (::compress2(compressed.data(), &length, bytes.data(), static_cast<uLong>(bytes.size()),
                    std::clamp(level, 1, 9)) != Z_OK ||
        length >= bytes.size()) {
        return bytes;
    }
    compressed.resize(length);
    method = kPackMethodZlib;
    return compressed;
}

void AppendBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace

bool BuildPack(const std::vector<PackInputFile>& files, std::string_view password,
               const PackWriterOptions& options, std::vector<std::uint8_t>& pack,
               std::string& error)
{
    pack.clear();
    if (!InitialiseSodium()) {
        error = "libsodium cannot be initialised";
        return false;
    }
    if (options.kdfOps < kPackKdfMinOps || options.kdfOps > kPackKdfMaxOps ||
        options.kdfMemoryKiB < kPackKdfMinMemoryKiB || options.kdfMemoryKiB > kPackKdfMaxMemoryKiB) {
        error = "key derivation cost out of range (ops " + std::to_string(kPackKdfMinOps) + ".." +
                std::to_string(kPackKdfMaxOps) + ", memory " + std::to_string(kPackKdfMinMemoryKiB) +
                ".." + std::to_string(kPackKdfMaxMemoryKiB) + " KiB)";
        return false;
    }

    std::vector<PackEntry> entries;
    entries.reserve(files.size());
    std::set<std::string> names;
    for (const PackInputFile& file : files) {
        PackEntry entry;
        entry.name = NormalisePackPath(file.name);
        if (entry.name.empty() || entry.name.size() > kPackMaxNameLength) {
            error = "'" + Lumora::ShiftJisToUtf8(file.name) + "': name is empty or longer than " +
                    std::to_string(kPackMaxNameLength) + " bytes";
            return false;
        }
        if (!names.insert(entry.name).second) {
            error = "'" + Lumora::ShiftJisToUtf8(entry.name) + "': two files have this name";
            return false;
        }
        if (file.bytes.size() > kPackMaxEntrySize) {
            error = "'" + Lumora::ShiftJisToUtf8(entry.name) + "': larger than 2 GiB - 1";
            return false;
        }
        entries.push_back(std::move(entry));
    }

    PackHeader header;
    header.kdfOps = options.kdfOps;
    header.kdfMemoryKiB = options.kdfMemoryKiB;
    FillRandom(header.salt);
    FillRandom(header.tableNonce);
    PackKey key{};
    if (!DerivePackKey(password, header, key)) {
        error = "cannot derive the pack key (out of memory?)";
        return false;
    }

    // Entries first; their associated data uses only the header's leading bytes, which are
    // fixed already. The table's place is known once they are written.
    pack.resize(kPackHeaderSize);
    const auto leadingHeader = EncodePackHeader(header);
    for (std::size_t i = 0; i < files.size(); ++i) {
        PackEntry& entry = entries[i];
        const std::vector<std::uint8_t> stored =
            CompressEntry(files[i].bytes, options.compressionLevel, entry.method);
        FillRandom(entry.nonce);
        const auto sealed = SealPackBytes(stored, PackEntryAssociatedData(leadingHeader, entry.name),
                                          entry.nonce, key);
        entry.offset = pack.size();
        entry.sealedSize = static_cast<std::uint32_t>(sealed.size());
        entry.originalSize = static_cast<std::uint32_t>(files[i].bytes.size());
        AppendBytes(pack, sealed);
    }

    const std::vector<std::uint8_t> table = EncodePackTable(entries);
    if (table.size() + kPackTagSize > 0xFFFFFFFFu) {
        error = "the file table is too large";
        return false;
    }
    header.tableOffset = pack.size();
    header.tableSealedSize = static_cast<std::uint32_t>(table.size() + kPackTagSize);
    const auto headerBytes = EncodePackHeader(header);
    AppendBytes(pack, SealPackBytes(table, headerBytes, header.tableNonce, key));
    std::copy(headerBytes.begin(), headerBytes.end(), pack.begin());
    std::fill(key.begin(), key.end(), 0);
    return true;
}

bool WritePack(const std::filesystem::path& outPath, const std::vector<PackInputFile>& files,
               std::string_view password, const PackWriterOptions& options, std::string& error)
{
    std::vector<std::uint8_t> pack;
    if (!BuildPack(files, password, options, pack, error)) {
        return false;
    }
    std::filesystem::path temporary = outPath;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(pack.data()), static_cast<std::streamsize>(pack.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            error = "cannot write '" + temporary.string() + "'";
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::rename(temporary, outPath, failure);
    if (failure) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        error = "cannot rename '" + temporary.string() + "' to '" + outPath.string() +
                "': " + failure.message();
        return false;
    }
    return true;
}

bool PackHolds(const std::filesystem::path& packPath, const std::vector<PackInputFile>& files,
               std::string_view password, const PackWriterOptions& options)
{
    std::string error;
    std::unique_ptr<PackSource> source = OpenPackFileSource(packPath.string(), error);
    if (source == nullptr) {
        return false;
    }
    std::array<std::uint8_t, kPackHeaderSize> headerBytes{};
    PackHeader header;
    if (!source->ReadAt(0, headerBytes.data(), headerBytes.size()) ||
        !DecodePackHeader(headerBytes, source->Size(), header, error) ||
        header.kdfOps != options.kdfOps || header.kdfMemoryKiB != options.kdfMemoryKiB) {
        return false;
    }
    const auto reader = PackReader::Open(std::move(source), password, error);
    if (reader == nullptr || reader->Entries().size() != files.size()) {
        return false;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const PackEntry& entry = reader->Entries()[i];
        if (entry.name != NormalisePackPath(files[i].name) ||
            entry.originalSize != files[i].bytes.size() ||
            !reader->ReadEntry(entry, bytes, error) || bytes != files[i].bytes) {
            return false;
        }
    }
    return true;
}

bool CollectDirectory(const std::filesystem::path& directory, std::vector<PackInputFile>& files,
                      std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code failure;
    if (!fs::is_directory(directory, failure)) {
        error = "'" + directory.string() + "' is not a directory";
        return false;
    }
    std::vector<fs::path> found;
    fs::recursive_directory_iterator walk(directory, fs::directory_options::follow_directory_symlink,
                                          failure);
    for (; !failure && walk != fs::recursive_directory_iterator(); walk.increment(failure)) {
        const fs::directory_entry& item = *walk;
        if (item.is_regular_file(failure)) {
            found.push_back(item.path());
        }
    }
    if (failure) {
        error = "cannot read '" + directory.string() + "': " + failure.message();
        return false;
    }
    std::sort(found.begin(), found.end());

    for (const fs::path& path : found) {
        const std::string relative = path.lexically_relative(directory).generic_string();
        PackInputFile file;
        if (!Lumora::TryUtf8ToShiftJis(relative, file.name)) {
            error = "'" + relative + "': the name cannot be written in Shift-JIS";
            return false;
        }
        // A stray '\\' inside a name would read as a separator inside the pack.
        if (NormalisePackPath(file.name) != file.name) {
            error = "'" + relative + "': the name contains '\\' or another separator";
            return false;
        }
        std::ifstream in(path, std::ios::binary);
        if (in.is_open()) {
            file.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        if (!in.is_open() || in.bad()) {
            error = "cannot read '" + path.string() + "'";
            return false;
        }
        files.push_back(std::move(file));
    }
    return true;
}

} // namespace Tomarugi::Pack
