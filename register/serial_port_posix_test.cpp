// The Linux serial port against a real pseudo-terminal: the test holds the master side,
// the port opens the slave through TALLY_COM1.
#include "register/serial_port_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "register/serial_port.h"
#include "text/text_encoding.h"

namespace {

// How long a wait for bytes lasts before the test counts the line as hung: they come within
// moments on a working line.
constexpr int kHangSeconds = 20;

// A pseudo-terminal pair; its slave stands for COM1 while the object lives.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const char* name = ptsname(master_);
    if (name != nullptr) slave_ = name;
    setenv("TALLY_COM1", slave_.c_str(), 1);
  }
  ~Pty() {
    unsetenv("TALLY_COM1");
    if (master_ >= 0) ::close(master_);
  }
  bool ok() const { return master_ >= 0 && !slave_.empty(); }
  const std::string& slave() const { return slave_; }

  void write(const std::string& bytes) const {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads from the master until count bytes have come (or, when the line has gone wrong,
  // until kHangSeconds have passed).
  std::string read(size_t count) const {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kHangSeconds);
    while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd in{master_, POLLIN, 0};
      if (poll(&in, 1, 50) <= 0) continue;
      char buffer[512];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - out.size()));
      if (n <= 0) break;
      out.append(buffer, static_cast<size_t>(n));
    }
    return out;
  }
  // The slave's line settings: on Linux the master reads and writes the slave's termios.
  bool setSettings(const termios& t) const { return tcsetattr(master_, TCSANOW, &t) == 0; }
  termios settings() const {
    termios t{};
    tcgetattr(master_, &t);
    return t;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// Waits until the port reports at least count bytes waiting (for at most kHangSeconds).
int32_t WaitForBytes(SerialPort& port, int32_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kHangSeconds);
  int32_t waiting = 0;
  while ((waiting = port.bytesWaiting()) < count && std::chrono::steady_clock::now() < deadline) {
    usleep(5000);
  }
  return waiting;
}

// Whether the terminal at path is in exclusive mode, as another descriptor of it sees it.
bool Exclusive(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  int exclusive = -1;
  if (fd >= 0) {
    ioctl(fd, TIOCGEXCL, &exclusive);
    ::close(fd);
  }
  return exclusive == 1;
}

// Whether another program could take the lock on the device at path now.
bool Lockable(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return locked;
}

// A line as a user's terminal has it: cooked, echoing, 7 bits with parity, at 38400.
termios CookedLine(termios t) {
  t.c_iflag |= ICRNL | IXON | INPCK;
  t.c_oflag |= OPOST | ONLCR;
  t.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
  t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 3;
  cfsetispeed(&t, B38400);
  cfsetospeed(&t, B38400);
  return t;
}

void ExpectSameSettings(const termios& got, const termios& want) {
  EXPECT_EQ(got.c_iflag, want.c_iflag);
  EXPECT_EQ(got.c_oflag, want.c_oflag);
  EXPECT_EQ(got.c_cflag, want.c_cflag);
  EXPECT_EQ(got.c_lflag, want.c_lflag);
  EXPECT_EQ(cfgetispeed(&got), cfgetispeed(&want));
  EXPECT_EQ(cfgetospeed(&got), cfgetospeed(&want));
  EXPECT_EQ(got.c_cc[VMIN], want.c_cc[VMIN]);
  EXPECT_EQ(got.c_cc[VTIME], want.c_cc[VTIME]);
}

std::string AllByteValues() {
  std::string bytes;
  for (int v = 0; v < 256; ++v) bytes += static_cast<char>(v);
  return bytes;
}

}  // namespace

TEST(SerialPortPosix, DevicePathFollowsTheEnvironment) {
  unsetenv("TALLY_COM1");
  unsetenv("TALLY_COM2");
  EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("COM2"), "/dev/ttyS1");
  setenv("TALLY_COM1", "/dev/pts/41", 1);
  setenv("TALLY_COM2", "/dev/pts/42", 1);
  EXPECT_EQ(SerialDevicePath("COM1"), "/dev/pts/41");
  EXPECT_EQ(SerialDevicePath("COM2"), "/dev/pts/42");
  setenv("TALLY_COM2", "", 1);  // empty: as if unset
  EXPECT_EQ(SerialDevicePath("COM2"), "/dev/ttyS1");
  unsetenv("TALLY_COM1");
  unsetenv("TALLY_COM2");
}

TEST(SerialPortPosix, ConfigureMakesARawEightBitLineAtTheGivenSpeed) {
  for (const uint32_t baud : {19200u, 9600u}) {
    SCOPED_TRACE(baud);
    Pty pty;
    ASSERT_TRUE(pty.ok());
    // Start from a cooked line at another speed, as a terminal is when first opened.
    termios cooked = pty.settings();
    cooked.c_iflag |= ICRNL | IXON | IXOFF | INPCK | ISTRIP;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    cooked.c_cflag = (cooked.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    cfsetispeed(&cooked, B38400);
    cfsetospeed(&cooked, B38400);
    ASSERT_TRUE(pty.setSettings(cooked));

    SerialPort port;
    ASSERT_TRUE(port.open("COM1"));
    PortSettings settings;
    settings.baudRate = baud;
    port.configure(settings);
    const termios t = pty.settings();
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK | PARMRK), 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    const speed_t expected = baud == 19200 ? B19200 : B9600;
    EXPECT_EQ(cfgetospeed(&t), expected);
    EXPECT_EQ(cfgetispeed(&t), expected);
    // And the port tells so, and which device it is, but no queue sizes: it sets none.
    const LineSettingsReport report = port.settingsInEffect();
    EXPECT_TRUE(report.known);
    EXPECT_EQ(report.settings.baudRate, baud);
    EXPECT_EQ(report.settings.dataBits, 8);
    EXPECT_FALSE(report.settings.parityChecking);
    EXPECT_EQ(report.settings.stopBits, 1);
    EXPECT_FALSE(report.queuesKnown);
    EXPECT_EQ(port.deviceName(), pty.slave());
  }
}

TEST(SerialPortPosix, AnUnknownSpeedLeavesTheLineSpeedButSetsTheRest) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  SerialPort port;
  ASSERT_TRUE(port.open("COM1"));
  PortSettings settings;
  settings.baudRate = 9600;
  port.configure(settings);
  settings.baudRate = 12345;
  port.configure(settings);
  const termios t = pty.settings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_lflag & ICANON, 0u);
  // The speed the line has, not the one asked for.
  EXPECT_EQ(port.settingsInEffect().settings.baudRate, 9600u);
}

// COM1 open on a pseudo-terminal and configured, as a run has it.
class SerialPortPosixLine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(port.open("COM1"));
    port.configure(PortSettings{});
  }
  Pty pty;
  SerialPort port;
};

TEST_F(SerialPortPosixLine, EveryByteValuePassesBothWaysUnchanged) {
  const std::string all = AllByteValues();
  // Sent: CR, LF, XON, XOFF, ^C, DEL and 0xFF among them must reach the register as they are.
  ASSERT_TRUE(port.send(all));
  EXPECT_EQ(pty.read(all.size()), all);
  // Received: nothing echoed back, nothing translated, no signal raised.
  pty.write(all);
  ASSERT_EQ(WaitForBytes(port, 256), 256);
  EXPECT_EQ(port.receive(256), all);
  EXPECT_EQ(port.bytesWaiting(), 0);
  // No echo of what came in: a byte sent now is the first thing back.
  ASSERT_TRUE(port.send("\x7E"));
  EXPECT_EQ(pty.read(1), "\x7E");
}

TEST_F(SerialPortPosixLine, ALineThatTakesNoMoreBytesFailsTheSendWithinItsTimeAndStillCloses) {
  // The far end never reads: once the terminal's buffers are full, a send can only fail.
  const std::string frame(45, '\x55');
  int sent = 0;
  while (sent < 100000 && port.send(frame)) ++sent;
  EXPECT_LT(sent, 100000) << "4.5 MB taken by a line that never reads";
  // The last send gave up after its limit (2 s + 2 ms a byte); the next one does too, no
  // later than that plus a coarse margin for a busy machine.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.send(frame));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 2.0);
  EXPECT_LT(seconds, 10.0);
  // The close does not wait for the bytes the line did not take, and the port opens again.
  port.close();
  EXPECT_TRUE(port.open("COM1"));
}

TEST_F(SerialPortPosixLine, CountsWaitingBytesAndReadsOnlyWhatIsThere) {
  EXPECT_EQ(port.bytesWaiting(), 0);
  EXPECT_EQ(port.receive(7), "");  // nothing there: back at once, empty

  pty.write(std::string("\x18\x00\x00\x00\x19", 5));
  ASSERT_EQ(WaitForBytes(port, 5), 5);
  EXPECT_EQ(port.bytesWaiting(), 5);
  // The two missing bytes come only once the receive has returned: one that waited for them
  // would never return.
  std::future<std::string> received =
      std::async(std::launch::async, [this] { return port.receive(7); });
  const bool returned =
      received.wait_for(std::chrono::seconds(kHangSeconds)) == std::future_status::ready;
  EXPECT_TRUE(returned) << "waited for the two missing bytes";
  if (!returned) pty.write(std::string("\x00\x18", 2));  // let it end
  EXPECT_EQ(received.get(), std::string("\x18\x00\x00\x00\x19", 5));
  if (!returned) return;

  pty.write(std::string("\x00\x18", 2));
  ASSERT_EQ(WaitForBytes(port, 2), 2);
  EXPECT_EQ(port.receive(1), std::string(1, '\0'));  // a part of what waits
  EXPECT_EQ(port.bytesWaiting(), 1);
  EXPECT_EQ(port.receive(1), "\x18");
}

TEST(SerialPortPosix, APortHeldByAnotherFailsToOpen) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  SerialPort first;
  ASSERT_TRUE(first.open("COM1"));
  EXPECT_EQ(first.openFailureDetail(), "");
  SerialPort second;
  EXPECT_FALSE(second.open("COM1"));
  EXPECT_FALSE(second.isOpen());
  EXPECT_EQ(second.deviceName(), pty.slave());
  EXPECT_EQ(second.openFailureDetail(),
            pty.slave() + Utf8ToCp1251(": порт занят другой программой"));
  // The first one still works after the refused open.
  first.configure(PortSettings{});
  EXPECT_TRUE(first.send("\x17"));
  EXPECT_EQ(pty.read(1), "\x17");
  // Once released, the port opens again.
  first.close();
  EXPECT_FALSE(first.isOpen());
  EXPECT_TRUE(second.open("COM1"));
}

TEST(SerialPortPosix, ALockHeldByAnotherProgramKeepsThePortClosed) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const int holder = open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  SerialPort port;
  EXPECT_FALSE(port.open("COM1"));
  EXPECT_EQ(port.openFailureDetail(), pty.slave() + Utf8ToCp1251(": порт занят другой программой"));
  ::close(holder);
  EXPECT_TRUE(port.open("COM1"));
  EXPECT_EQ(port.openFailureDetail(), "");  // a successful open has nothing to tell
}

TEST(SerialPortPosix, WhatCannotOpen) {
  std::string dir = (std::filesystem::temp_directory_path() / "tally-port-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string plainFile = dir + "/not-a-terminal";
  std::ofstream(plainFile) << "x";
  // A socket's node opens with ENXIO, as a device without its hardware.
  const std::string socketPath = dir + "/socket";
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const struct {
    std::string path;
    std::string reason;  // UTF-8
  } cases[] = {
      {dir + "/missing", "нет такого устройства"},
      {socketPath, "нет такого устройства"},
      {plainFile, "это не последовательный порт"},
      {"/dev/null", "это не последовательный порт"},
      {dir, "Is a directory"},  // anything else: the system's own text
  };
  for (const auto& c : cases) {
    const std::string& path = c.path;
    SCOPED_TRACE(path);
    setenv("TALLY_COM1", path.c_str(), 1);
    SerialPort port;
    EXPECT_FALSE(port.open("COM1"));
    EXPECT_EQ(port.openFailureDetail(), path + ": " + Utf8ToCp1251(c.reason));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(port.receive(5), "");
    EXPECT_FALSE(port.send("x"));
  }
  unsetenv("TALLY_COM1");
  std::string left;
  std::getline(std::ifstream(plainFile), left);
  EXPECT_EQ(left, "x");  // opening it touched nothing
  ::close(listener);
  std::filesystem::remove_all(dir);
}

TEST(SerialPortPosix, ADeviceWithoutWriteAccessNamesThePermission) {
  // A read-only kernel attribute refuses opening for writing even to root, which a file with
  // mode 000 does not.
  const std::string readOnly = "/sys/kernel/uevent_seqnum";
  if (access(readOnly.c_str(), F_OK) != 0) GTEST_SKIP() << readOnly << " is not there";
  setenv("TALLY_COM1", readOnly.c_str(), 1);
  SerialPort port;
  EXPECT_FALSE(port.open("COM1"));
  EXPECT_EQ(port.openFailureDetail(), readOnly + Utf8ToCp1251(": нет прав доступа"));
  unsetenv("TALLY_COM1");
}

TEST(SerialPortPosix, FailureReasons) {
  const struct {
    int error;
    const char* reason;  // UTF-8
  } cases[] = {
      {EACCES, "нет прав доступа"},
      {EPERM, "нет прав доступа"},
      {ENOENT, "нет такого устройства"},
      {ENXIO, "нет такого устройства"},
      {ENODEV, "нет такого устройства"},
      {EBUSY, "порт занят другой программой"},
      {ENOTTY, "это не последовательный порт"},
      {EIO, "Input/output error"},
      {EMFILE, "Too many open files"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PortFailureReason(c.error), Utf8ToCp1251(c.reason)) << c.error;
  // The system's text stays English, and so Windows-1251, under a Russian UTF-8 locale.
  if (setlocale(LC_ALL, "ru_RU.UTF-8") != nullptr) {
    EXPECT_EQ(PortFailureReason(EIO), "Input/output error");
    setlocale(LC_ALL, "C");
  }
}

TEST(SerialPortPosix, GivingThePortBackRestoresItsSettingsAndFreesIt) {
  const struct {
    const char* what;
    void (*giveBack)(SerialPort&);
  } ways[] = {
      {"close", [](SerialPort& port) { port.close(); }},
      // What a signal handler does just before the process ends; the port stays open.
      {"signal", [](SerialPort&) { ReleasePortsOnSignal(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.what);
    Pty pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(pty.setSettings(CookedLine(pty.settings())));
    const termios before = pty.settings();  // as the terminal took them
    ASSERT_NE(before.c_lflag & ICANON, 0u);
    SerialPort port;
    ASSERT_TRUE(port.open("COM1"));
    port.configure(PortSettings{});
    const termios raw = pty.settings();
    EXPECT_EQ(cfgetospeed(&raw), static_cast<speed_t>(B19200));
    EXPECT_EQ(raw.c_lflag & ICANON, 0u);
    EXPECT_TRUE(Exclusive(pty.slave()));
    EXPECT_FALSE(Lockable(pty.slave()));

    way.giveBack(port);
    ExpectSameSettings(pty.settings(), before);
    EXPECT_FALSE(Exclusive(pty.slave()));
    EXPECT_TRUE(Lockable(pty.slave()));
    // Closing after a signal's release changes nothing more.
    port.close();
    ExpectSameSettings(pty.settings(), before);
  }
}

TEST(SerialPortPosix, ASignalAfterTheCloseLeavesTheDeviceAlone) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  SerialPort port;
  ASSERT_TRUE(port.open("COM1"));
  port.configure(PortSettings{});
  port.close();
  // Another program sets the device up its own way; a late signal must not undo that.
  ASSERT_TRUE(pty.setSettings(CookedLine(pty.settings())));
  const termios theirs = pty.settings();
  ReleasePortsOnSignal();
  ExpectSameSettings(pty.settings(), theirs);
}

TEST(SerialPortPosix, CloseWithoutOpenDoesNothing) {
  SerialPort never;
  never.close();
  never.close();
  EXPECT_FALSE(never.isOpen());
  Pty pty;
  ASSERT_TRUE(pty.ok());
  SerialPort port;
  ASSERT_TRUE(port.open("COM1"));
  port.close();
  port.close();
  EXPECT_FALSE(port.isOpen());
}
