// The text module converts Shift-JIS everywhere else in the engine; the window title only
// needs this one direction, which glibc's iconv provides as "CP932".
#include "TitleText.h"

#include <cerrno>
#include <cstring>

#include <iconv.h>

namespace Lumora::Internal {

std::string ShiftJisToUtf8(const char* shiftJis)
{
    if (shiftJis == nullptr) {
        return std::string();
    }
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::string(shiftJis); // no converter: ASCII titles still read right
    }
    std::string result;
    const std::size_t length = std::strlen(shiftJis);
    char* in = const_cast<char*>(shiftJis);
    std::size_t inLeft = length;
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof(buffer);
        const std::size_t status = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, sizeof(buffer) - outLeft);
        if (status == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid or cut-off sequence: mark it and go on after its first byte.
            result.append("\xEF\xBF\xBD");
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return result;
}

} // namespace Lumora::Internal
