#include "tools/register_sim/frame_splitter.h"

#include "register/frame.h"

namespace {

constexpr size_t kShortestFrame = 5;

// Whether the L bytes at the front of bytes form a well-formed frame: the frame codec
// rebuilds the frame from its payload and must arrive at the very same bytes.
bool IsWellFormedFrame(std::string_view candidate) {
  if (candidate.size() < kShortestFrame) return false;
  const std::string_view payload = candidate.substr(2, candidate.size() - kShortestFrame);
  return BuildFrame(payload) == candidate;
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
    if (byte(0) != kFrameStart) {
      junk += pending[at++];
      continue;
    }
    if (left < 2) {
      if (!final) break;
      junk += pending[at++];
      continue;
    }
    const size_t length = byte(1);
    if (length < kShortestFrame) {
      junk += pending[at++];
      continue;
    }
    if (left < length) {
      if (!final) break;
      junk += pending[at++];
      continue;
    }
    const std::string_view candidate = std::string_view(pending).substr(at, length);
    if (!IsWellFormedFrame(candidate)) {
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

std::string BuildAnswer(uint8_t code, uint8_t first, uint8_t second) {
  std::string answer{static_cast<char>(kAnswerStart), static_cast<char>(first),
                     static_cast<char>(second), static_cast<char>(code),
                     static_cast<char>(kFrameEnd)};
  const unsigned sum = kAnswerStart + first + second + code;
  answer += static_cast<char>(sum >> 8);
  answer += static_cast<char>(sum & 0xFF);
  return answer;
}
