// Common.lmp: the engine's companion library. Its one export, ShaderDecode, turns an
// encoded model shader blob (zlib format, as tools/shaderpack writes it) back into GLSL
// text for Tessera.lmp. Contract: Lumora/ModelShader.h (ShaderDecodeFunction).
#include <Lumora/ModelShader.h>

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <type_traits>

namespace {

// Leaves an empty string where one fits and reports nothing decoded.
std::int32_t Refuse(char* output, std::uint32_t* size, std::uint32_t capacity)
{
    if (output != nullptr && capacity > 0) {
        output[0] = '\0';
    }
    *size = 0;
    return 0;
}

} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t ShaderDecode(char* output, std::uint32_t* size,
                                                                             const void* blob, std::uint32_t blobSize)
{
    if (size == nullptr) {
        return 0;
    }
    const std::uint32_t capacity = *size;
    if (output == nullptr || (blob == nullptr && blobSize > 0) || capacity == 0) {
        return Refuse(output, size, capacity);
    }

    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return Refuse(output, size, capacity);
    }
    // One byte of the capacity stays free for the terminating zero. zlib counts in uInt,
    // which holds every 32-bit size on the platforms we build for.
    static_assert(sizeof(uInt) >= sizeof(std::uint32_t));
    stream.next_in = static_cast<Bytef*>(const_cast<void*>(blob));
    stream.avail_in = blobSize;
    stream.next_out = reinterpret_cast<Bytef*>(output);
    stream.avail_out = capacity - 1;
    const int result = inflate(&stream, Z_FINISH);
    // Z_STREAM_END is the only whole, checksummed stream; anything after it is not ours.
    const bool complete = result == Z_STREAM_END && stream.avail_in == 0;
    const std::uint32_t length = static_cast<std::uint32_t>(stream.total_out);
    inflateEnd(&stream);
    if (!complete) {
        return Refuse(output, size, capacity);
    }
    output[length] = '\0';
    *size = length;
    return 1;
}

static_assert(std::is_same_v<decltype(&ShaderDecode), ShaderDecodeFunction>,
              "the export matches the type Tessera calls it through");
