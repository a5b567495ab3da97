// app/GameText.h: the game's own Shift-JIS strings, converted once from the UTF-8 sources.
#pragma once

#include <string>

// The window title, "トマルギ！[体験版]", as Shift-JIS bytes.
const std::string& WindowTitleText();
