#include "tools/register_sim/frame_splitter.h"

namespace {

uint8_t At(std::string_view bytes, size_t i) { return static_cast<unsigned char>(bytes[i]); }

// The two bytes of a sum as they go on the line, high byte first.
std::string SumBytes(uint16_t sum) {
  return {static_cast<char>(sum >> 8), static_cast<char>(sum & 0xFF)};
}

void AddJunk(std::vector<StreamPiece>& pieces, std::string& junk) {
  if (junk.empty()) return;
  pieces.push_back({StreamPiece::Junk, junk, 0});
  junk.clear();
}

// Cuts pending from the front. When final, an incomplete frame is junk too.
std::vector<StreamPiece> Split(FrameSplitter& splitter, bool final) {
  std::vector<StreamPiece> pieces;
  std::string junk;
  std::string& pending = splitter.pending;
  size_t at = 0;
  while (at < pending.size()) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(pending[at + i]); };
    const size_t left = pending.size() - at;
    if (byte(0) != kCommandStart) {
      junk += pending[at++];
      continue;
    }
    if (left < 2) {
      if (!final) break;
      junk += pending[at++];
      continue;
    }
    const size_t length = byte(1);
    if (length < kFrameOverhead) {
      junk += pending[at++];
      continue;
    }
    if (left < length) {
      if (!final) break;
      junk += pending[at++];
      continue;
    }
    const std::string_view candidate = std::string_view(pending).substr(at, length);
    if (!IsCommandFrame(candidate)) {
      junk += pending[at++];
      continue;
    }
    AddJunk(pieces, junk);
    pieces.push_back({StreamPiece::Frame, std::string(candidate), splitter.pendingBaud});
    at += length;
  }
  AddJunk(pieces, junk);
  pending.erase(0, at);
  return pieces;
}

}  // namespace

uint16_t LineSum(std::string_view bytes) {
  unsigned sum = 0;
  for (char c : bytes) sum += static_cast<unsigned char>(c);
  return static_cast<uint16_t>(sum & 0xFFFF);
}

bool IsCommandFrame(std::string_view bytes) {
  const size_t length = bytes.size();
  if (length < kFrameOverhead || At(bytes, 0) != kCommandStart || At(bytes, 1) != length) {
    return false;
  }
  const size_t end = length - 3;
  return At(bytes, end) == kBlockEnd &&
         bytes.substr(end + 1) == SumBytes(LineSum(bytes.substr(0, end)));
}

std::string_view FramePayload(std::string_view frame) {
  return frame.substr(2, frame.size() - kFrameOverhead);
}

std::vector<StreamPiece> FeedBytes(FrameSplitter& splitter, std::string_view bytes, uint32_t baud) {
  // A frame's speed is the one in force when its first byte came; the speed is taken again
  // for bytes that arrive with nothing pending.
  if (splitter.pending.empty()) splitter.pendingBaud = baud;
  splitter.pending += bytes;
  std::vector<StreamPiece> pieces = Split(splitter, false);
  if (!splitter.pending.empty() && pieces.size() > 0) {
    // What is left begins a new frame whose first byte came with these bytes.
    splitter.pendingBaud = baud;
  }
  return pieces;
}

std::vector<StreamPiece> FlushPending(FrameSplitter& splitter) { return Split(splitter, true); }

std::string HexBytes(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 3);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
  }
  return hex;
}

std::string BuildAnswer(uint8_t code, unsigned char start, uint8_t first, uint8_t second) {
  // The two bytes after the start carry nothing; the register sends them as zeros.
  std::string answer{static_cast<char>(start), static_cast<char>(first), static_cast<char>(second),
                     static_cast<char>(code)};
  const uint16_t sum = LineSum(answer);
  answer += static_cast<char>(kBlockEnd);
  return answer + SumBytes(sum);
}
