// The register's side of the frame protocol: the incoming byte stream cut into command
// frames and junk, and the 7-byte answers that go back. It reads and writes the bytes on
// its own terms, apart from the program's frame codec, so that a fault in either shows up
// as a disagreement on the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The marker bytes on the line.
constexpr unsigned char kCommandStart = 0x17;  // first byte of a command frame
constexpr unsigned char kAnswerStart = 0x18;   // first byte of an answer
constexpr unsigned char kBlockEnd = 0x19;      // after a frame's payload and an answer's code

// A frame around an empty payload: start, length, end and the two sum bytes.
constexpr size_t kFrameOverhead = 5;
constexpr size_t kAnswerSize = 7;

// The line's 16-bit sum: the unsigned byte values added up, modulo 65536.
uint16_t LineSum(std::string_view bytes);

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

// Whether bytes are one whole command frame: 0x17, length L (at least 5) equal to the
// number of bytes, 0x19 at L-3, and at L-2 the 16-bit sum of bytes 0..L-4, high byte first.
bool IsCommandFrame(std::string_view bytes);

// The payload of a command frame: the L-5 bytes between the length byte and 0x19.
std::string_view FramePayload(std::string_view frame);

// Appends bytes that arrived at line speed baud and returns every piece now complete, in
// stream order, frames as IsCommandFrame has them. Bytes before a 0x17 are junk; a
// start byte whose frame has a bad length, end byte or checksum is junk and the search goes
// on from the next byte. An incomplete frame at the end stays pending.
std::vector<StreamPiece> FeedBytes(FrameSplitter& splitter, std::string_view bytes, uint32_t baud);

// The line has gone quiet with bytes pending: whatever still does not form a complete
// frame becomes junk; complete frames found behind it are still returned.
std::vector<StreamPiece> FlushPending(FrameSplitter& splitter);

// Bytes as upper-case hex pairs separated by single blanks ("17 0B 63").
std::string HexBytes(std::string_view bytes);

// The register's 7-byte answer carrying code: 18 00 00 code 19 sumHi sumLo, the sum taken
// over the four bytes before 0x19. A start byte other than 0x18 makes a faulty answer whose
// sum still matches its bytes; first and second replace the two zeros, which nothing reads.
std::string BuildAnswer(uint8_t code, unsigned char start = kAnswerStart, uint8_t first = 0,
                        uint8_t second = 0);
