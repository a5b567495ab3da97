// Shift-JIS ⇄ UTF-8 through the C library's iconv ("CP932", Microsoft's variant of
// Shift-JIS, which is what the game's names are written in).
#include <Lumora/Text.h>

#include <cerrno>
#include <iconv.h>

namespace Lumora {
namespace {

// How many bytes make up the unconvertible character at the front of `input`, so that it
// can be replaced by a single '?'. Never 0 for a non-empty input.
using SkipLength = std::size_t (*)(std::string_view input);

std::size_t SkipShiftJisCharacter(std::string_view input)
{
    const auto lead = static_cast<unsigned char>(input[0]);
    if (IsShiftJisLeadByte(lead) && input.size() >= 2) {
        const auto trail = static_cast<unsigned char>(input[1]);
        // A well-formed pair that code page 932 leaves unassigned is one character.
        if ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC)) {
            return 2;
        }
    }
    return 1;
}

std::size_t SkipUtf8Character(std::string_view input)
{
    const auto lead = static_cast<unsigned char>(input[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 1; // ASCII cannot fail; anything else is a stray byte
    }
    if (input.size() < length) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(input[i]) & 0xC0) != 0x80) {
            return 1; // broken sequence: drop only the lead, resynchronise on the next byte
        }
    }
    return length;
}

// Converts `input` from one encoding to another. With `replace`, every unconvertible
// character becomes '?'; without it the first one makes the call fail.
bool Convert(const char* to, const char* from, std::string_view input, bool replace,
             SkipLength skip, std::string& out)
{
    out.clear();
    iconv_t descriptor = iconv_open(to, from);
    if (descriptor == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string result;
    result.reserve(input.size() * 3 / 2 + 8);
    char buffer[1024];
    bool ok = true;
    while (!input.empty()) {
        char* inPointer = const_cast<char*>(input.data()); // iconv's signature; not written
        std::size_t inLeft = input.size();
        char* outPointer = buffer;
        std::size_t outLeft = sizeof(buffer);
        const std::size_t status = iconv(descriptor, &inPointer, &inLeft, &outPointer, &outLeft);
        const int error = errno;
        result.append(buffer, static_cast<std::size_t>(outPointer - buffer));
        input.remove_prefix(input.size() - inLeft);
        if (status != static_cast<std::size_t>(-1)) {
            continue; // everything converted
        }
        if (error == E2BIG) {
            continue; // output buffer full: flush and go on
        }
        // EILSEQ (a character that cannot be converted) or EINVAL (cut off at the end).
        if (!replace) {
            ok = false;
            break;
        }
        result.push_back('?');
        input.remove_prefix(error == EINVAL ? input.size() : skip(input));
        iconv(descriptor, nullptr, nullptr, nullptr, nullptr); // reset the shift state
    }
    iconv_close(descriptor);
    if (ok) {
        out = std::move(result);
    }
    return ok;
}

} // namespace

std::string ShiftJisToUtf8(std::string_view shiftJis)
{
    std::string out;
    Convert("UTF-8", "CP932", shiftJis, true, SkipShiftJisCharacter, out);
    return out;
}

std::string Utf8ToShiftJis(std::string_view utf8)
{
    std::string out;
    Convert("CP932", "UTF-8", utf8, true, SkipUtf8Character, out);
    return out;
}

bool TryShiftJisToUtf8(std::string_view shiftJis, std::string& out)
{
    return Convert("UTF-8", "CP932", shiftJis, false, SkipShiftJisCharacter, out);
}

bool TryUtf8ToShiftJis(std::string_view utf8, std::string& out)
{
    return Convert("CP932", "UTF-8", utf8, false, SkipUtf8Character, out);
}

} // namespace Lumora
