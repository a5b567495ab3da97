// Fuzzes the reading of a stored value's text as a number against the C library's strtoll,
// which reads the same shape (blanks, sign, decimal digits) with 64-bit saturation.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "SaveValueText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // SQLite hands the row callback NUL-terminated text; a NUL inside ends it as well.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::int32_t value = ParseSaveValue(text.c_str());

    errno = 0;
    long long expected = std::strtoll(text.c_str(), nullptr, 10);
    if (expected > std::numeric_limits<std::int32_t>::max()) {
        expected = std::numeric_limits<std::int32_t>::max();
    } else if (expected < std::numeric_limits<std::int32_t>::min()) {
        expected = std::numeric_limits<std::int32_t>::min();
    }
    if (value != expected) {
        std::abort();
    }
    return 0;
}
