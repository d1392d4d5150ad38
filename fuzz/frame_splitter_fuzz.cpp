// The simulator's frame splitter on any byte stream in any pieces: nothing lost or doubled,
// every frame well formed, and the frames found do not depend on the pieces.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/register_sim/frame_splitter.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "frame splitter: %s\n", what);
  std::abort();
}

// A command frame as the register takes it: 0x17, length L >= 5, 0x19 at L-3, and the sum of
// bytes 0..L-4 high byte first.
bool WellFormed(const std::string& frame) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(frame[i]); };
  if (frame.size() < 5 || byte(0) != 0x17 || byte(1) != frame.size()) return false;
  const size_t n = frame.size();
  if (byte(n - 3) != 0x19) return false;
  unsigned sum = 0;
  for (size_t i = 0; i + 3 < n; ++i) sum += byte(i);
  return (sum & 0xFFFF) == (byte(n - 2) << 8 | byte(n - 1));
}

std::vector<StreamPiece> Split(const std::string& stream, const std::vector<size_t>& cuts) {
  FrameSplitter splitter;
  std::vector<StreamPiece> pieces;
  size_t start = 0;
  for (const size_t cut : cuts) {
    for (StreamPiece& p :
         FeedBytes(splitter, std::string_view(stream).substr(start, cut - start), 19200)) {
      pieces.push_back(std::move(p));
    }
    start = cut;
  }
  for (StreamPiece& p : FeedBytes(splitter, std::string_view(stream).substr(start), 19200)) {
    pieces.push_back(std::move(p));
  }
  for (StreamPiece& p : FlushPending(splitter)) pieces.push_back(std::move(p));
  return pieces;
}

std::vector<std::string> Frames(const std::vector<StreamPiece>& pieces) {
  std::vector<std::string> frames;
  for (const StreamPiece& p : pieces) {
    if (p.kind == StreamPiece::Frame) frames.push_back(p.bytes);
  }
  return frames;
}

}  // namespace

// The first byte chooses the piece length (1 to 16) for cutting the rest.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t pieceLength = (data[0] & 0x0F) + 1u;
  const std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<size_t> cuts;
  for (size_t at = pieceLength; at < stream.size(); at += pieceLength) cuts.push_back(at);

  const std::vector<StreamPiece> cut = Split(stream, cuts);
  std::string joined;
  for (const StreamPiece& p : cut) {
    joined += p.bytes;
    if (p.bytes.empty()) Fail("an empty piece");
    if (p.kind == StreamPiece::Frame && !WellFormed(p.bytes)) Fail("a frame that is none");
  }
  if (joined != stream) Fail("bytes lost, doubled or reordered");
  if (Frames(cut) != Frames(Split(stream, {}))) Fail("frames depend on the pieces");
  return 0;
}
