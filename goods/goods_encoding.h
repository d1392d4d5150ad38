// The goods file's encoding, decided before any goods line is read, and its text turned into
// Windows-1251 for the reader.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "goods/byte_source.h"
#include "text/text_encoding.h"

// A UTF-16 byte-order mark decides at once, little or big endian. Any other file (up to an
// end-of-file byte 0x1A) is weighed, a piece at a time, a UTF-8 mark included: it is UTF-8
// when its valid UTF-8 sequences of two bytes or more outnumber its invalid bytes at least
// ten to one (each invalid byte then reads as "?"), else Windows-1251, its UTF-8 mark
// (found.length 3) still no part of the text. Leaves the source at its first byte (the mark,
// when there is one). False on a read error.
bool DetectGoodsEncoding(ByteSource& source, ByteOrderMark& found);

// The goods file's text in Windows-1251, a piece at a time, whatever the file's encoding:
// the mark dropped, UTF-8 and UTF-16 converted, Windows-1251 passed as it is. So markers,
// TABs, widths, values and messages see the same bytes in every encoding. A character that
// Windows-1251 lacks, and an invalid sequence, reads as kLackingCharacter (so does the byte
// 0x98 of a Windows-1251 file, which stands for no character).
class GoodsText {
 public:
  explicit GoodsText(ByteSource& source);

  // Decides the encoding (DetectGoodsEncoding); false on a read error.
  bool start();
  // The next piece of text, never empty before the end; empty at the end (an unfinished
  // character at the end of the file is one '?'). False on a read error.
  bool next(std::string_view& piece);

 private:
  ByteSource& source_;
  ByteOrderMark mark_;
  Cp1251Converter converter_{TextEncoding::Windows1251};
  size_t markLeft_ = 0;  // the mark's bytes still to drop
  bool ended_ = false;
  std::vector<char> chunk_;  // bytes as read from the source
  std::string converted_;
};
