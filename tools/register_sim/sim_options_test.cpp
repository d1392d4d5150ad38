#include "tools/register_sim/sim_options.h"

#include <gtest/gtest.h>

namespace {

TEST(SimOptions, ReadsEveryOption) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(ParseSimOptions({"--pty",
                               "--link",
                               "/tmp/com1",
                               "--baud",
                               "9600",
                               "--db",
                               "base.tsv",
                               "--log=sim.log",
                               "-v",
                               "--error",
                               "2:5",
                               "--error",
                               "4:255",
                               "--silent",
                               "3",
                               "--bad-checksum",
                               "5",
                               "--bad-start",
                               "6",
                               "--short",
                               "7",
                               "--extra-byte",
                               "8",
                               "--stray",
                               "9",
                               "--stray",
                               "10:500",
                               "--stray",
                               "16:next",
                               "--split",
                               "11:40",
                               "--late",
                               "13:1500",
                               "--hold",
                               "14:/tmp/answer 14",
                               "--delay",
                               "15",
                               "--pace",
                               "--exit-after",
                               "12",
                               "--handshake",
                               "xonxoff,rtscts",
                               "--answer-bytes=11:ff"},
                              o, error))
      << error;
  EXPECT_TRUE(o.pty);
  EXPECT_EQ(o.device, "");
  EXPECT_EQ(o.link, "/tmp/com1");
  EXPECT_EQ(o.baud, 9600u);
  EXPECT_EQ(o.dbPath, "base.tsv");
  EXPECT_EQ(o.logPath, "sim.log");
  EXPECT_TRUE(o.verbose);
  EXPECT_EQ(o.errorCode, (std::map<uint32_t, uint8_t>{{2, 5}, {4, 255}}));
  EXPECT_EQ(o.silent, std::set<uint32_t>{3});
  EXPECT_EQ(o.badChecksum, std::set<uint32_t>{5});
  EXPECT_EQ(o.badStart, std::set<uint32_t>{6});
  EXPECT_EQ(o.shortAnswer, std::set<uint32_t>{7});
  EXPECT_EQ(o.extraByte, std::set<uint32_t>{8});
  EXPECT_EQ(o.strayMs, (std::map<uint32_t, uint32_t>{
                           {9, kDefaultStrayMs}, {10, 500}, {16, kStrayOnNextBytes}}));
  EXPECT_EQ(o.splitMs, (std::map<uint32_t, uint32_t>{{11, 40}}));
  EXPECT_EQ(o.lateMs, (std::map<uint32_t, uint32_t>{{13, 1500}}));
  EXPECT_EQ(o.holdFile, (std::map<uint32_t, std::string>{{14, "/tmp/answer 14"}}));
  EXPECT_EQ(o.delayMs, 15u);
  EXPECT_TRUE(o.pace);
  EXPECT_EQ(o.exitAfter, 12u);
  EXPECT_TRUE(o.xonXoffAtStart);
  EXPECT_TRUE(o.rtsCtsAtStart);
  EXPECT_EQ(o.answerFirst, 0x11);
  EXPECT_EQ(o.answerSecond, 0xFF);
}

TEST(SimOptions, OneHandshakeAtATime) {
  const struct {
    const char* value;
    bool xonXoff;
    bool rtsCts;
  } cases[] = {{"xonxoff", true, false}, {"rtscts", false, true}, {"rtscts,xonxoff", true, true}};
  for (const auto& c : cases) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(ParseSimOptions({"--pty", "--handshake", c.value}, o, error)) << error;
    EXPECT_EQ(o.xonXoffAtStart, c.xonXoff) << c.value;
    EXPECT_EQ(o.rtsCtsAtStart, c.rtsCts) << c.value;
  }
}

TEST(SimOptions, DeviceAndDefaults) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(ParseSimOptions({"/dev/ttyUSB0"}, o, error)) << error;
  EXPECT_FALSE(o.pty);
  EXPECT_EQ(o.device, "/dev/ttyUSB0");
  EXPECT_EQ(o.baud, 19200u);
  EXPECT_EQ(o.exitAfter, 0u);
  EXPECT_FALSE(o.pace);
  EXPECT_TRUE(o.errorCode.empty());
  EXPECT_FALSE(o.xonXoffAtStart);
  EXPECT_FALSE(o.rtsCtsAtStart);
  EXPECT_EQ(o.answerFirst, 0);
  EXPECT_EQ(o.answerSecond, 0);
}

TEST(SimOptions, RefusesBadUsage) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--pty", "/dev/ttyS0"},
      {"/dev/ttyS0", "/dev/ttyS1"},
      {"--link", "x", "/dev/ttyS0"},
      {"--pty", "--baud", "12345"},
      {"--pty", "--baud"},
      {"--pty", "--error", "1:0"},
      {"--pty", "--error", "1:256"},
      {"--pty", "--error", "0:5"},
      {"--pty", "--error", "5"},
      {"--pty", "--silent", "0"},
      {"--pty", "--silent", "x"},
      {"--pty", "--split", "1"},
      {"--pty", "--late", "1:60001"},
      {"--pty", "--delay", "-1"},
      {"--pty", "--exit-after", "2x"},
      {"--pty", "--db", ""},
      {"--pty", "--frobnicate"},
      {"--pty=1"},
      {"--pty", "--handshake", "dtr"},
      {"--pty", "--handshake", ""},
      {"/dev/ttyS0", "--handshake", "xonxoff"},
      {"--pty", "--answer-bytes", "11"},
      {"--pty", "--answer-bytes", "1:13"},
      {"--pty", "--answer-bytes", "11:1G"},
      {"--pty", "--answer-bytes", "11:13:00"},
  };
  for (const auto& args : bad) {
    SimOptions o;
    std::string error;
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_FALSE(ParseSimOptions(args, o, error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
}

TEST(AnswersDone, OnlyAWholeDoneAnswer) {
  const struct {
    std::vector<std::string> args;
    bool done;  // for frame 3
  } cases[] = {
      {{"--pty"}, true},
      {{"--pty", "--error", "2:5"}, true},
      {{"--pty", "--error", "3:5"}, false},
      {{"--pty", "--silent", "3"}, false},
      {{"--pty", "--bad-checksum", "3"}, false},
      {{"--pty", "--bad-start", "3"}, false},
      {{"--pty", "--short", "3"}, false},
      {{"--pty", "--extra-byte", "3"}, false},
      // Late, split or followed by a stray byte, the answer itself is whole.
      {{"--pty", "--late", "3:100", "--split", "3:10", "--stray", "3"}, true},
  };
  for (const auto& c : cases) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(ParseSimOptions(c.args, o, error)) << error;
    EXPECT_EQ(AnswersDone(o, 3), c.done) << c.args.back();
  }
}

}  // namespace
