#include "register/register_charset.h"

#include <array>
#include <string_view>

namespace {

// The 66 letters: capitals А..Я with Ё after Е, then the small letters in the same order
// (Windows-1251 codes), and the register's code for each, matched by position.
constexpr std::string_view kSource =
    "\xC0\xC1\xC2\xC3\xC4\xC5\xA8\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"
    "\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF"
    "\xE0\xE1\xE2\xE3\xE4\xE5\xB8\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
    "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF";
constexpr std::string_view kOutput =
    "abwgdeevzijklmnoprstufhc~{}_yx`@q"
    "abwgdeevzijklmnoprstufhc~{}_yx`@q";
static_assert(kSource.size() == 66 && kOutput.size() == 66);

constexpr std::array<char, 256> MakeTable() {
  std::array<char, 256> table{};
  for (unsigned b = 0; b < 0x80; ++b) {
    table[b] = static_cast<char>(b >= 'a' && b <= 'z' ? b - 0x20 : b);
  }
  for (unsigned b = 0x80; b < 0x100; ++b) table[b] = '?';
  for (size_t i = kSource.size(); i-- > 0;) {  // backwards, so the first position wins
    table[static_cast<unsigned char>(kSource[i])] = kOutput[i];
  }
  return table;
}

constexpr std::array<char, 256> kTable = MakeTable();

}  // namespace

std::string toRegisterCharset(std::string_view name) {
  std::string out(name.size(), '\0');
  for (size_t i = 0; i < name.size(); ++i) out[i] = kTable[static_cast<unsigned char>(name[i])];
  return out;
}
