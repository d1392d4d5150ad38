// Where the goods file's bytes come from: the file on disk, or memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to size bytes; returns the count read, 0 at the end, -1 on a read error (which
  // must not pass for the end: the goods after it would be lost).
  virtual int64_t read(char* buffer, size_t size) = 0;
  // Goes back to the first byte; false when that fails.
  virtual bool rewind() = 0;
  // For a file read out of order (a workbook's zip archive is read from its end): the
  // source's size in bytes, -1 when it cannot tell; and going to the byte at offset, false
  // when that fails or the source cannot.
  virtual int64_t size() { return -1; }
  virtual bool seek(uint64_t offset) { return offset == 0 && rewind(); }
};

// Reads pieces of up to pieceSize bytes onto head until it holds at least count bytes or the
// source ends (atEnd); the last piece may take head beyond count. False on a read error.
inline bool ReadHead(ByteSource& source, size_t count, size_t pieceSize, std::string& head,
                     bool& atEnd) {
  std::string piece(pieceSize, '\0');
  atEnd = false;
  while (head.size() < count && !atEnd) {
    const int64_t got = source.read(piece.data(), piece.size());
    if (got < 0) return false;
    atEnd = got == 0;
    head.append(piece.data(), static_cast<size_t>(got));
  }
  return true;
}

// Bytes held in memory, handed out at most pieceSize at a time.
class MemorySource final : public ByteSource {
 public:
  MemorySource(std::string bytes, size_t pieceSize)
      : bytes_(std::move(bytes)), pieceSize_(pieceSize > 0 ? pieceSize : 1) {}
  int64_t read(char* buffer, size_t size) override {
    size_t count = bytes_.size() - position_;
    if (count > size) count = size;
    if (count > pieceSize_) count = pieceSize_;
    bytes_.copy(buffer, count, position_);
    position_ += count;
    return static_cast<int64_t>(count);
  }
  bool rewind() override {
    position_ = 0;
    return true;
  }
  int64_t size() override { return static_cast<int64_t>(bytes_.size()); }
  bool seek(uint64_t offset) override {
    if (offset > bytes_.size()) return false;
    position_ = static_cast<size_t>(offset);
    return true;
  }

 private:
  std::string bytes_;
  size_t pieceSize_;
  size_t position_ = 0;
};
