// Messages to the user: one modal box (Windows) or one line on standard error (Linux).
#pragma once

#include <cstdint>
#include <string>

#include "text/message_style.h"

// Shows a Windows-1251 text to the user and returns when the user has seen it:
// a message box with caption "OKA PF" on Windows, a line on standard error on Linux.
void ShowMessage(const std::string& text, uint32_t style);

// The UTF-8 line that ShowMessage writes on a terminal: "OKA PF: ошибка: <text>\n" and so on.
// A text that already ends with a line feed gets no second one. Control bytes other than TAB
// and line feed, and DEL (0x7F), are shown as "?".
std::string FormatTerminalMessage(const std::string& text, uint32_t style);
