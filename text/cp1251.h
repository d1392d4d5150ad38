// Windows-1251, the program's own character set, and its conversions to Unicode.
#pragma once

#include <string>
#include <string_view>

// Unicode code point of a Windows-1251 byte (0x98, unassigned, gives U+FFFD).
char32_t Cp1251ToCodePoint(unsigned char byte);

std::string Cp1251ToUtf8(std::string_view text);
std::u16string Cp1251ToUtf16(std::string_view text);

// The lower-case letter of a Latin capital A..Z; every other byte, Cyrillic letters among
// them, as it is. Switches and the goods file's markers are matched in either case this way.
constexpr char LowerLatin(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
