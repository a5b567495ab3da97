// Shift-JIS (code page 932) to UTF-8 for the window title. Internal.
#pragma once

#include <string>

namespace Lumora::Internal {

// Converts `shiftJis` to UTF-8; bytes that do not convert become U+FFFD.
std::string ShiftJisToUtf8(const char* shiftJis);

} // namespace Lumora::Internal
