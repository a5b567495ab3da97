#include "GameText.h"

#include <Lumora/Text.h>

const std::string& WindowTitleText()
{
    static const std::string title = Lumora::Utf8ToShiftJis("トマルギ！[体験版]");
    return title;
}
