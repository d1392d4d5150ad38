#include "text/wide_text.h"

namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(char32_t codePoint, std::string& out) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
    return;
  }
  const int tail = codePoint < 0x800 ? 1 : codePoint < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[tail] | (codePoint >> (6 * tail)));
  for (int i = tail - 1; i >= 0; --i) {
    out += static_cast<char>(0x80 | ((codePoint >> (6 * i)) & 0x3F));
  }
}

void AppendUtf16(char32_t codePoint, std::u16string& out) {
  if (codePoint < 0x10000) {
    out += static_cast<char16_t>(codePoint);
    return;
  }
  codePoint -= 0x10000;
  out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
  out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    AppendUtf8(unit, out);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    // The continuation bytes due and the range of the first one: narrower after E0, F0 and
    // F4, which keeps out over-long forms and code points above U+10FFFF. Surrogate codes
    // (after ED) are taken: they stand for unpaired surrogates.
    int tail = 0;
    unsigned char lowest = 0x80;
    unsigned char highest = 0xBF;
    char32_t codePoint = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
      tail = 1;
      codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      tail = 2;
      codePoint = lead & 0x0Fu;
      if (lead == 0xE0) lowest = 0xA0;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      tail = 3;
      codePoint = lead & 0x07u;
      if (lead == 0xF0) lowest = 0x90;
      if (lead == 0xF4) highest = 0x8F;
    } else if (lead >= 0x80) {
      out += u'\xFFFD';
      ++i;
      continue;
    }
    size_t next = i + 1;
    for (int k = 0; k < tail; ++k, ++next) {
      if (next >= text.size()) break;
      const auto byte = static_cast<unsigned char>(text[next]);
      if (byte < lowest || byte > highest) break;
      codePoint = (codePoint << 6) | (byte & 0x3Fu);
      lowest = 0x80;
      highest = 0xBF;
    }
    if (next - i != static_cast<size_t>(tail) + 1) {
      out += u'\xFFFD';  // a sequence cut short: its lead byte; the rest are read afresh
      ++i;
      continue;
    }
    AppendUtf16(codePoint, out);
    i = next;
  }
  return out;
}
