// Byte strings in tests: written out as numbers or as hex, and shown as hex.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// {0x17, 0x0B, 0x63} -> the three bytes.
std::string Bytes(std::initializer_list<int> values);

// "17 0B 63" -> the three bytes; blanks (or any other non-hex characters) between the pairs
// are skipped, so "170B63" and "17 0b 63" give the same.
std::string FromHex(std::string_view hex);

// The bytes as upper-case hex pairs separated by blanks: "17 0B 63".
std::string Hex(std::string_view bytes);
