// Text in Unicode encodings turned into Windows-1251, the program's own character set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/utf8.h"

enum class TextEncoding { Windows1251, Utf8, Utf16LittleEndian, Utf16BigEndian };

// The byte-order mark a text starts with: EF BB BF (UTF-8), FF FE (UTF-16 little endian) or
// FE FF (UTF-16 big endian). length is 0 when the text has none; start must hold the text's
// first three bytes, or the whole text when it is shorter.
struct ByteOrderMark {
  TextEncoding encoding = TextEncoding::Windows1251;
  size_t length = 0;
};
ByteOrderMark FindByteOrderMark(std::string_view start);

// The Windows-1251 byte of a Unicode code point, or '?' when Windows-1251 lacks it.
char CodePointToCp1251(char32_t codePoint);

// Weighs a text given piece by piece as UTF-8: counts its valid sequences of two bytes or
// more, and what cannot belong to valid UTF-8 (a stray or missing continuation byte, an
// over-long form, a surrogate, anything above U+10FFFF), counted as Cp1251Converter would
// turn it into "?" marks.
class Utf8Check {
 public:
  void feed(std::string_view bytes);
  // Valid sequences of two bytes or more so far.
  uint64_t multibyte() const { return multibyte_; }
  // Invalid bytes and broken-off sequences so far, and a sequence left unfinished at the end.
  uint64_t invalid() const { return invalid_ + (decoder_.pending() ? 1 : 0); }
  // Everything fed is valid UTF-8 when the text ends here.
  bool valid() const { return invalid() == 0; }

 private:
  uint64_t multibyte_ = 0;
  uint64_t invalid_ = 0;
  Utf8Decoder decoder_;
};

// The byte that stands for a character Windows-1251 lacks where a reader must tell it from a
// "?" that was written: 0x98, the one byte Windows-1251 leaves unassigned.
constexpr char kLackingCharacter = '\x98';

// Converts a text given piece by piece into Windows-1251; a sequence or a unit cut between
// two pieces is kept until its rest comes. A character that Windows-1251 lacks, an invalid
// sequence and an unpaired surrogate each become one replacement byte, '?' unless another is
// asked for (kLackingCharacter). U+FEFF, the byte-order mark, is dropped wherever it stands
// (files joined one after another each bring their own). Windows-1251 passes unchanged.
class Cp1251Converter {
 public:
  explicit Cp1251Converter(TextEncoding from, char replacement = '?')
      : from_(from), replacement_(replacement) {}
  // Appends the Windows-1251 text of bytes to out.
  void convert(std::string_view bytes, std::string& out);
  // The text ends: an unfinished sequence or unit becomes '?', appended to out.
  void finish(std::string& out);

 private:
  void convertUtf8(std::string_view bytes, std::string& out);
  void convertUtf16(std::string_view bytes, std::string& out);
  void takeUnit(uint16_t unit, std::string& out);

  // The Windows-1251 byte of a code point, or the replacement byte.
  char byteOf(char32_t codePoint) const;

  TextEncoding from_;
  char replacement_;
  // UTF-8: the sequence under way. The code of a surrogate (as a lone one from UTF-16 is
  // written) is one character, which Windows-1251 lacks.
  Utf8Decoder utf8_{/*surrogates=*/true};
  // UTF-16: the first byte of a unit cut in two, and a high surrogate awaiting its pair.
  bool haveByte_ = false;
  unsigned char firstByte_ = 0;
  bool highSurrogate_ = false;
};

// Windows-1251 text of a whole UTF-8 text.
std::string Utf8ToCp1251(std::string_view utf8);
