#include "register/frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/byte_strings.h"
#include "tests/scripted_line.h"

TEST(BuildFrame, ClearCommand) {
  EXPECT_EQ(BuildFrame(Bytes({0x63, 0, 0, 0, 0, 0})),
            Bytes({0x17, 0x0B, 0x63, 0, 0, 0, 0, 0, 0x19, 0x00, 0x85}));
}

TEST(BuildFrame, EmptyPayload) { EXPECT_EQ(BuildFrame(""), Bytes({0x17, 0x05, 0x19, 0x00, 0x1C})); }

TEST(BuildFrame, LongestPayloadOfHighBytes) {
  const std::string frame = BuildFrame(std::string(250, '\xFF'));
  ASSERT_EQ(frame.size(), 255u);
  EXPECT_EQ(static_cast<unsigned char>(frame[1]), 0xFF);
  EXPECT_EQ(frame.substr(252), Bytes({0x19, 0xFA, 0x1C}));
}

TEST(CheckAnswer, Table) {
  const struct {
    std::string answer;
    int32_t result;
  } cases[] = {
      {Bytes({0x18, 0, 0, 0, 0x19, 0x00, 0x18}), 0},
      {Bytes({0x18, 0, 0, 5, 0x19, 0x00, 0x1D}), 5},
      {Bytes({0x18, 0xFF, 0xFF, 0xFF, 0x19, 0x03, 0x15}), 255},
      {Bytes({0x18, 0x12, 0x34, 0, 0x19, 0x00, 0x5E}), 0},  // offsets 1, 2: only summed
      {Bytes({0x18, 0, 0, 5, 0x19, 0x1D, 0x00}), -2},       // checksum bytes swapped
      {Bytes({0x18, 0, 0, 0, 0x19, 0x00, 0x19}), -2},
      {Bytes({0x18, 0x80, 0x80, 0x80, 0x19, 0x01, 0x98}), 0x80},
      {Bytes({0x17, 0, 0, 0, 0x19, 0x00, 0x17}), -1},  // echo of a command's start byte
      {Bytes({0x18, 0, 0, 0, 0x18, 0x00, 0x18}), -1},
      {Bytes({0x18, 0, 0, 0, 0x19, 0x00}), -1},
      {Bytes({0x18, 0, 0, 0, 0x19, 0x00, 0x18, 0x00}), -1},
      {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckAnswer(c.answer), c.result);
}

namespace {

struct Recorder {
  std::vector<uint32_t> sleeps;
  int pumps = 0;
  int pendingMessages = 0;
  PollHooks hooks() {
    return {[this] {
              ++pumps;
              if (pendingMessages == 0) return false;
              --pendingMessages;
              return true;
            },
            [this](uint32_t ms) { sleeps.push_back(ms); }};
  }
};

const std::string kOk = Bytes({0x18, 0, 0, 0, 0x19, 0x00, 0x18});

}  // namespace

TEST(AwaitAnswer, FiveThenTwoCompletesOnSecondPoll) {
  ScriptedLine line;
  line.arrivals = {kOk.substr(0, 5), kOk.substr(5)};
  Recorder rec;
  EXPECT_EQ(AwaitAnswer(line, rec.hooks()), kOk);
  EXPECT_EQ(line.polls, 2);
  EXPECT_EQ(rec.sleeps, (std::vector<uint32_t>{1, 12, 1, 12}));
}

TEST(AwaitAnswer, EightAtOnceNeverCompletes) {
  ScriptedLine line;
  line.arrivals = {kOk + "\x18"};
  Recorder rec;
  size_t bytesCame = 0;
  EXPECT_FALSE(AwaitAnswer(line, rec.hooks(), &bytesCame).has_value());
  EXPECT_EQ(line.polls, 100);
  EXPECT_EQ(bytesCame, 8u);  // told, for the message
}

TEST(AwaitAnswer, SilenceIsNoAnswerAfterHundredPolls) {
  ScriptedLine line;
  Recorder rec;
  size_t bytesCame = 99;
  EXPECT_FALSE(AwaitAnswer(line, rec.hooks(), &bytesCame).has_value());
  EXPECT_EQ(bytesCame, 0u);
  EXPECT_EQ(line.polls, 100);
  EXPECT_EQ(rec.pumps, 100);
  EXPECT_EQ(rec.sleeps.size(), 200u);
}

TEST(AwaitAnswer, StrayByteBeforeAnswerSpoilsIt) {
  ScriptedLine line;
  line.arrivals = {std::string(1, '\0') + kOk.substr(0, 6), kOk.substr(6)};
  Recorder rec;
  const auto answer = AwaitAnswer(line, rec.hooks());
  ASSERT_TRUE(answer.has_value());  // seven bytes, but not the register's answer
  EXPECT_EQ(CheckAnswer(*answer), -1);
}

TEST(AwaitAnswer, LineErrorCostsOnePoll) {
  ScriptedLine line;
  line.arrivals = {kOk};
  line.lineErrorAt = {true};
  Recorder rec;
  EXPECT_EQ(AwaitAnswer(line, rec.hooks()), kOk);
  EXPECT_EQ(line.polls, 2);
}

TEST(AwaitAnswer, HandledMessageReplacesIdleSleep) {
  ScriptedLine line;
  line.arrivals = {"", kOk};
  Recorder rec;
  rec.pendingMessages = 1;
  EXPECT_EQ(AwaitAnswer(line, rec.hooks()), kOk);
  EXPECT_EQ(rec.sleeps, (std::vector<uint32_t>{12, 1, 12}));
}
