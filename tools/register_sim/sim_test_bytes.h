// Byte strings written as hex in the simulator's tests.
#pragma once

#include <string>
#include <string_view>

// "17 0B 63" -> the three bytes; blanks between pairs are optional.
inline std::string FromHex(std::string_view hex) {
  std::string bytes;
  int high = -1;
  for (char c : hex) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high << 4 | digit);
      high = -1;
    }
  }
  return bytes;
}
