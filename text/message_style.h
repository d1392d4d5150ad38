// How a message is presented: its caption, its icon, and where a part hands it over.
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
