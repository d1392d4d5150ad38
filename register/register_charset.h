// The register's 7-bit character set for item names.
#pragma once

#include <string>
#include <string_view>

// Converts a Windows-1251 name byte for byte: Latin small letters become capitals, the 66
// Cyrillic letters map to the register's codes, any other byte from 0x80 up becomes "?",
// everything else passes unchanged. The output has the input's length.
std::string toRegisterCharset(std::string_view name);
