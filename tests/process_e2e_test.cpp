// The Linux program as a process: its standard descriptors, signals, the port's settings and
// the port messages, and file names that look like switches, against register-sim on a
// pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "register/frame.h"
#include "tests/byte_strings.h"
#include "tests/expected_usage.h"
#include "tests/program_runner.h"
#include "tests/simulator_process.h"
#include "text/text_encoding.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kClearFrameHex = "17 0B 63 00 00 00 00 00 19 00 85";
const std::string kNoPort = "/nonexistent/tally-port";

#define REQUIRE_SIMULATOR(sim) ASSERT_FALSE((sim).slave().empty()) << "register-sim did not start"

SimulatorProcess LoggingSimulator(const std::vector<std::string>& options = {}) {
  return SimulatorProcess(REGISTER_SIM_BINARY, options, {.ownLog = true});
}

// A goods file of count simple lines (codes 1..count), Windows-1251, CR LF.
std::string GoodsFile(int count) {
  std::string text = "<start>\r\n";
  for (int n = 1; n <= count; ++n) {
    const std::string s = std::to_string(n);
    text += s + "\tItem " + s + "\t\t" + s + ".00\t1\t0\t\r\n";
  }
  return text + "<end>\r\n";
}

std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The first word of every log line: "frame", "answer", "junk", "garbled".
std::vector<std::string> LogKinds(const std::string& log) {
  std::vector<std::string> kinds;
  for (const std::string& line : LogLines(log)) kinds.push_back(line.substr(0, line.find(' ')));
  return kinds;
}

// Sends the simulator one more frame of its own through the device, at 19200 and raw, and
// waits (at most 10 s) until its answer is logged: whatever reached the device before it has
// been logged by then. Returns the log.
std::string LogAfterAMarkerFrame(SimulatorProcess& sim) {
  const std::string marker = BuildFrame("end of test");
  const int fd = open(sim.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return "cannot open " + sim.slave();
  termios raw{};
  tcgetattr(fd, &raw);
  cfmakeraw(&raw);
  cfsetispeed(&raw, B19200);
  cfsetospeed(&raw, B19200);
  tcsetattr(fd, TCSANOW, &raw);
  const bool written =
      write(fd, marker.data(), marker.size()) == static_cast<ssize_t>(marker.size());
  const auto answered = [&marker](const std::string& log) {
    const std::vector<std::string> kinds = LogKinds(log);
    return log.find(Hex(marker)) != std::string::npos && kinds.back() == "answer";
  };
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  std::string log = sim.log();
  while (written && !answered(log) && MsLeft(deadline) > 0) {
    usleep(10000);
    log = sim.log();
  }
  close(fd);
  return log;
}

// The device's line settings and exclusive mode, read through a descriptor of its own.
struct DeviceState {
  bool read = false;
  termios settings{};
  int exclusive = -1;
};

DeviceState ReadDevice(const std::string& path) {
  DeviceState state;
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return state;
  state.read = tcgetattr(fd, &state.settings) == 0 && ioctl(fd, TIOCGEXCL, &state.exclusive) == 0;
  close(fd);
  return state;
}

// Gives the device settings no program would pick by itself: 4800 bit/s, 7 bits with even
// parity, cooked and echoing; returns them as the device took them.
termios SetUnusualSettings(const std::string& path) {
  termios t{};
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return t;
  tcgetattr(fd, &t);
  t.c_iflag |= ICRNL | IXON;
  t.c_oflag |= OPOST | ONLCR;
  t.c_lflag |= ICANON | ECHO | ISIG;
  t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB;
  cfsetispeed(&t, B4800);
  cfsetospeed(&t, B4800);
  tcsetattr(fd, TCSANOW, &t);
  tcgetattr(fd, &t);
  close(fd);
  return t;
}

void ExpectSettingsGivenBack(const std::string& device, const termios& before) {
  const DeviceState after = ReadDevice(device);
  ASSERT_TRUE(after.read);
  EXPECT_EQ(after.settings.c_iflag, before.c_iflag);
  EXPECT_EQ(after.settings.c_oflag, before.c_oflag);
  EXPECT_EQ(after.settings.c_cflag, before.c_cflag);
  EXPECT_EQ(after.settings.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&after.settings), static_cast<speed_t>(B4800));
  EXPECT_EQ(cfgetispeed(&after.settings), static_cast<speed_t>(B4800));
  // Root opens an exclusive terminal anyway; the mode itself shows what a user would meet.
  EXPECT_EQ(after.exclusive, 0);
}

// A pseudo-terminal, 80 columns wide, that stands for the user's terminal.
class UserTerminal {
 public:
  UserTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    slave_ = ptsname(master_);
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    ioctl(master_, TIOCSWINSZ, &size);
  }
  ~UserTerminal() {
    if (master_ >= 0) close(master_);
  }
  const std::string& slave() const { return slave_; }
  const std::string& screen() const { return screen_; }

  // Reads what arrives until the text holds what, or until seconds have passed.
  bool readUntil(const std::string& what, int seconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (screen_.find(what) == std::string::npos && MsLeft(deadline) > 0) readSome(50);
    return screen_.find(what) != std::string::npos;
  }
  // Reads what arrives until the terminal hangs up, as it does once the program that had it
  // open has ended, or until seconds have passed. Returns whether it hung up.
  bool readToHangUp(int seconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (MsLeft(deadline) > 0) {
      if (readSome(50) < 0) return true;
    }
    return false;
  }

 private:
  // One wait of at most milliseconds and one read: 1 when bytes came, 0 when none did, -1
  // when the terminal has hung up.
  int readSome(int milliseconds) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, milliseconds) <= 0) return 0;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
    if (n <= 0) return -1;
    screen_.append(buffer, static_cast<size_t>(n));
    return 1;
  }

  int master_ = -1;
  std::string slave_;
  std::string screen_;
};

}  // namespace

TEST(Process, ASignalDuringTheUploadGivesThePortBackAndEndsTheLine) {
  const struct {
    int signal;
    const char* name;
    int exitStatus;
  } cases[] = {{SIGINT, "SIGINT", 130},
               {SIGTERM, "SIGTERM", 143},
               {SIGHUP, "SIGHUP", 129},
               {SIGQUIT, "SIGQUIT", 131},
               {SIGUSR1, "SIGUSR1", 138},
               {SIGUSR2, "SIGUSR2", 140},
               {SIGALRM, "SIGALRM", 142},
               // Ignored, even from kill: the upload goes on to its end.
               {SIGPIPE, "SIGPIPE", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string goods = dir.write("goods.txt", GoodsFile(100));
    // The answer to the sixth line is held until its file is made: the run is well under
    // way, waiting for it, when the signal comes. The file is made only after an ignored one.
    const std::string release = dir.path() + "/release";
    const std::string db = dir.path() + "/base.tsv";
    SimulatorProcess sim = LoggingSimulator({"--hold", "6:" + release, "--db", db});
    REQUIRE_SIMULATOR(sim);
    const termios before = SetUnusualSettings(sim.slave());
    UserTerminal terminal;
    ASSERT_FALSE(terminal.slave().empty());

    const std::string trace = dir.path() + "/trace.txt";
    ChildProcess tally(TALLY_BINARY, {goods},
                       {.environment = {{"TALLY_COM1", sim.slave()}, {"TALLY_TRACE", trace}},
                        .err = Sink::kFile,
                        .errFile = terminal.slave()});
    ASSERT_TRUE(tally.running());
    ASSERT_TRUE(terminal.readUntil("] 5/100", 20)) << terminal.screen();
    // Under way: the port is raw at 19200 and exclusive.
    const DeviceState during = ReadDevice(sim.slave());
    EXPECT_EQ(cfgetospeed(&during.settings), static_cast<speed_t>(B19200));
    EXPECT_EQ(during.exclusive, 1);

    kill(tally.pid(), c.signal);
    if (c.exitStatus == 0) dir.write("release", "");
    EXPECT_EQ(tally.wait(30), c.exitStatus);
    ASSERT_TRUE(terminal.readToHangUp(20)) << terminal.screen();

    ExpectSettingsGivenBack(sim.slave(), before);
    // The progress bar stays with its count, and its line is ended.
    const std::string& screen = terminal.screen();
    const std::string ending = "/100\033[K\r\n";
    ASSERT_GE(screen.size(), ending.size()) << screen;
    EXPECT_EQ(screen.substr(screen.size() - ending.size()), ending) << screen;
    const size_t lastLine = screen.rfind('\r', screen.size() - 3);
    EXPECT_EQ(screen.substr(lastLine, 9), "\rOKA PF [") << screen;

    // The lock is gone too: another program takes it at once.
    const int other = open(sim.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    ASSERT_GE(other, 0);
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    close(other);

    // The trace's record ends as every run's does: the exit status, then an empty line.
    const std::vector<std::string> record = LogLines(ReadFileBytes(trace));
    ASSERT_GE(record.size(), 2u);
    const std::string status = std::to_string(c.exitStatus);
    EXPECT_TRUE(std::regex_match(record[record.size() - 2],
                                 std::regex(" +[0-9]+ ms  exit status " + status)))
        << record[record.size() - 2];
    EXPECT_EQ(record.back(), "");

    if (c.exitStatus == 0) {
      // Every item reached the register: its base has a heading and 100 lines, the last
      // one for code 100 (the register holds names in capitals).
      const std::vector<std::string> base = LogLines(ReadFileBytes(db));
      ASSERT_EQ(base.size(), 101u);
      EXPECT_EQ(base.back().rfind("100\tITEM 100", 0), 0u) << base.back();
    }
  }
}

TEST(Process, EveryRunGivesThePortItsSettingsBack) {
  const struct {
    const char* what;
    std::vector<std::string> simOptions;
    bool upload;
    std::vector<std::string> args;
    int exitStatus;
  } cases[] = {
      {"clear run", {}, false, {"/e"}, 0},
      {"clear run at 9600", {"--baud", "9600"}, false, {"/9600", "/e"}, 0},
      {"clear run, error code", {"--error", "1:5"}, false, {"/e"}, 1},
      {"clear run, no answer", {"--silent", "1"}, false, {"/e"}, 1},
      {"upload", {}, true, {}, 0},
      {"upload, error code", {"--error", "2:7"}, true, {}, 1},
      {"upload, no answer", {"--silent", "3"}, true, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    SimulatorProcess sim = LoggingSimulator(c.simOptions);
    REQUIRE_SIMULATOR(sim);
    const termios before = SetUnusualSettings(sim.slave());
    std::vector<std::string> args = c.args;
    if (c.upload) args.push_back(dir.write("goods.txt", GoodsFile(4)));
    const ProgramResult r = RunProgram(TALLY_BINARY, args, {{"TALLY_COM1", sim.slave()}});
    EXPECT_EQ(r.exitStatus, c.exitStatus) << r.err;
    EXPECT_FALSE(LogLines(sim.log()).empty());  // the run did reach the register
    ExpectSettingsGivenBack(sim.slave(), before);
  }
}

TEST(Process, TheCheckRunNeverTouchesThePort) {
  const std::string twoCodes = Utf8ToCp1251(
      "<start>\r\n0102\tБатон белый\t4607001001027\t35.50\t1\t0\t\r\n"
      "102\tБатон чёрный\t\t37.00\t2\t1\t\r\n<end>\r\n");
  const struct {
    const char* what;
    std::vector<std::string> switches;
    std::string goods;  // no file when empty
    int exitStatus;
    std::string out;
    std::string err;
  } cases[] = {
      // A cell over two lines of the file: its item is on the line where its row starts.
      {"good",
       {"/t"},
       "<start>\r\n1\t\"Item\r\none\"\t\t1.00\t1\t0\t\r\n2\tItem 2\t\t2.00\t1\t0\t\r\n",
       0,
       "1\tITEM ONE\t0\t100\t1\t0\t2\n2\tITEM 2\t0\t200\t1\t0\t4\n",
       "OKA PF: внимание: Файл товаров в порядке: 2 товара\n"},
      {"repeated",
       {"/T"},
       twoCodes,
       0,
       "102\tbaton belyj\t4607001001027\t3550\t1\t0\t2\n102\tbaton ~ernyj\t0\t3700\t2\t1\t3\n",
       "OKA PF: внимание: Файл товаров в порядке: 2 товара; коды повторяются: 102 (строки 2, 3)\n"},
      {"refused",
       {"/t"},
       "<start>\r\n1\tA\t\t12.5\t1\t0\t\r\n",
       1,
       "",
       "OKA PF: ошибка: Недопустимая цена: '12.5\t' (строка 2 файла)\n"},
      {"with /e", {"/t", "/e"}, GoodsFile(2), 2, "", "OKA PF: " + std::string(kExpectedUsageUtf8)},
      {"no file name", {"/t"}, "", 2, "", "OKA PF: " + std::string(kExpectedUsageUtf8)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    SimulatorProcess sim = LoggingSimulator();
    REQUIRE_SIMULATOR(sim);
    const termios before = SetUnusualSettings(sim.slave());
    std::vector<std::string> args = c.switches;
    if (!c.goods.empty()) args.push_back(dir.write("goods.txt", c.goods));
    const ProgramResult r =
        RunProgram(TALLY_BINARY, args, {{"TALLY_COM1", sim.slave()}, {"TALLY_COM2", sim.slave()}});
    EXPECT_EQ(r.exitStatus, c.exitStatus);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    // Never opened, so never configured: the settings are the test's, and nothing came.
    ExpectSettingsGivenBack(sim.slave(), before);
    sim.stop();
    EXPECT_EQ(sim.log(), "");
  }
}

TEST(Process, ClosedStandardDescriptorsNeverReachThePort) {
  const struct {
    const char* what;
    Sink in, out, err;
  } closings[] = {
      {"2>&-", Sink::kNull, Sink::kNull, Sink::kClosed},
      {">&- 2>&-", Sink::kNull, Sink::kClosed, Sink::kClosed},
      {"<&- >&- 2>&-", Sink::kClosed, Sink::kClosed, Sink::kClosed},
  };
  const struct {
    const char* what;
    std::vector<std::string> simOptions;
    bool upload;
    int exitStatus;
    std::vector<std::string> kinds;  // what the register's log must show, nothing else
  } runs[] = {
      // The clear run's message comes while the port is still open.
      {"clear run", {}, false, 0, {"frame", "answer"}},
      {"clear run, error code", {"--error", "1:5"}, false, 1, {"frame", "answer"}},
      // So does the upload's message about an error code.
      {"upload, error code", {"--error", "2:7"}, true, 1, {"frame", "answer", "frame", "answer"}},
  };
  for (const auto& closing : closings) {
    for (const auto& run : runs) {
      SCOPED_TRACE(std::string(closing.what) + ", " + run.what);
      TempDir dir;
      SimulatorProcess sim = LoggingSimulator(run.simOptions);
      REQUIRE_SIMULATOR(sim);
      std::vector<std::string> args{"/e"};
      if (run.upload) args = {dir.write("goods.txt", GoodsFile(3))};
      ChildProcess tally(TALLY_BINARY, args,
                         {.environment = {{"TALLY_COM1", sim.slave()}},
                          .out = closing.out,
                          .err = closing.err,
                          .in = closing.in});
      ASSERT_TRUE(tally.running());
      EXPECT_EQ(tally.wait(30), run.exitStatus);
      // Anything the program wrote to the port came before the test's own last frame.
      const std::string log = LogAfterAMarkerFrame(sim);
      std::vector<std::string> kinds = run.kinds;
      kinds.insert(kinds.end(), {"frame", "answer"});
      EXPECT_EQ(LogKinds(log), kinds) << log;
      EXPECT_NE(log.find(Hex(BuildFrame("end of test"))), std::string::npos) << log;
    }
  }
}

TEST(Process, AReaderThatHasGoneDoesNotChangeTheExitStatus) {
  // tally /e 2>&1 | true, and the same for the other outcomes.
  const struct {
    const char* what;
    std::vector<std::string> simOptions;
    std::string com1;
    int exitStatus;
  } cases[] = {
      {"cleared", {}, "", 0},
      {"error code", {"--error", "1:5"}, "", 1},
      {"no port", {}, kNoPort, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimulatorProcess sim = LoggingSimulator(c.simOptions);
    REQUIRE_SIMULATOR(sim);
    const std::string com1 = c.com1.empty() ? sim.slave() : c.com1;
    ChildProcess tally(TALLY_BINARY, {"/e"},
                       {.environment = {{"TALLY_COM1", com1}},
                        .out = Sink::kBrokenPipe,
                        .err = Sink::kBrokenPipe});
    ASSERT_TRUE(tally.running());
    EXPECT_EQ(tally.wait(30), c.exitStatus);
  }
}

TEST(Process, FileNamesThatLookLikeSwitches) {
  // Each is one argument naming a real goods file: the upload runs on COM1, never the clear
  // run and never COM2.
  const char* names[] = {
      "x/e", "Exports/e 2025.txt", "data/2 shop.txt", "srv/data/E", "a/e/2 b.txt",
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::filesystem::path file = std::filesystem::path(dir.path()) / name;
    std::filesystem::create_directories(file.parent_path());
    dir.write(name, GoodsFile(2));
    SimulatorProcess sim = LoggingSimulator();
    REQUIRE_SIMULATOR(sim);
    const ProgramResult r = RunProgram(TALLY_BINARY, {file.string()},
                                       {{"TALLY_COM1", sim.slave()}, {"TALLY_COM2", kNoPort}});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    sim.stop();
    const std::vector<std::string> lines = LogLines(sim.log());
    ASSERT_EQ(lines.size(), 4u) << sim.log();
    // Two item commands ("j" is 6A), no clear command.
    EXPECT_EQ(lines[0].substr(0, 22), "frame 1 19200 17 2D 6A") << lines[0];
    EXPECT_EQ(lines[2].substr(0, 22), "frame 2 19200 17 2D 6A") << lines[2];
  }
}

TEST(Process, SwitchesGluedToTheNameStillCount) {
  TempDir dir;
  // Whole-unit prices: with "/r" not taken, "150" would be refused.
  const std::string goods =
      dir.write("goods.txt", "<start>\r\n1\tA\t\t150\t1\t0\t\r\n2\tB\t\t20\t1\t0\t\r\n<end>\r\n");
  SimulatorProcess sim = LoggingSimulator();
  REQUIRE_SIMULATOR(sim);
  const ProgramResult r = RunProgram(TALLY_BINARY, {goods + "/2/9600", "/R"},
                                     {{"TALLY_COM1", kNoPort}, {"TALLY_COM2", sim.slave()}});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  sim.stop();
  EXPECT_EQ(LogKinds(sim.log()), (std::vector<std::string>{"frame", "answer", "frame", "answer"}));
}

TEST(Process, PortMessagesNameTheDeviceAndTheReason) {
  TempDir dir;
  const std::string plainFile = dir.write("plain", "x");
  const std::string socketPath = dir.path() + "/socket";
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  SimulatorProcess sim = LoggingSimulator();
  REQUIRE_SIMULATOR(sim);

  struct Case {
    std::string device;
    std::string reason;
  };
  std::vector<Case> cases = {
      {dir.path() + "/ttyUSB0", "нет такого устройства"},
      {socketPath, "нет такого устройства"},  // opens with ENXIO
      {plainFile, "это не последовательный порт"},
      {"/dev/null", "это не последовательный порт"},
      {sim.slave(), "порт занят другой программой"},  // locked below
  };
  // Opening for writing a read-only kernel attribute fails with EACCES even for root, as a
  // serial device does for a user outside its group.
  if (access("/sys/kernel/uevent_seqnum", F_OK) == 0) {
    cases.push_back({"/sys/kernel/uevent_seqnum", "нет прав доступа"});
  }
  const int holder = open(sim.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  const std::string goods = dir.write("goods.txt", GoodsFile(2));
  for (const Case& c : cases) {
    for (const auto& [args, port] :
         {std::pair{std::vector<std::string>{"/e"}, "COM1"}, {{"/2", goods}, "COM2"}}) {
      SCOPED_TRACE(c.device + " " + port);
      const ProgramResult r =
          RunProgram(TALLY_BINARY, args, {{"TALLY_COM1", c.device}, {"TALLY_COM2", c.device}});
      EXPECT_EQ(r.exitStatus, 1);
      EXPECT_EQ(r.err, std::string("OKA PF: ошибка: Не открыт порт ") + port + " (" + c.device +
                           ": " + c.reason + ")\n");
    }
  }
  close(holder);
  close(listener);
  sim.stop();
  EXPECT_EQ(sim.log(), "");  // nothing reached the register
  std::string left = ReadFileBytes(plainFile);
  EXPECT_EQ(left, "x");
}

// Whether the process has the file at path open.
bool HasOpen(pid_t pid, const std::string& path) {
  const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code error;
  for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
    if (std::filesystem::read_symlink(fd.path(), error) == path) return true;
  }
  return false;
}

TEST(Process, TheCheckRunRefusesAFileReplacedWhileItReads) {
  TempDir dir;
  // A file that takes a while to read (a name of 150 MiB), written a piece at a time.
  const std::string path = dir.write("goods.txt", "<start>\r\n1\t");
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    const std::string piece(1 << 20, 'x');
    for (int i = 0; i < 150; ++i) out << piece;
    out << "\t\t1.00\t1\t0\t\r\n";
  }
  const std::string other = dir.write("other.txt", GoodsFile(2));
  ChildProcess check(TALLY_BINARY, {"/t", path}, {.err = Sink::kPipe});
  ASSERT_TRUE(check.running());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!HasOpen(check.pid(), path) && std::chrono::steady_clock::now() < deadline) usleep(500);
  // Another file put in its place under its name, as a save that writes a new file does.
  std::filesystem::rename(other, path);
  EXPECT_EQ(check.wait(60), 1);
  char buffer[512];
  const ssize_t got = read(check.err(), buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0),
            "OKA PF: ошибка: Файл изменился во время чтения: " + path + "\n");
}
