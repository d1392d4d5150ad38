// Cuts the byte stream from the program into command frames and junk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One piece of the incoming stream: a well-formed command frame, or bytes that form none.
struct StreamPiece {
  enum Kind { Frame, Junk };
  Kind kind = Junk;
  std::string bytes;
  uint32_t baud = 0;  // for a frame: the line speed when its first byte arrived
};

// Bytes received but not yet cut into pieces, with the line speed at the first of them.
struct FrameSplitter {
  std::string pending;
  uint32_t pendingBaud = 0;
};

// Appends bytes that arrived at line speed baud and returns every piece now complete, in
// stream order. A frame is 0x17, length L (at least 5), L bytes in all, 0x19 at L-3 and the
// 16-bit sum of bytes 0..L-4, high byte first, at L-2. Bytes before a 0x17 are junk; a
// start byte whose frame has a bad length, end byte or checksum is junk and the search goes
// on from the next byte. An incomplete frame at the end stays pending.
std::vector<StreamPiece> FeedBytes(FrameSplitter& splitter, std::string_view bytes, uint32_t baud);

// The line has gone quiet with bytes pending: whatever still does not form a complete
// frame becomes junk; complete frames found behind it are still returned.
std::vector<StreamPiece> FlushPending(FrameSplitter& splitter);

// Bytes as upper-case hex pairs separated by single blanks ("17 0B 63").
std::string HexBytes(std::string_view bytes);

// The register's 7-byte answer carrying code: 18 first second code 19 sumHi sumLo, the two
// bytes that nothing reads being 00 00 unless asked otherwise.
std::string BuildAnswer(uint8_t code, uint8_t first = 0, uint8_t second = 0);
