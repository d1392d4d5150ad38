// UTF-8: the one decoder and the one encoder behind every conversion of the program's text.
#pragma once

#include <cstddef>
#include <string>

// Decodes UTF-8 a byte at a time, so that a text may come in pieces with a sequence cut
// between two of them. The range each continuation byte must lie in is narrower after E0, F0
// and F4 (and ED), which keeps out over-long forms and code points above U+10FFFF (and
// surrogates).
class Utf8Decoder {
 public:
  enum class Step {
    Partial,    // the byte belongs to a sequence not yet complete
    Complete,   // codePoint() is complete
    Malformed,  // the byte is no part of valid UTF-8
    Cut,        // the sequence before the byte broke off (cutLength() bytes); take the byte again
  };

  // With surrogates, the codes of U+D800..U+DFFF (ED A0..ED BF), which UTF-8 forbids, are
  // taken as code points: a name that came from UTF-16 may hold an unpaired surrogate.
  explicit Utf8Decoder(bool surrogates = false) : surrogates_(surrogates) {}

  Step take(unsigned char byte) {
    if (pending_ > 0) {
      if (byte < lowest_ || byte > highest_) {
        cutLength_ = taken_;
        pending_ = 0;
        taken_ = 0;
        return Step::Cut;
      }
      codePoint_ = (codePoint_ << 6) | (byte & 0x3Fu);
      lowest_ = 0x80;
      highest_ = 0xBF;
      ++taken_;
      if (--pending_ > 0) return Step::Partial;
      taken_ = 0;
      return Step::Complete;
    }
    if (byte < 0x80) {
      codePoint_ = byte;
      return Step::Complete;
    }
    lowest_ = 0x80;
    highest_ = 0xBF;
    if (byte >= 0xC2 && byte <= 0xDF) {
      codePoint_ = byte & 0x1Fu;
      pending_ = 1;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      codePoint_ = byte & 0x0Fu;
      pending_ = 2;
      if (byte == 0xE0) lowest_ = 0xA0;                   // below: over-long
      if (byte == 0xED && !surrogates_) highest_ = 0x9F;  // above: surrogates
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      codePoint_ = byte & 0x07u;
      pending_ = 3;
      if (byte == 0xF0) lowest_ = 0x90;   // below: over-long
      if (byte == 0xF4) highest_ = 0x8F;  // above: beyond U+10FFFF
    } else {
      return Step::Malformed;  // a continuation byte alone, C0, C1, F5..FF
    }
    taken_ = 1;
    return Step::Partial;
  }

  char32_t codePoint() const { return codePoint_; }
  // Whether a sequence is under way, and how many of its bytes have come.
  bool pending() const { return pending_ > 0; }
  size_t taken() const { return taken_; }
  // The bytes of the sequence that the last Cut broke off.
  size_t cutLength() const { return cutLength_; }

 private:
  char32_t codePoint_ = 0;
  int pending_ = 0;  // continuation bytes still due
  size_t taken_ = 0;
  size_t cutLength_ = 0;
  unsigned char lowest_ = 0x80;
  unsigned char highest_ = 0xBF;
  bool surrogates_;
};

// Appends the UTF-8 bytes of codePoint (up to U+10FFFF; a surrogate's code as three bytes).
void AppendUtf8(char32_t codePoint, std::string& out);
