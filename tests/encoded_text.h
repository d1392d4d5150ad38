// A Windows-1251 text written in UTF-16, as a test's goods file in that encoding.
#pragma once

#include <string>

#include "text/cp1251.h"

// The text's UTF-16 bytes in the given byte order, without a byte-order mark.
inline std::string Utf16Bytes(const std::string& windows1251, bool littleEndian) {
  std::string out;
  for (const char16_t unit : Cp1251ToUtf16(windows1251)) {
    const auto low = static_cast<char>(unit & 0xFF);
    const auto high = static_cast<char>(unit >> 8);
    out += littleEndian ? low : high;
    out += littleEndian ? high : low;
  }
  return out;
}
