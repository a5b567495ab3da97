// stage/StageDataReader.cpp: the ".pzd" readers. See StageDataReader.h for the layout.
#include "StageDataReader.h"

#include <Lumora/IFile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>

namespace {

std::uint32_t ReadU32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void WriteU32(std::uint8_t* bytes, std::uint32_t value)
{
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

// Decodes `count` cells from a zero-padded buffer of count * 8 bytes.
std::vector<StageCell> DecodeCells(const std::uint8_t* bytes, std::size_t count)
{
    std::vector<StageCell> cells;
    cells.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* cell = bytes + i * StageCellSize;
        cells.push_back({static_cast<std::int32_t>(ReadU32(cell)),
                         static_cast<std::int32_t>(ReadU32(cell + 4))});
    }
    return cells;
}

// Reads up to `size` bytes through an engine file, going on while it delivers, so that a
// file which hands its bytes over in pieces still fills the buffer. Returns the count.
std::size_t ReadFully(Lumora::IFile* file, std::uint8_t* buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const std::size_t want =
            std::min<std::size_t>(size - done, std::numeric_limits<std::int32_t>::max());
        const std::int32_t got = file->Read(buffer + done, static_cast<std::int32_t>(want));
        if (got <= 0) {
            break;
        }
        done += std::min<std::size_t>(static_cast<std::size_t>(got), want);
    }
    return done;
}

// Owns a C stream and closes it on every way out.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

void StageDataReader::StoreHeader(const std::uint8_t (&header)[StageHeaderSize])
{
    reserved = ReadU32(header);
    width = header[4];
    height = header[5];
    spare[0] = header[6];
    spare[1] = header[7];
}

bool StageDataReader::ReadFromPath(const char* path)
{
    if (path == nullptr) {
        return false;
    }
    // Only a plain file (or a link to one) is read. A named pipe would block the open until
    // some writer came, and a device could deliver without end; a folder holds no stage.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error)) {
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), error);
    if (error || size > StageLargestFileSize) {
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) {
        return false;
    }
    std::uint8_t header[StageHeaderSize] = {};
    const std::size_t headerRead = std::fread(header, 1, sizeof header, file.get());
    (void)headerRead; // a short header stays zero-padded
    const std::size_t count = static_cast<std::size_t>(header[4]) * header[5];
    std::vector<std::uint8_t> body(count * StageCellSize, 0);
    if (!body.empty()) {
        const std::size_t bodyRead = std::fread(body.data(), 1, body.size(), file.get());
        (void)bodyRead; // missing cell bytes stay zero
    }
    StoreHeader(header);
    cells = DecodeCells(body.data(), count);
    return true;
}

void StageDataReader::ReadFromBytes(const std::uint8_t* bytes, std::size_t size)
{
    std::uint8_t header[StageHeaderSize] = {};
    if (size > 0) { // an empty file may come as a null pointer: nothing to copy then
        std::memcpy(header, bytes, std::min(size, sizeof header));
    }
    const std::size_t count = static_cast<std::size_t>(header[4]) * header[5];
    std::vector<std::uint8_t> body(count * StageCellSize, 0);
    if (size > StageHeaderSize) {
        std::memcpy(body.data(), bytes + StageHeaderSize,
                    std::min(size - StageHeaderSize, body.size()));
    }
    StoreHeader(header);
    cells = DecodeCells(body.data(), count);
}

std::vector<std::uint8_t> StageDataReader::ToBytes() const
{
    const std::size_t count = static_cast<std::size_t>(width) * height;
    std::vector<std::uint8_t> bytes(StageHeaderSize + count * StageCellSize, 0);
    WriteU32(bytes.data(), reserved);
    bytes[4] = width;
    bytes[5] = height;
    bytes[6] = spare[0];
    bytes[7] = spare[1];
    for (std::size_t i = 0; i < count && i < cells.size(); ++i) {
        std::uint8_t* cell = bytes.data() + StageHeaderSize + i * StageCellSize;
        WriteU32(cell, static_cast<std::uint32_t>(cells[i].floor));
        WriteU32(cell + 4, static_cast<std::uint32_t>(cells[i].object));
    }
    return bytes;
}

StageDataReaderLumora::StageDataReaderLumora(Lumora::IFile* file)
{
    ReadFromStream(file);
}

void StageDataReaderLumora::ReadFromStream(Lumora::IFile* file)
{
    if (file == nullptr) {
        return;
    }
    std::uint8_t header[StageHeaderSize] = {};
    ReadFully(file, header, sizeof header);
    const std::size_t count = static_cast<std::size_t>(header[4]) * header[5];
    std::vector<std::uint8_t> body(count * StageCellSize, 0);
    ReadFully(file, body.data(), body.size());
    StoreHeader(header);
    cells = DecodeCells(body.data(), count);
}
