// Messages to the user: one modal box (Windows) or one line on standard error (Linux).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Box styles: MB_OK with one standard icon. Values are those of the Win32 MB_* flags.
constexpr uint32_t kIconError = 0x10;
constexpr uint32_t kIconWarning = 0x30;
constexpr uint32_t kIconInformation = 0x40;

// Caption of every box the program shows (Windows-1251, plain ASCII here).
inline constexpr std::string_view kMessageCaption = "OKA PF";

// Where a part reports its failure. The text is Windows-1251.
using MessageSink = std::function<void(const std::string& text, uint32_t style)>;

// Shows a Windows-1251 text to the user and returns when the user has seen it:
// a message box with caption "OKA PF" on Windows, a line on standard error on Linux.
void ShowMessage(const std::string& text, uint32_t style);

// The UTF-8 line that ShowMessage writes on a terminal: "OKA PF: ошибка: <text>\n" and so on.
// A text that already ends with a line feed gets no second one.
std::string FormatTerminalMessage(const std::string& text, uint32_t style);
