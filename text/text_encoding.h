// Text in Unicode encodings turned into Windows-1251, the program's own character set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// Tells whether a text given piece by piece is valid UTF-8: no stray or missing continuation
// byte, no over-long form, no surrogate, nothing above U+10FFFF.
class Utf8Check {
 public:
  void feed(std::string_view bytes);
  // Some byte so far cannot belong to valid UTF-8; nothing fed later can mend it.
  bool broken() const { return broken_; }
  // Everything fed is valid UTF-8 when the text ends here.
  bool valid() const { return !broken_ && pending_ == 0; }
  // A byte of 0x80 or more has been fed.
  bool sawNonAscii() const { return sawNonAscii_; }

 private:
  bool broken_ = false;
  bool sawNonAscii_ = false;
  int pending_ = 0;  // continuation bytes still due
  unsigned char lowest_ = 0x80;
  unsigned char highest_ = 0xBF;
};

// Converts a text given piece by piece into Windows-1251; a sequence or a unit cut between
// two pieces is kept until its rest comes. A character that Windows-1251 lacks, an invalid
// sequence and an unpaired surrogate each become one '?'. Windows-1251 passes unchanged.
class Cp1251Converter {
 public:
  explicit Cp1251Converter(TextEncoding from) : from_(from) {}
  // Appends the Windows-1251 text of bytes to out.
  void convert(std::string_view bytes, std::string& out);
  // The text ends: an unfinished sequence or unit becomes '?', appended to out.
  void finish(std::string& out);

 private:
  void convertUtf8(std::string_view bytes, std::string& out);
  void convertUtf16(std::string_view bytes, std::string& out);
  void takeUnit(uint16_t unit, std::string& out);

  TextEncoding from_;
  // UTF-8: the code point so far and the continuation bytes still due, with their range.
  char32_t codePoint_ = 0;
  int pending_ = 0;
  unsigned char lowest_ = 0x80;
  unsigned char highest_ = 0xBF;
  // UTF-16: the first byte of a unit cut in two, and a high surrogate awaiting its pair.
  bool haveByte_ = false;
  unsigned char firstByte_ = 0;
  bool highSurrogate_ = false;
};

// Windows-1251 text of a whole UTF-8 text.
std::string Utf8ToCp1251(std::string_view utf8);
