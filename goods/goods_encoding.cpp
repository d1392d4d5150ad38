#include "goods/goods_encoding.h"

#include <string>
#include <vector>

namespace {

constexpr size_t kPieceSize = 64 * 1024;
constexpr char kEndOfFile = '\x1A';  // nothing after it is part of the file
constexpr size_t kLongestMark = 3;

// Checks bytes up to an end-of-file byte; false when it met one.
bool CheckUpToEndOfFile(Utf8Check& check, std::string_view bytes) {
  const size_t stop = bytes.find(kEndOfFile);
  check.feed(bytes.substr(0, stop));
  return stop == std::string_view::npos;
}

// UTF-8 text cut or spliced by some tool keeps a few stray bytes among many valid letters;
// Windows-1251 text (Russian letters, "№", no-break spaces) practically never forms a valid
// sequence of two bytes or more at all. So the text is UTF-8 when its valid sequences
// outnumber its invalid bytes at least ten to one.
constexpr uint64_t kValidPerInvalid = 10;

bool IsMostlyUtf8(const Utf8Check& check) {
  return check.multibyte() > 0 && check.multibyte() >= kValidPerInvalid * check.invalid();
}

}  // namespace

bool DetectGoodsEncoding(ByteSource& source, ByteOrderMark& found) {
  found = {};
  // The first pieces, until they hold as many bytes as the longest mark.
  std::string head;
  bool atEnd = false;
  if (!ReadHead(source, kLongestMark, kPieceSize, head, atEnd)) return false;
  found = FindByteOrderMark(head);
  // A UTF-16 mark decides at once. A UTF-8 mark is weighed with the text after it: a file
  // joined from a marked header and a Windows-1251 export bears the mark but not the text.
  if (found.length > 0 && found.encoding != TextEncoding::Utf8) return source.rewind();

  Utf8Check check;
  std::vector<char> piece(kPieceSize);
  bool more = CheckUpToEndOfFile(check, head) && !atEnd;
  while (more) {
    const int64_t count = source.read(piece.data(), piece.size());
    if (count < 0) return false;
    more = count > 0 &&
           CheckUpToEndOfFile(check, std::string_view(piece.data(), static_cast<size_t>(count)));
  }
  found.encoding = IsMostlyUtf8(check) ? TextEncoding::Utf8 : TextEncoding::Windows1251;
  return source.rewind();
}

GoodsText::GoodsText(ByteSource& source) : source_(source) {}

bool GoodsText::start() {
  if (!DetectGoodsEncoding(source_, mark_)) return false;
  chunk_.resize(kPieceSize);
  converter_ = Cp1251Converter(mark_.encoding, kLackingCharacter);
  markLeft_ = mark_.length;
  return true;
}

bool GoodsText::next(std::string_view& piece) {
  piece = {};
  while (piece.empty() && !ended_) {
    const int64_t count = source_.read(chunk_.data(), chunk_.size());
    if (count < 0) return false;
    converted_.clear();
    if (count == 0) {
      ended_ = true;
      converter_.finish(converted_);  // an unfinished character at the end is one '?'
      piece = converted_;
      continue;
    }
    std::string_view bytes(chunk_.data(), static_cast<size_t>(count));
    const size_t dropped = markLeft_ < bytes.size() ? markLeft_ : bytes.size();
    bytes.remove_prefix(dropped);
    markLeft_ -= dropped;
    if (mark_.encoding == TextEncoding::Windows1251) {
      piece = bytes;
    } else {
      converter_.convert(bytes, converted_);
      piece = converted_;
    }
  }
  return true;
}
