// register-sim: plays the "OKA PF" register's side of the serial line on a pseudo-terminal
// or a real serial device, so that the programs can be tried without a register.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tally_version.h"
#include "tools/register_sim/frame_splitter.h"
#include "tools/register_sim/goods_base.h"
#include "tools/register_sim/sim_options.h"

namespace {

constexpr int kPartialFrameIdleMs = 500;
constexpr int kWriteWaitMs = 1000;
constexpr int kLingerMs = 2000;
constexpr int kLingerStepMs = 10;
constexpr int kLingerGraceMs = 100;
constexpr int kHoldCheckMs = 10;
constexpr char kStrayByte = 0x00;
constexpr char kExtraByte = 0x00;

struct SpeedName {
  speed_t code;
  uint32_t baud;
};
constexpr SpeedName kSpeeds[] = {
    {B50, 50},       {B75, 75},         {B110, 110},      {B134, 134},     {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},      {B1200, 1200},   {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},    {B19200, 19200}, {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};

// The one simulator run.
struct Simulator {
  SimOptions options;
  int line = -1;   // the master side of the pseudo-terminal, or the device
  int slave = -1;  // the slave side, held open while serving
  std::string slavePath;
  bool linkMade = false;
  FILE* log = nullptr;
  GoodsBase base;
  FrameSplitter splitter;
  uint32_t frames = 0;   // well-formed frames received
  uint32_t handled = 0;  // frames answered or left unanswered on purpose
  timespec lastInput{};
};

volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

timespec Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now;
}

int64_t MsSince(const timespec& then) {
  const timespec now = Now();
  return (now.tv_sec - then.tv_sec) * 1000 + (now.tv_nsec - then.tv_nsec) / 1000000;
}

// Sleeps ms milliseconds, less when a stop signal comes.
void SleepMs(int64_t ms) {
  const timespec start = Now();
  for (int64_t left = ms; left > 0 && !stopRequested; left = ms - MsSince(start)) {
    poll(nullptr, 0, static_cast<int>(left));
  }
}

// Waits until a file exists at path, or a stop signal comes.
void AwaitFile(const std::string& path) {
  while (!stopRequested && access(path.c_str(), F_OK) != 0) SleepMs(kHoldCheckMs);
}

// Waits until the line has bytes to read (left there for the serving loop), or a stop signal
// comes.
void AwaitInput(const Simulator& sim) {
  pollfd in{sim.line, POLLIN, 0};
  while (!stopRequested && poll(&in, 1, kHoldCheckMs) == 0) {
  }
}

void SleepUntil(const timespec& deadline) {
  while (!stopRequested &&
         clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

speed_t SpeedCode(uint32_t baud) {
  for (const SpeedName& s : kSpeeds) {
    if (s.baud == baud) return s.code;
  }
  return B0;
}

uint32_t SpeedBaud(speed_t code) {
  for (const SpeedName& s : kSpeeds) {
    if (s.code == code) return s.baud;
  }
  return 0;
}

// The line speed the program has set: on a pseudo-terminal the master reports the slave's
// settings; a real device runs at the simulator's own speed.
uint32_t LineBaud(const Simulator& sim) {
  if (!sim.options.pty) return sim.options.baud;
  termios settings{};
  if (tcgetattr(sim.line, &settings) != 0) return 0;
  return SpeedBaud(cfgetospeed(&settings));
}

void Event(Simulator& sim, const std::string& text) {
  if (sim.log != nullptr) {
    std::fprintf(sim.log, "%s\n", text.c_str());
    std::fflush(sim.log);
  }
  if (sim.options.verbose) {
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall);
    tm local{};
    localtime_r(&wall.tv_sec, &local);
    std::fprintf(stderr, "%02d:%02d:%02d.%03ld %s\n", local.tm_hour, local.tm_min, local.tm_sec,
                 wall.tv_nsec / 1000000, text.c_str());
  }
}

// The goods base file, replaced as a whole so that a reader never sees half of it.
void WriteGoodsFile(const Simulator& sim) {
  if (sim.options.dbPath.empty()) return;
  const std::string temporary = sim.options.dbPath + ".tmp";
  const std::string text = FormatGoodsTsv(sim.base);
  FILE* file = std::fopen(temporary.c_str(), "wb");
  bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file != nullptr) written = std::fclose(file) == 0 && written;
  if (!written || std::rename(temporary.c_str(), sim.options.dbPath.c_str()) != 0) {
    std::fprintf(stderr, "register-sim: cannot write %s: %s\n", sim.options.dbPath.c_str(),
                 std::strerror(errno));
  }
}

// Writes bytes in one go (or byte by byte at line rate with --pace); returns what went out.
std::string WriteBytes(Simulator& sim, const std::string& bytes) {
  std::string written;
  const timespec start = Now();
  const int64_t byteNs = sim.options.pace ? 10LL * 1000000000LL / sim.options.baud : 0;
  size_t at = 0;
  while (at < bytes.size() && !stopRequested) {
    const size_t chunk = sim.options.pace ? 1 : bytes.size() - at;
    const ssize_t n = write(sim.line, bytes.data() + at, chunk);
    if (n > 0) {
      written.append(bytes, at, static_cast<size_t>(n));
      at += static_cast<size_t>(n);
      if (sim.options.pace) {
        const int64_t due = start.tv_nsec + static_cast<int64_t>(at) * byteNs;
        const timespec deadline{start.tv_sec + static_cast<time_t>(due / 1000000000),
                                static_cast<long>(due % 1000000000)};
        SleepUntil(deadline);
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    pollfd out{sim.line, POLLOUT, 0};
    if (n < 0 && errno == EAGAIN && poll(&out, 1, kWriteWaitMs) > 0) continue;
    std::fprintf(stderr, "register-sim: %zu of %zu answer bytes not written\n", bytes.size() - at,
                 bytes.size());
    break;
  }
  return written;
}

// Answers frame n with code, disturbed as the fault options ask.
void Answer(Simulator& sim, uint32_t n, uint8_t code) {
  const SimOptions& o = sim.options;
  if (o.errorCode.count(n) != 0) code = o.errorCode.at(n);
  // A bad start is the command's start byte, as an echo of the frame would begin.
  std::string answer = BuildAnswer(code, o.badStart.count(n) != 0 ? kCommandStart : kAnswerStart,
                                   o.answerFirst, o.answerSecond);
  if (o.badChecksum.count(n) != 0) answer[6] = static_cast<char>(answer[6] + 1);
  if (o.shortAnswer.count(n) != 0) answer.resize(kAnswerSize - 1);
  if (o.extraByte.count(n) != 0) answer += kExtraByte;

  if (o.delayMs > 0) SleepMs(o.delayMs);
  if (o.lateMs.count(n) != 0) SleepMs(o.lateMs.at(n));
  if (o.holdFile.count(n) != 0) AwaitFile(o.holdFile.at(n));
  std::string written;
  if (o.splitMs.count(n) != 0) {
    written = WriteBytes(sim, answer.substr(0, 5));
    SleepMs(o.splitMs.at(n));
    if (answer.size() > 5) written += WriteBytes(sim, answer.substr(5));
  } else {
    written = WriteBytes(sim, answer);
  }
  if (o.strayMs.count(n) != 0) {
    if (o.strayMs.at(n) == kStrayOnNextBytes) {
      AwaitInput(sim);
    } else {
      SleepMs(o.strayMs.at(n));
    }
    written += WriteBytes(sim, std::string(1, kStrayByte));
  }
  Event(sim, "answer " + std::to_string(n) + " " + HexBytes(written));
}

// With --handshake: the line's software and hardware handshake as the program left it.
void LogHandshake(Simulator& sim, uint32_t n) {
  if (!sim.options.xonXoffAtStart && !sim.options.rtsCtsAtStart) return;
  termios settings{};
  if (tcgetattr(sim.line, &settings) != 0) return;
  const auto on = [](bool flag) { return flag ? "1" : "0"; };
  Event(sim, "handshake " + std::to_string(n) + " ixon=" + on(settings.c_iflag & IXON) + " ixoff=" +
                 on(settings.c_iflag & IXOFF) + " crtscts=" + on(settings.c_cflag & CRTSCTS));
}

void HandleFrame(Simulator& sim, const StreamPiece& frame) {
  const uint32_t n = ++sim.frames;
  LogHandshake(sim, n);
  Event(sim, "frame " + std::to_string(n) + " " + std::to_string(frame.baud) + " " +
                 HexBytes(frame.bytes));
  // The register keeps what a command did only when it answers it as done: an item it
  // refused, or answered with silence or garbled bytes, is not stored.
  GoodsBase after = sim.base;
  bool changed = false;
  const uint8_t code = ApplyCommand(after, FramePayload(frame.bytes), changed);
  if (changed && code == kDone && AnswersDone(sim.options, n)) {
    sim.base = std::move(after);
    WriteGoodsFile(sim);
  }
  if (sim.options.silent.count(n) == 0) Answer(sim, n, code);
  ++sim.handled;
}

void HandlePieces(Simulator& sim, const std::vector<StreamPiece>& pieces) {
  for (const StreamPiece& piece : pieces) {
    if (piece.kind == StreamPiece::Frame) {
      HandleFrame(sim, piece);
    } else {
      Event(sim, "junk " + HexBytes(piece.bytes));
    }
  }
}

bool Finished(const Simulator& sim) {
  return stopRequested || (sim.options.exitAfter > 0 && sim.handled >= sim.options.exitAfter);
}

// Reads what has arrived and deals with it. Returns false when the line has failed.
bool ReadLine(Simulator& sim) {
  char buffer[4096];
  const ssize_t n = read(sim.line, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (n <= 0) {
    std::fprintf(stderr, "register-sim: reading the line failed: %s\n",
                 n == 0 ? "end of file" : std::strerror(errno));
    return false;
  }
  const std::string bytes(buffer, static_cast<size_t>(n));
  sim.lastInput = Now();
  const uint32_t baud = LineBaud(sim);
  if (baud != sim.options.baud) {
    // Sent at another speed, these bytes would reach the register as noise.
    Event(sim, "garbled " + std::to_string(baud) + " " + HexBytes(bytes));
    return true;
  }
  HandlePieces(sim, FeedBytes(sim.splitter, bytes, baud));
  return true;
}

// Serves until a stop signal, --exit-after, or a failed line. Returns the exit status.
int Serve(Simulator& sim) {
  while (!Finished(sim)) {
    int timeout = -1;
    if (!sim.splitter.pending.empty()) {
      timeout = static_cast<int>(kPartialFrameIdleMs - MsSince(sim.lastInput));
      if (timeout <= 0) {
        // An incomplete frame that nothing has followed for a while is junk.
        HandlePieces(sim, FlushPending(sim.splitter));
        continue;
      }
    }
    pollfd in{sim.line, POLLIN, 0};
    const int ready = poll(&in, 1, timeout);
    if (ready < 0 && errno != EINTR) {
      std::fprintf(stderr, "register-sim: poll: %s\n", std::strerror(errno));
      return 1;
    }
    if (ready > 0 && !ReadLine(sim)) return 1;
  }
  return 0;
}

// Gives the program time to read the last answer before the line goes away: closing the
// master hangs up the slave, and what the program has not read yet is lost. The written
// bytes reach the slave's queue a moment after the write, so the queue is watched for a
// while before an empty queue counts as read.
void Linger(const Simulator& sim) {
  if (!sim.options.pty) {
    tcdrain(sim.line);
    return;
  }
  for (int waited = 0; waited < kLingerMs && !stopRequested; waited += kLingerStepMs) {
    int unread = 0;
    if (ioctl(sim.slave, FIONREAD, &unread) != 0) return;
    if (unread == 0 && waited >= kLingerGraceMs) return;
    SleepMs(kLingerStepMs);
  }
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "register-sim: %s: %s\n", what.c_str(), std::strerror(errno));
  return false;
}

// Points the --link path at the slave, replacing an earlier link (but nothing else).
bool MakeLink(Simulator& sim) {
  const std::string& path = sim.options.link;
  struct stat existing {};
  if (lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
    std::fprintf(stderr, "register-sim: %s exists and is not a symbolic link\n", path.c_str());
    return false;
  }
  const std::string temporary = path + ".register-sim-" + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(sim.slavePath.c_str(), temporary.c_str()) != 0) return Fail("symlink " + path);
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return Fail("symlink " + path);
  }
  sim.linkMade = true;
  return true;
}

// Removes the link if it still points at this simulator's slave.
void RemoveLink(const Simulator& sim) {
  if (!sim.linkMade) return;
  char target[4096];
  const ssize_t n = readlink(sim.options.link.c_str(), target, sizeof target - 1);
  if (n > 0 && std::string(target, static_cast<size_t>(n)) == sim.slavePath) {
    unlink(sim.options.link.c_str());
  }
}

bool OpenPseudoTerminal(Simulator& sim) {
  sim.line = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (sim.line < 0) return Fail("posix_openpt");
  char name[256];
  if (grantpt(sim.line) != 0 || unlockpt(sim.line) != 0 ||
      ptsname_r(sim.line, name, sizeof name) != 0) {
    return Fail("pseudo-terminal");
  }
  sim.slavePath = name;
  // Holding the slave keeps the line up between the program's runs. Its settings stay as a
  // new pseudo-terminal has them (cooked, echo on): the program must set the line itself.
  sim.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (sim.slave < 0) return Fail(sim.slavePath);
  if (sim.options.xonXoffAtStart || sim.options.rtsCtsAtStart) {
    // As a terminal program or a port's own defaults may leave a real line.
    termios settings{};
    if (tcgetattr(sim.slave, &settings) != 0) return Fail(sim.slavePath);
    if (sim.options.xonXoffAtStart) settings.c_iflag |= IXON | IXOFF;
    if (sim.options.rtsCtsAtStart) settings.c_cflag |= CRTSCTS;
    if (tcsetattr(sim.slave, TCSANOW, &settings) != 0) return Fail(sim.slavePath);
  }
  if (fcntl(sim.line, F_SETFL, fcntl(sim.line, F_GETFL) | O_NONBLOCK) != 0) {
    return Fail("pseudo-terminal");
  }
  return true;
}

bool OpenDevice(Simulator& sim) {
  const std::string& path = sim.options.device;
  sim.line = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (sim.line < 0) return Fail(path);
  termios settings{};
  if (tcgetattr(sim.line, &settings) != 0) return Fail(path);
  cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  const speed_t speed = SpeedCode(sim.options.baud);
  if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0 ||
      tcsetattr(sim.line, TCSANOW, &settings) != 0) {
    return Fail(path);
  }
  tcflush(sim.line, TCIOFLUSH);
  return true;
}

int Run(Simulator& sim) {
  if (!sim.options.logPath.empty()) {
    sim.log = std::fopen(sim.options.logPath.c_str(), "a");
    if (sim.log == nullptr) {
      Fail(sim.options.logPath);
      return 1;
    }
  }
  if (!(sim.options.pty ? OpenPseudoTerminal(sim) : OpenDevice(sim))) return 1;
  if (!sim.options.link.empty() && !MakeLink(sim)) return 1;
  WriteGoodsFile(sim);
  if (sim.options.pty) {
    std::printf("%s\n", sim.slavePath.c_str());
    std::fflush(stdout);
  }
  const int status = Serve(sim);
  if (status == 0 && !stopRequested) Linger(sim);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(SimUsage().c_str(), stdout);
      return 0;
    }
    if (arg == "--version") {
      std::fputs("register-sim " TALLY_VERSION_TEXT "\n", stdout);
      return 0;
    }
  }
  Simulator sim;
  std::string error;
  if (!ParseSimOptions(args, sim.options, error)) {
    std::fprintf(stderr, "register-sim: %s\n%s", error.c_str(), SimUsage().c_str());
    return 2;
  }
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTERM, &stop, nullptr);
  sigaction(SIGINT, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const int status = Run(sim);
  RemoveLink(sim);
  if (sim.slave >= 0) close(sim.slave);
  if (sim.line >= 0) close(sim.line);
  if (sim.log != nullptr) std::fclose(sim.log);
  return status;
}
