#include "text/wide_text.h"

#include "text/utf8.h"

namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

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
  using Step = Utf8Decoder::Step;
  std::u16string out;
  out.reserve(text.size());
  // Surrogate codes are taken: they stand for unpaired surrogates. A sequence cut short
  // gives a U+FFFD for each of its bytes, which are no sequence on their own.
  Utf8Decoder decoder(/*surrogates=*/true);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    Step step = decoder.take(byte);
    if (step == Step::Cut) {
      out.append(decoder.cutLength(), u'\xFFFD');
      step = decoder.take(byte);
    }
    if (step == Step::Malformed) out += u'\xFFFD';
    if (step == Step::Complete) AppendUtf16(decoder.codePoint(), out);
  }
  out.append(decoder.taken(), u'\xFFFD');
  return out;
}
