// The built register-sim on a real pseudo-terminal, with the test playing the program's side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tests/byte_strings.h"
#include "tests/program_runner.h"
#include "tests/simulator_process.h"
#include "tools/register_sim/frame_splitter.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartWait = std::chrono::seconds(15);
// How long the test waits for bytes or a log line that come within moments unless the
// simulator has gone wrong.
constexpr auto kHangWait = std::chrono::seconds(20);
const std::string kClearFrame = FromHex("17 0B 63 00 00 00 00 00 19 00 85");
const char* const kDoneAnswer = "18 00 00 00 19 00 18";

// A "j" frame written out: the head in hex (17, length 2D, 6A, last-line marker, flag), the
// name padded with blanks (20) to 24 bytes, and the rest in hex: price, group, code, bar
// code, 19 and the sum.
std::string ItemFrame(const char* head, std::string name, const char* rest) {
  name.resize(24, ' ');
  return FromHex(head) + name + FromHex(rest);
}

// Flag 1, group 7 and the bar code 4600000000001 (01 B0 5D 05 2F 04) in each.
// Code 1, price 100, the last line.
const std::string kItemA =
    ItemFrame("17 2D 6A 01 01", "A", "64 00 00 00 07 01 00 01 B0 5D 05 2F 04 19 05 83");
// Code 70, price -150, not the last line.
const std::string kItemMoloko =
    ItemFrame("17 2D 6A 00 01", "MOLOKO\t", "6A FF FF FF 07 46 00 01 B0 5D 05 2F 04 19 09 A3");
// Code 4464, price 12345, the last line.
const std::string kItemHleb =
    ItemFrame("17 2D 6A 01 01", "HLEB\\", "39 30 00 00 07 70 11 01 B0 5D 05 2F 04 19 06 BE");
// Code 0A0D, a name of the bytes a cooked line would change (ETX, EOT, DEL, NAK, LF, CR),
// price 10, the last line.
const std::string kItemControlBytes = ItemFrame("17 2D 6A 01 01", "\x03\x04\x7F\x15\x0A\x0D",
                                                "0A 00 00 00 07 0D 0A 01 B0 5D 05 2F 04 19 05 10");

// Waits for a file's contents to satisfy done (for at most kHangWait); returns the last
// contents read.
std::string AwaitFile(const std::string& path,
                      const std::function<bool(const std::string&)>& done) {
  const auto deadline = Clock::now() + kHangWait;
  std::string text = ReadFileBytes(path);
  while (!done(text) && MsLeft(deadline) > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    text = ReadFileBytes(path);
  }
  return text;
}

std::function<bool(const std::string&)> Contains(const std::string& part) {
  return [part](const std::string& text) { return text.find(part) != std::string::npos; };
}

// The program's end of the line: the slave opened and set raw at the given speed.
class ProgramEnd {
 public:
  ProgramEnd(const ProgramEnd&) = delete;
  ProgramEnd& operator=(const ProgramEnd&) = delete;
  ProgramEnd(const std::string& slave, speed_t speed) {
    fd_ = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    if (fd_ < 0 || tcgetattr(fd_, &t) != 0) return;
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd_, TCSANOW, &t) == 0) ready_ = true;
  }
  ~ProgramEnd() {
    if (fd_ >= 0) close(fd_);
  }
  bool ready() const { return ready_; }

  bool send(const std::string& bytes) {
    return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Bytes that come until count have arrived (or kHangWait has passed).
  std::string collect(size_t count) {
    std::string bytes;
    const auto deadline = Clock::now() + kHangWait;
    while (bytes.size() < count && MsLeft(deadline) > 0) readFor(bytes, MsLeft(deadline));
    return bytes;
  }

  // Every byte the simulator writes for a frame: those that come until count have arrived,
  // and, once its log at logPath holds logged (it has dealt with the frame, and what it
  // wrote is on the line), whatever more is there.
  std::string collect(size_t count, const std::string& logPath, const std::string& logged) {
    std::string bytes = collect(count);
    if (!Contains(logged)(AwaitFile(logPath, Contains(logged)))) {
      ADD_FAILURE() << "the simulator's log never held \"" << logged << "\"";
    }
    while (readFor(bytes, 0) > 0) {
    }
    return bytes;
  }

  // One poll of at most ms and one read; returns how many bytes came.
  size_t readFor(std::string& bytes, int64_t ms) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(ms)) <= 0) return 0;
    char buffer[256];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n <= 0) return 0;
    bytes.append(buffer, static_cast<size_t>(n));
    return static_cast<size_t>(n);
  }

 private:
  int fd_ = -1;
  bool ready_ = false;
};

TEST(RegisterSim, AnswersTheFirstFrameAsTheFaultOptionsSay) {
  const struct {
    std::vector<std::string> options;
    std::string frame;
    size_t expectedSize;
    const char* answer;  // every byte the program's end receives
  } cases[] = {
      {{}, kClearFrame, 7, "18 00 00 00 19 00 18"},
      {{"--error", "1:5"}, kClearFrame, 7, "18 00 00 05 19 00 1D"},
      {{"--error", "2:5"}, kClearFrame, 7, "18 00 00 00 19 00 18"},
      {{"--silent", "1"}, kClearFrame, 0, ""},
      {{"--extra-byte", "1"}, kClearFrame, 8, "18 00 00 00 19 00 18 00"},
      {{"--bad-checksum", "1"}, kClearFrame, 7, "18 00 00 00 19 00 19"},
      {{"--bad-start", "1"}, kClearFrame, 7, "17 00 00 00 19 00 17"},
      {{"--short", "1"}, kClearFrame, 6, "18 00 00 00 19 00"},
      {{"--stray", "1"}, kClearFrame, 8, "18 00 00 00 19 00 18 00"},
      {{"--split", "1:20"}, kClearFrame, 7, "18 00 00 00 19 00 18"},
      {{"--pace", "--delay", "10"}, kClearFrame, 7, "18 00 00 00 19 00 18"},
      {{}, FromHex("17 06 71 19 00 8E"), 7, "18 00 00 01 19 00 19"},              // "q"
      {{}, FromHex("17 0A 63 00 00 00 00 19 00 84"), 7, "18 00 00 01 19 00 19"},  // short "c"
      {{}, kItemA, 7, "18 00 00 00 19 00 18"},
  };
  for (const auto& c : cases) {
    std::string what = HexBytes(c.frame.substr(0, 3));
    for (const auto& o : c.options) what += " " + o;
    SCOPED_TRACE(what);
    TempDir dir;
    const std::string log = dir.path() + "/sim.log";
    std::vector<std::string> options = {"--log", log};
    options.insert(options.end(), c.options.begin(), c.options.end());
    SimulatorProcess sim(REGISTER_SIM_BINARY, options);
    ASSERT_FALSE(sim.slave().empty());
    ProgramEnd program(sim.slave(), B19200);
    ASSERT_TRUE(program.ready());
    ASSERT_TRUE(program.send(c.frame));
    // A frame left silent is dealt with once it is logged; any other once its answer is.
    const char* const dealtWith = c.expectedSize == 0 ? "frame 1 " : "answer 1 ";
    EXPECT_EQ(HexBytes(program.collect(c.expectedSize, log, dealtWith)), c.answer);
    EXPECT_EQ(sim.stop(), 0);
  }
}

TEST(RegisterSim, AnErrorOptionHitsOnlyItsOwnFrame) {
  TempDir dir;
  const std::string log = dir.path() + "/sim.log";
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--log", log, "--error", "2:200"});
  ProgramEnd program(sim.slave(), B19200);
  ASSERT_TRUE(program.ready());
  int frame = 0;
  for (const char* expected : {kDoneAnswer, "18 00 00 C8 19 00 E0", kDoneAnswer}) {
    ASSERT_TRUE(program.send(kClearFrame));
    const std::string answered = "answer " + std::to_string(++frame) + " ";
    EXPECT_EQ(HexBytes(program.collect(7, log, answered)), expected);
  }
}

TEST(RegisterSim, SplitAnswerComesInTwoParts) {
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--split", "1:600"});
  ProgramEnd program(sim.slave(), B19200);
  ASSERT_TRUE(program.ready());
  const auto sent = Clock::now();
  ASSERT_TRUE(program.send(kClearFrame));
  EXPECT_EQ(HexBytes(program.collect(5)), "18 00 00 00 19");
  // The rest is held back for 600 ms after the frame has come, so not written before 600 ms
  // after it was sent: a short look that has ended by then finds nothing yet. (Where the
  // machine is so busy that the look ends later, it tells nothing.)
  std::string more;
  program.readFor(more, 100);
  if (Clock::now() - sent < std::chrono::milliseconds(600)) {
    EXPECT_EQ(more, "");
  }
  EXPECT_EQ(HexBytes(program.collect(2)), "00 18");
}

TEST(RegisterSim, GoodsBaseFileFollowsItemsAndClear) {
  TempDir dir;
  const std::string db = dir.path() + "/base.tsv";
  // Frame 3 is refused and frame 4 never answered: the register keeps neither.
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--db", db, "--error", "3:5", "--silent", "4"});
  ProgramEnd program(sim.slave(), B19200);
  ASSERT_TRUE(program.ready());
  const std::string header = "code\tname\tbarcode\tprice\tgroup\tflag\tlast\n";
  EXPECT_EQ(AwaitFile(db, [&](const std::string& t) { return t == header; }), header);

  ASSERT_TRUE(program.send(kItemMoloko));
  EXPECT_EQ(HexBytes(program.collect(7)), kDoneAnswer);
  ASSERT_TRUE(program.send(kItemHleb));
  EXPECT_EQ(HexBytes(program.collect(7)), kDoneAnswer);
  // The file is complete before the answer goes out.
  EXPECT_EQ(ReadFileBytes(db),
            header +
                "70\tMOLOKO\\t                 \t4600000000001\t-150\t7\t1\t0\n"
                "4464\tHLEB\\\\                   \t4600000000001\t12345\t7\t1\t1\n");
  const std::string both = ReadFileBytes(db);

  ASSERT_TRUE(program.send(kClearFrame));
  EXPECT_EQ(HexBytes(program.collect(7)), "18 00 00 05 19 00 1D");
  EXPECT_EQ(ReadFileBytes(db), both);
  ASSERT_TRUE(program.send(kClearFrame));
  ASSERT_TRUE(program.send(kItemHleb));
  EXPECT_EQ(HexBytes(program.collect(7)), kDoneAnswer);
  EXPECT_EQ(ReadFileBytes(db), both);

  ASSERT_TRUE(program.send(kClearFrame));
  EXPECT_EQ(HexBytes(program.collect(7)), kDoneAnswer);
  EXPECT_EQ(ReadFileBytes(db), header);
}

TEST(RegisterSim, LogTellsFramesAnswersJunkAndGarbledBytes) {
  TempDir dir;
  const std::string log = dir.path() + "/sim.log";
  {
    SimulatorProcess sim(REGISTER_SIM_BINARY, {"--log", log, "--error", "2:9"});
    {
      // The wrong speed: the register would hear noise and say nothing.
      ProgramEnd program(sim.slave(), B9600);
      ASSERT_TRUE(program.ready());
      ASSERT_TRUE(program.send(kClearFrame));
      EXPECT_EQ(program.collect(0, log, "garbled "), "");
    }
    ProgramEnd program(sim.slave(), B19200);
    ASSERT_TRUE(program.ready());
    ASSERT_TRUE(program.send(FromHex("41 42") + kClearFrame));
    EXPECT_EQ(HexBytes(program.collect(7)), "18 00 00 00 19 00 18");
    ASSERT_TRUE(program.send(kClearFrame));
    EXPECT_EQ(HexBytes(program.collect(7)), "18 00 00 09 19 00 21");
    AwaitFile(log, Contains("answer 2"));
    EXPECT_EQ(sim.stop(), 0);
  }
  EXPECT_EQ(ReadFileBytes(log),
            "garbled 9600 17 0B 63 00 00 00 00 00 19 00 85\n"
            "junk 41 42\n"
            "frame 1 19200 17 0B 63 00 00 00 00 00 19 00 85\n"
            "answer 1 18 00 00 00 19 00 18\n"
            "frame 2 19200 17 0B 63 00 00 00 00 00 19 00 85\n"
            "answer 2 18 00 00 09 19 00 21\n");
}

TEST(RegisterSim, LogsAPartialFrameAsJunkWhenTheLineGoesQuiet) {
  TempDir dir;
  const std::string log = dir.path() + "/sim.log";
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--log", log});
  ProgramEnd program(sim.slave(), B19200);
  ASSERT_TRUE(program.ready());
  ASSERT_TRUE(program.send(kClearFrame.substr(0, 6)));
  EXPECT_EQ(program.collect(0, log, "\n"), "");
  EXPECT_EQ(ReadFileBytes(log), "junk 17 0B 63 00 00 00\n");
  ASSERT_TRUE(program.send(kClearFrame));
  EXPECT_EQ(HexBytes(program.collect(7)), kDoneAnswer);
}

TEST(RegisterSim, LeavesTheSlaveAsANewPseudoTerminalHasIt) {
  TempDir dir;
  const std::string log = dir.path() + "/sim.log";
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--log", log});
  ASSERT_FALSE(sim.slave().empty());
  const int fd = open(sim.slave().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios t{};
  ASSERT_EQ(tcgetattr(fd, &t), 0);
  EXPECT_NE(t.c_lflag & ICANON, 0u);
  EXPECT_NE(t.c_lflag & ECHO, 0u);
  // A program that never sets the line sends at the pseudo-terminal's default speed.
  const speed_t speed = cfgetospeed(&t);
  EXPECT_NE(speed, B19200);
  ASSERT_EQ(write(fd, kClearFrame.data(), kClearFrame.size()),
            static_cast<ssize_t>(kClearFrame.size()));
  EXPECT_EQ(AwaitFile(log, Contains("\n")).rfind("garbled ", 0), 0u);
  // The same frame at the simulator's speed: its answer is the first and only one logged.
  cfmakeraw(&t);
  cfsetispeed(&t, B19200);
  cfsetospeed(&t, B19200);
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
  ASSERT_EQ(write(fd, kClearFrame.data(), kClearFrame.size()),
            static_cast<ssize_t>(kClearFrame.size()));
  const std::string logged = AwaitFile(log, Contains("\nanswer "));
  const size_t answer = logged.find("\nanswer ");
  ASSERT_NE(answer, std::string::npos) << logged;
  EXPECT_GT(answer, logged.find("\nframe 1 19200 ")) << logged;
  EXPECT_EQ(answer, logged.rfind("\nanswer ")) << logged;
  close(fd);
}

TEST(RegisterSim, ExitsAfterTheGivenNumberOfFrames) {
  TempDir dir;
  const std::string log = dir.path() + "/sim.log";
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--log", log, "--exit-after", "2", "--silent", "1"});
  ProgramEnd program(sim.slave(), B19200);
  ASSERT_TRUE(program.ready());
  ASSERT_TRUE(program.send(kClearFrame));
  EXPECT_EQ(program.collect(0, log, "frame 1 "), "");
  ASSERT_TRUE(program.send(kClearFrame));
  EXPECT_EQ(HexBytes(program.collect(7)), kDoneAnswer);
  EXPECT_EQ(sim.waitExit(), 0);
}

TEST(RegisterSim, LinkPointsAtTheSlaveUntilExit) {
  TempDir dir;
  const std::string link = dir.path() + "/com1";
  ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0);  // an old link is replaced
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--link", link});
  ASSERT_FALSE(sim.slave().empty());
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), sim.slave());
  ProgramEnd program(link, B19200);
  ASSERT_TRUE(program.ready());
  ASSERT_TRUE(program.send(kClearFrame));
  EXPECT_EQ(HexBytes(program.collect(7)), kDoneAnswer);
  EXPECT_EQ(sim.stop(), 0);
  struct stat gone {};
  EXPECT_NE(lstat(link.c_str(), &gone), 0);
}

TEST(RegisterSim, ServesASerialDeviceInRawMode) {
  // The test's own pseudo-terminal stands in for a serial adapter: the simulator opens the
  // slave as its device, the test talks through the master.
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  char name[256];
  ASSERT_EQ(grantpt(master) | unlockpt(master) | ptsname_r(master, name, sizeof name), 0);
  const int holder = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  TempDir dir;
  const std::string log = dir.path() + "/sim.log";
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--baud", "9600", "--log", log, name},
                       {.newPseudoTerminal = false});
  // Ready once it has set the device raw at its speed.
  termios t{};
  const auto deadline = Clock::now() + kStartWait;
  while ((tcgetattr(master, &t) != 0 || (t.c_lflag & ICANON) != 0) && MsLeft(deadline) > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
            static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));

  // Bytes that a cooked line would change: CR, LF and the line-editing characters.
  const std::string& frame = kItemControlBytes;
  ASSERT_EQ(write(master, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
  std::string answer;
  const auto answerBy = Clock::now() + kHangWait;
  while (answer.size() < 7 && MsLeft(answerBy) > 0) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, MsLeft(answerBy)) <= 0) continue;
    char buffer[64];
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n > 0) answer.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(HexBytes(answer), kDoneAnswer);
  EXPECT_EQ(
      AwaitFile(log, Contains("answer 1")),
      "frame 1 9600 17 2D 6A 01 01 03 04 7F 15 0A 0D 20 20 20 20 20 20 20 20 20 20 20 20 20 20 "
      "20 20 20 20 0A 00 00 00 07 0D 0A 01 B0 5D 05 2F 04 19 05 10\n"
      "answer 1 18 00 00 00 19 00 18\n");
  EXPECT_EQ(sim.stop(), 0);
  close(holder);
  close(master);
}

TEST(RegisterSim, BadUsageIsRefusedWithStatus2) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"--pty", "--error", "1:0"},
                                               {"--pty", "/dev/null"},
                                               {"--pty", "--bogus"},
                                               {"--link", "x", "/dev/null"}}) {
    const ProgramResult r = RunProgram(REGISTER_SIM_BINARY, args, {}, 10);
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("usage: register-sim"), std::string::npos);
  }
}

}  // namespace
