// WaveDecoder: RIFF chunk walk and the looping sample reader. See WaveDecoder.h.
#include "WaveDecoder.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace Wave {

namespace {

// The chunk identifiers and form type are compared ignoring letter case in the current
// locale, so files written with lower-case tags ("riff", "wave", "data") play as well.
bool IdentifierIs(const char identifier[4], const char* expected)
{
    return strncasecmp(identifier, expected, 4) == 0;
}

std::uint32_t LittleEndian32(const unsigned char bytes[4])
{
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

constexpr std::uint16_t kFormatTagPcm = 1;

} // namespace

void WaveDecoder::Release()
{
    delete this;
}

void WaveDecoder::SetSource(Lumora::IStreamSource* newSource)
{
    source = newSource;
}

bool WaveDecoder::ReadHeader()
{
    // Forget the previous walk first, so that a failed or format-less walk never leaves a
    // stale format or data range behind.
    format = Lumora::SoundFormat{};
    dataStart = 0;
    dataSize = 0;
    if (source == nullptr) {
        return false;
    }

    source->Seek(0);
    char tag[4];
    if (ReadFully(tag, 4) != 4 || !IdentifierIs(tag, "RIFF")) {
        return false;
    }
    std::uint32_t riffSize = 0; // not trusted: writers that stream leave it wrong
    if (!ReadChunkSize(riffSize) || ReadFully(tag, 4) != 4 || !IdentifierIs(tag, "WAVE")) {
        return false;
    }

    bool afterOddChunk = false;
    char identifier[4];
    while (ReadChunkIdentifier(identifier, afterOddChunk)) {
        std::uint32_t declaredSize = 0;
        if (!ReadChunkSize(declaredSize)) {
            return false;
        }
        const std::int32_t chunkSize = BoundBySource(declaredSize);
        if (IdentifierIs(identifier, "data")) {
            dataStart = source->GetPosition();
            dataSize = chunkSize;
            return true;
        }
        if (IdentifierIs(identifier, "fmt ")) {
            if (!ReadFormatChunk(chunkSize)) {
                format = Lumora::SoundFormat{};
                return false;
            }
        } else {
            source->Skip(chunkSize);
        }
        afterOddChunk = (declaredSize & 1u) != 0;
    }
    // The stream ended before any "data" chunk.
    format = Lumora::SoundFormat{};
    return false;
}

const Lumora::SoundFormat* WaveDecoder::GetFormat()
{
    return &format;
}

std::int32_t WaveDecoder::Read(void* buffer, std::int32_t count)
{
    if (count <= 0 || buffer == nullptr || source == nullptr) {
        return 0;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    const std::int64_t dataEnd = static_cast<std::int64_t>(dataStart) + dataSize;
    std::int32_t written = 0;
    // Set when the source was put back at the first sample byte and has delivered nothing
    // since; a second rewind in that state means there is nothing to play.
    bool rewoundWithoutProgress = false;
    while (written < count) {
        const std::int64_t position = source->GetPosition();
        std::int32_t delivered = 0;
        if (position >= dataStart && position < dataEnd) {
            // Never read past the data chunk: whatever follows it (a pad byte, a trailing
            // LIST chunk) is not sound and must not be played before the loop closes.
            const auto wanted =
                static_cast<std::int32_t>(std::min<std::int64_t>(count - written, dataEnd - position));
            delivered = std::clamp(source->Read(out + written, wanted), 0, wanted);
        }
        if (delivered == 0) {
            if (rewoundWithoutProgress) {
                break;
            }
            source->Seek(dataStart);
            rewoundWithoutProgress = true;
            continue;
        }
        rewoundWithoutProgress = false;
        written += delivered;
    }
    return written;
}

bool WaveDecoder::Seek(std::int32_t position)
{
    if (source != nullptr) {
        source->Seek(dataStart + std::clamp(position, 0, dataSize));
    }
    return true;
}

std::int32_t WaveDecoder::GetDataSize()
{
    return dataSize;
}

std::int32_t WaveDecoder::ReadFully(void* buffer, std::int32_t count)
{
    auto* out = static_cast<unsigned char*>(buffer);
    std::int32_t total = 0;
    while (total < count) {
        const std::int32_t delivered = source->Read(out + total, count - total);
        if (delivered <= 0) {
            break;
        }
        total += std::min(delivered, count - total);
    }
    return total;
}

bool WaveDecoder::ReadChunkSize(std::uint32_t& size)
{
    unsigned char bytes[4];
    if (ReadFully(bytes, 4) != 4) {
        return false;
    }
    size = LittleEndian32(bytes);
    return true;
}

std::int32_t WaveDecoder::BoundBySource(std::uint32_t declaredSize)
{
    const std::int64_t left =
        std::max<std::int64_t>(0, static_cast<std::int64_t>(source->GetSize()) - source->GetPosition());
    return static_cast<std::int32_t>(std::min<std::int64_t>(declaredSize, left));
}

bool WaveDecoder::ReadChunkIdentifier(char identifier[4], bool afterOddChunk)
{
    if (!afterOddChunk) {
        return ReadFully(identifier, 4) == 4;
    }
    // RIFF pads a chunk of odd size with one zero byte. Some writers leave the pad out; an
    // identifier never starts with a zero byte, so a non-zero byte here already belongs to
    // the next identifier.
    char first = 0;
    if (ReadFully(&first, 1) != 1) {
        return false;
    }
    if (first == 0) {
        return ReadFully(identifier, 4) == 4;
    }
    identifier[0] = first;
    return ReadFully(identifier + 1, 3) == 3;
}

bool WaveDecoder::ReadFormatChunk(std::int32_t chunkSize)
{
    // Only the 18-byte record is kept, so only that much is read; the chunk's remaining bytes
    // (extension data) are passed over. Bytes the chunk does not hold stay 0.
    unsigned char record[sizeof(Lumora::SoundFormat)] = {};
    const std::int32_t wanted = std::min<std::int32_t>(chunkSize, sizeof record);
    const std::int32_t got = ReadFully(record, wanted);
    if (got < chunkSize) {
        source->Skip(chunkSize - got);
    }
    // A chunk too short to hold its whole tag declares no format at all.
    const auto formatTag = static_cast<std::uint16_t>(record[0] | (record[1] << 8));
    if (got < 2 || formatTag != kFormatTagPcm) {
        return false;
    }
    // The record is stored little-endian, as in the file; our targets are little-endian.
    std::memcpy(&format, record, sizeof record);
    return true;
}

} // namespace Wave
