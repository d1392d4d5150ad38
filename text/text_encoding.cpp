#include "text/text_encoding.h"

#include <cstring>

#include "text/cp1251.h"

namespace {

constexpr char kReplacement = '?';
constexpr char32_t kByteOrderMark = 0xFEFF;

// The number of ASCII bytes at the start of bytes, looked at eight at a time: long runs of
// them are the usual text between two letters.
size_t AsciiRun(std::string_view bytes) {
  constexpr uint64_t kHighBits = 0x8080808080808080u;
  size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, bytes.data() + i, 8);
    if ((word & kHighBits) != 0) break;
  }
  while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
  return i;
}

}  // namespace

ByteOrderMark FindByteOrderMark(std::string_view start) {
  if (start.starts_with("\xEF\xBB\xBF")) return {TextEncoding::Utf8, 3};
  if (start.starts_with("\xFF\xFE")) return {TextEncoding::Utf16LittleEndian, 2};
  if (start.starts_with("\xFE\xFF")) return {TextEncoding::Utf16BigEndian, 2};
  return {};
}

char CodePointToCp1251(char32_t codePoint) {
  if (codePoint < 0x80) return static_cast<char>(codePoint);
  // The Cyrillic capitals and small letters, 0x0410..0x044F, are bytes 0xC0..0xFF in order.
  if (codePoint >= 0x0410 && codePoint <= 0x044F) {
    return static_cast<char>(0xC0 + (codePoint - 0x0410));
  }
  // The rest of the upper half, 0x80..0xBF, a byte at a time (0x98 is unassigned).
  for (unsigned byte = 0x80; byte < 0xC0; ++byte) {
    if (byte != 0x98 && Cp1251ToCodePoint(static_cast<unsigned char>(byte)) == codePoint) {
      return static_cast<char>(byte);
    }
  }
  return kReplacement;
}

void Utf8Check::feed(std::string_view bytes) {
  using Step = Utf8Decoder::Step;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (!decoder_.pending()) {
      i += AsciiRun(bytes.substr(i));
      if (i == bytes.size()) return;
    }
    const auto byte = static_cast<unsigned char>(bytes[i]);
    Step step = decoder_.take(byte);
    if (step == Step::Cut) {
      ++invalid_;  // the broken sequence; the byte is taken again
      step = decoder_.take(byte);
    }
    if (step == Step::Malformed) ++invalid_;
    if (step == Step::Complete && byte >= 0x80) ++multibyte_;
  }
}

void Cp1251Converter::convert(std::string_view bytes, std::string& out) {
  switch (from_) {
    case TextEncoding::Windows1251:
      out.append(bytes);
      return;
    case TextEncoding::Utf8:
      convertUtf8(bytes, out);
      return;
    case TextEncoding::Utf16LittleEndian:
    case TextEncoding::Utf16BigEndian:
      convertUtf16(bytes, out);
      return;
  }
}

void Cp1251Converter::convertUtf8(std::string_view bytes, std::string& out) {
  using Step = Utf8Decoder::Step;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (!utf8_.pending()) {  // plain ASCII, the common case, goes as it is
      const size_t run = AsciiRun(bytes.substr(i));
      out.append(bytes.substr(i, run));
      i += run;
      if (i == bytes.size()) return;
    }
    const auto byte = static_cast<unsigned char>(bytes[i]);
    Step step = utf8_.take(byte);
    if (step == Step::Cut) {
      out += replacement_;  // for the broken sequence; the byte is taken again
      step = utf8_.take(byte);
    }
    if (step == Step::Complete && utf8_.codePoint() != kByteOrderMark) {
      out += byteOf(utf8_.codePoint());
    }
    if (step == Step::Malformed) out += replacement_;
  }
}

void Cp1251Converter::convertUtf16(std::string_view bytes, std::string& out) {
  const bool littleEndian = from_ == TextEncoding::Utf16LittleEndian;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (!haveByte_) {
      firstByte_ = byte;
      haveByte_ = true;
      continue;
    }
    haveByte_ = false;
    const unsigned low = littleEndian ? firstByte_ : byte;
    const unsigned high = littleEndian ? byte : firstByte_;
    takeUnit(static_cast<uint16_t>(high << 8 | low), out);
  }
}

void Cp1251Converter::takeUnit(uint16_t unit, std::string& out) {
  const bool isHigh = unit >= 0xD800 && unit <= 0xDBFF;
  const bool isLow = unit >= 0xDC00 && unit <= 0xDFFF;
  if (highSurrogate_) {
    highSurrogate_ = false;
    // A pair is a character beyond U+FFFF, which Windows-1251 lacks; an unpaired high
    // surrogate is a '?' of its own and the unit after it counts by itself.
    out += replacement_;
    if (isLow) return;
  }
  if (isHigh) {
    highSurrogate_ = true;
  } else if (isLow) {
    out += replacement_;
  } else if (unit != kByteOrderMark) {
    out += byteOf(unit);
  }
}

char Cp1251Converter::byteOf(char32_t codePoint) const {
  const char byte = CodePointToCp1251(codePoint);
  return byte == kReplacement && codePoint != kReplacement ? replacement_ : byte;
}

void Cp1251Converter::finish(std::string& out) {
  if (utf8_.pending()) out += replacement_;
  if (highSurrogate_) out += replacement_;
  if (haveByte_) out += replacement_;
  utf8_ = Utf8Decoder(/*surrogates=*/true);
  highSurrogate_ = false;
  haveByte_ = false;
}

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  Cp1251Converter converter(TextEncoding::Utf8);
  converter.convert(utf8, out);
  converter.finish(out);
  return out;
}
