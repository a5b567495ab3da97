// Fuzzes the WAVE decoder over arbitrary bytes: the header walk, then reads and seeks whose
// results are checked against the input itself. Run with a small -malloc_limit_mb: the
// decoder must never allocate on the word of a size field.
#include "WaveDecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The input as a source stream with the engine's contract (short reads only at the end,
// Seek and Skip clamped to the stream).
class InputStreamSource final : public Lumora::IStreamSource {
public:
    InputStreamSource(const std::uint8_t* bytes, std::size_t size) : data(bytes), size(static_cast<std::int32_t>(size)) {}

    std::int32_t GetSize() override { return size; }
    std::int32_t Read(void* buffer, std::int32_t count) override
    {
        const std::int32_t n = std::clamp(count, 0, size - position);
        std::memcpy(buffer, data + position, static_cast<std::size_t>(n));
        position += n;
        return n;
    }
    std::int32_t GetPosition() override { return position; }
    void Seek(std::int32_t to) override { position = std::clamp(to, 0, size); }
    bool IsEnd() override { return position == size; }
    void Skip(std::int32_t count) override
    {
        position = static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{position} + count, 0, size));
    }

private:
    const std::uint8_t* data;
    std::int32_t size;
    std::int32_t position = 0;
};

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    // Larger inputs add nothing, and would make this harness's own buffers approach the
    // malloc limit that watches the decoder.
    if (size > (1u << 16)) {
        return -1;
    }
    InputStreamSource source(bytes, size);
    Wave::WaveDecoder decoder;
    decoder.SetSource(&source);
    if (!decoder.ReadHeader()) {
        Check(decoder.GetDataSize() == 0);
        return 0;
    }

    // The data lies inside the input and the source stands at its first byte.
    const std::int32_t dataStart = source.GetPosition();
    const std::int32_t dataSize = decoder.GetDataSize();
    Check(dataSize >= 0 && std::int64_t{dataStart} + dataSize <= static_cast<std::int64_t>(size));

    // Every read delivers the data looped from where the previous one stopped, or nothing
    // at all when there is no data.
    std::vector<std::uint8_t> buffer;
    std::int64_t offset = 0;
    const auto readAndCheck = [&](std::int32_t count) {
        buffer.assign(static_cast<std::size_t>(std::max(count, 0)), 0);
        const std::int32_t got = decoder.Read(buffer.data(), count);
        if (dataSize == 0 || count <= 0) {
            Check(got == 0);
            return;
        }
        Check(got == count);
        for (std::int32_t i = 0; i < got; ++i) {
            Check(buffer[static_cast<std::size_t>(i)] == bytes[dataStart + (offset + i) % dataSize]);
        }
        offset = (offset + got) % dataSize;
    };
    const auto seek = [&](std::int32_t position) {
        Check(decoder.Seek(position));
        offset = std::clamp(position, 0, dataSize) % std::max(dataSize, 1);
    };

    readAndCheck(1);
    readAndCheck(dataSize + 3);
    seek(dataSize / 2);
    readAndCheck(std::min<std::int32_t>(3 * dataSize + 7, 1 << 16));
    seek(-1);
    readAndCheck(0);
    readAndCheck(5);
    seek(INT32_MAX);
    readAndCheck(11);

    // Starting over finds the same data.
    Check(decoder.ReadHeader());
    Check(decoder.GetDataSize() == dataSize && source.GetPosition() == dataStart);
    return 0;
}
