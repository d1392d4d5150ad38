#include "tools/register_sim/frame_splitter.h"

#include <gtest/gtest.h>

#include "tests/byte_strings.h"

namespace {

const std::string kClear = FromHex("17 0B 63 00 00 00 00 00 19 00 85");

// A "j" frame whose name holds the start and end bytes 17 19 17 19.
const std::string kItem = FromHex(
    "17 2D"                                // start, length 45
    "6A 01 00"                             // 'j', last line, flag
    "17 19 17 19 20 20 20 20 20 20 20 20"  // name, 24 bytes
    "20 20 20 20 20 20 20 20 20 20 20 20"
    "39 30 00 00 05 70 11"  // price 12345, group 5, code 4464
    "01 B0 5D 05 2F 04"     // bar code 4600000000001
    "19 05 C4");            // end, sum

// Pieces as text, "F:<hex>" for a frame and "J:<hex>" for junk, for compact comparisons.
std::vector<std::string> Describe(const std::vector<StreamPiece>& pieces) {
  std::vector<std::string> text;
  for (const StreamPiece& p : pieces) {
    text.push_back((p.kind == StreamPiece::Frame ? "F:" : "J:") + HexBytes(p.bytes));
  }
  return text;
}

struct SplitCase {
  const char* name;
  std::vector<std::string> reads;      // the stream as it arrives, read by read
  std::vector<std::string> expected;   // all pieces from the reads
  std::vector<std::string> afterIdle;  // pieces when the line then goes quiet
};

TEST(FrameSplitter, CutsTheStreamIntoFramesAndJunk) {
  const std::string clearHex = "F:" + HexBytes(kClear);
  const std::string& item = kItem;
  ASSERT_EQ(item.size(), 45u);
  std::string badSum = kClear;
  badSum.back() = static_cast<char>(0x86);
  std::string badEnd = kClear;
  badEnd[8] = 0x18;
  const std::vector<SplitCase> cases = {
      {"one frame in one read", {kClear}, {clearHex}, {}},
      {"two frames in one read", {kClear + item}, {clearHex, "F:" + HexBytes(item)}, {}},
      {"item whose payload holds start and end bytes", {item}, {"F:" + HexBytes(item)}, {}},
      {"junk before a frame", {FromHex("41 00 FF") + kClear}, {"J:41 00 FF", clearHex}, {}},
      {"bad checksum, then a good frame",
       {badSum + kClear},
       {"J:" + HexBytes(badSum), clearHex},
       {}},
      {"bad end byte, then a good frame",
       {badEnd + kClear},
       {"J:" + HexBytes(badEnd), clearHex},
       {}},
      {"length below 5", {FromHex("17 03") + kClear}, {"J:17 03", clearHex}, {}},
      {"start byte inside junk resynchronises",
       {FromHex("17 0B") + kClear},
       {"J:17 0B", clearHex},
       {}},
      {"frame split over three reads",
       {kClear.substr(0, 1), kClear.substr(1, 5), kClear.substr(6)},
       {clearHex},
       {}},
      {"partial frame waits, then goes to junk when the line is quiet",
       {kClear.substr(0, 7)},
       {},
       {"J:" + HexBytes(kClear.substr(0, 7))}},
      {"lone start byte waits for its length", {FromHex("17")}, {}, {"J:17"}},
      {"frame hidden behind a long stated length comes out when quiet",
       {FromHex("17 FF") + kClear},
       {},
       {"J:17 FF", clearHex}},
      {"trailing junk after a frame", {kClear + FromHex("00")}, {clearHex, "J:00"}, {}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.name);
    FrameSplitter splitter;
    std::vector<std::string> got;
    for (const std::string& read : c.reads) {
      for (const std::string& piece : Describe(FeedBytes(splitter, read, 19200))) {
        got.push_back(piece);
      }
    }
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(Describe(FlushPending(splitter)), c.afterIdle);
    EXPECT_TRUE(splitter.pending.empty());
  }
}

TEST(FrameSplitter, ByteByByteArrivalGivesOneFrameAtItsLastByte) {
  FrameSplitter splitter;
  const std::string stream = kClear + kClear;
  std::vector<size_t> completedAt;
  for (size_t i = 0; i < stream.size(); ++i) {
    for (const StreamPiece& p : FeedBytes(splitter, stream.substr(i, 1), 19200)) {
      EXPECT_EQ(p.kind, StreamPiece::Frame);
      EXPECT_EQ(p.bytes, kClear);
      completedAt.push_back(i);
    }
  }
  EXPECT_EQ(completedAt, (std::vector<size_t>{10, 21}));
}

TEST(FrameSplitter, FrameKeepsTheSpeedOfItsFirstByte) {
  FrameSplitter splitter;
  EXPECT_TRUE(FeedBytes(splitter, kClear.substr(0, 4), 9600).empty());
  std::vector<StreamPiece> pieces =
      FeedBytes(splitter, kClear.substr(4) + kClear.substr(0, 2), 19200);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].baud, 9600u);
  pieces = FeedBytes(splitter, kClear.substr(2), 4800);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].baud, 19200u);
}

TEST(FrameSplitter, TellsWholeCommandFramesFromOthers) {
  const std::string longest = FromHex("17 FF") + std::string(250, '\xFF') + FromHex("19 FA 1C");
  const struct {
    const char* what;
    std::string bytes;
    bool frame;
    std::string payload;
  } cases[] = {
      {"clear", kClear, true, FromHex("63 00 00 00 00 00")},
      {"item", kItem, true, kItem.substr(2, 40)},
      {"empty payload", FromHex("17 05 19 00 1C"), true, ""},
      {"the longest: 250 payload bytes of FF", longest, true, std::string(250, '\xFF')},
      {"one-byte payload", FromHex("17 06 71 19 00 8E"), true, "q"},
      {"sum bytes swapped", FromHex("17 0B 63 00 00 00 00 00 19 85 00"), false, ""},
      {"sum one too high", FromHex("17 0B 63 00 00 00 00 00 19 00 86"), false, ""},
      {"sum over the end byte too", FromHex("17 0B 63 00 00 00 00 00 19 00 9E"), false, ""},
      {"answer start byte", FromHex("18 0B 63 00 00 00 00 00 19 00 86"), false, ""},
      {"end byte missing", FromHex("17 0B 63 00 00 00 00 00 18 00 85"), false, ""},
      {"length one more than the bytes", FromHex("17 0C 63 00 00 00 00 00 19 00 86"), false, ""},
      {"length below 5", FromHex("17 04 19 00 1B"), false, ""},
      {"four bytes", FromHex("17 04 19 00"), false, ""},
      {"nothing", "", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsCommandFrame(c.bytes), c.frame);
    if (c.frame) {
      EXPECT_EQ(FramePayload(c.bytes), c.payload);
    }
  }
}

TEST(FrameSplitter, LineSumIsTheByteSumModulo65536) {
  EXPECT_EQ(LineSum(""), 0u);
  EXPECT_EQ(LineSum(FromHex("17 0B 63 00 00 00 00 00")), 0x0085u);
  EXPECT_EQ(LineSum(FromHex("18 FF FF FF")), 0x0315u);
  EXPECT_EQ(LineSum(std::string(257, '\xFF')), 0xFFFFu);  // 257 * 255 = 65535
  EXPECT_EQ(LineSum(std::string(258, '\xFF')), 0x00FEu);  // 65790 wraps to 254
}

TEST(FrameSplitter, AnswersCarryTheirCodeAndTheirSum) {
  const struct {
    uint8_t code;
    unsigned char start;
    const char* hex;
  } cases[] = {
      {0, 0x18, "18 00 00 00 19 00 18"},   {5, 0x18, "18 00 00 05 19 00 1D"},
      {200, 0x18, "18 00 00 C8 19 00 E0"}, {255, 0x18, "18 00 00 FF 19 01 17"},
      {0, 0x17, "17 00 00 00 19 00 17"},   {9, 0x17, "17 00 00 09 19 00 20"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HexBytes(BuildAnswer(c.code, c.start)), c.hex);
    if (c.start == 0x18) {
      EXPECT_EQ(HexBytes(BuildAnswer(c.code)), c.hex);  // the usual start
    }
  }
}

TEST(FrameSplitter, AnswersMayCarryAnyBytesWhereNothingReads) {
  const struct {
    uint8_t code;
    uint8_t first;
    uint8_t second;
    const char* hex;
  } cases[] = {
      // XON and XOFF in the two unread bytes, and in the sum.
      {0, 0x11, 0x13, "18 11 13 00 19 00 3C"},
      {0xFA, 0x00, 0x00, "18 00 00 FA 19 01 12"},
      {0, 0xFF, 0xFA, "18 FF FA 00 19 02 11"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HexBytes(BuildAnswer(c.code, kAnswerStart, c.first, c.second)), c.hex);
  }
}

TEST(FrameSplitter, HexIsUpperCasePairsWithSingleBlanks) {
  EXPECT_EQ(HexBytes(""), "");
  EXPECT_EQ(HexBytes(std::string("\x00\xab\x0f", 3)), "00 AB 0F");
}

}  // namespace
