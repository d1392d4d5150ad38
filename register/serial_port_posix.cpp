// The serial port on Linux: a terminal device in raw mode, held for exclusive use.
#include "register/serial_port_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>

#include "register/port_device.h"
#include "register/serial_port.h"
#include "text/text_encoding.h"

namespace {

// A write that the line does not take within its time ends as a failed send instead of
// holding the program, as on Windows: two seconds, plus two milliseconds a byte (about four
// times what a byte takes at 9600 bit/s). A line that takes no more bytes (a register or an
// adapter that stopped reading, a handshake line held) thus ends the run within seconds.
constexpr int64_t kWriteTimeoutMs = 2000;
constexpr int64_t kWriteTimeoutPerByteMs = 2;

int Fd(intptr_t handle) { return static_cast<int>(handle); }

int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Waits until the terminal's output queue is empty, the bytes gone out on the line, but not
// past deadline; returns whether it emptied. A terminal that cannot tell its queue (a
// pseudo-terminal hands bytes straight to its other side) counts as empty.
bool OutputDrainedBy(int fd, int64_t deadline) {
  for (;;) {
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) return true;
    if (MonotonicMs() >= deadline) return false;
    const timespec step{0, 1000000};  // 1 ms: a byte takes about 0.5 ms at 19200 bit/s
    nanosleep(&step, nullptr);
  }
}

// An open port as a signal handler needs it: its descriptor and the settings it had before
// it was opened. The settings are written before the descriptor is published, so a handler
// that sees the descriptor also sees them. The program opens one port; tests may hold a few.
struct OpenPort {
  std::atomic<int> fd{-1};
  termios saved{};
};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler reads OpenPort::fd");
std::array<OpenPort, 4> OpenPorts;

OpenPort* OpenPortOf(int fd) {
  for (OpenPort& port : OpenPorts) {
    if (port.fd.load() == fd) return &port;
  }
  return nullptr;
}

// One read-modify-write of the line settings. A device that refuses the change keeps its
// previous settings; the caller goes on with the next step regardless.
template <typename Change>
void ChangeSettings(int fd, Change change) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return;
  change(settings);
  tcsetattr(fd, TCSANOW, &settings);
}

}  // namespace

std::string SerialDevicePath(const std::string& portName) {
  const std::string variable = PortVariableName(portName);
  if (variable.empty()) return portName;
  const char* chosen = getenv(variable.c_str());
  if (chosen != nullptr && *chosen != '\0') return chosen;
  return portName == "COM1" ? "/dev/ttyS0" : "/dev/ttyS1";
}

std::string PortFailureReason(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return Utf8ToCp1251("нет прав доступа");
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return Utf8ToCp1251("нет такого устройства");
    case EBUSY:
      return Utf8ToCp1251("порт занят другой программой");
    case ENOTTY:
      return Utf8ToCp1251("это не последовательный порт");
    default:
      break;
  }
  // The C locale's English text, whatever locale the program runs in: plain ASCII, the same
  // bytes in Windows-1251.
  const locale_t plain = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  if (plain == static_cast<locale_t>(nullptr)) return "error " + std::to_string(error);
  std::string text = strerror_l(error, plain);
  freelocale(plain);
  return text;
}

void ReleasePortsOnSignal() {
  // tcflush and tcsetattr are async-signal-safe; ioctl and flock are single system calls.
  for (OpenPort& port : OpenPorts) {
    const int fd = port.fd.load();
    if (fd < 0) continue;
    // A frame cut short is dropped by the register; finished at the old speed it would be
    // noise.
    tcflush(fd, TCOFLUSH);
    tcsetattr(fd, TCSANOW, &port.saved);
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
  }
}

SerialPort::~SerialPort() { close(); }

bool SerialPort::open(const std::string& portName) {
  close();
  openFailure_.clear();
  const std::string path = SerialDevicePath(portName);
  device_ = path;
  const auto fail = [this, &path](int error, int fd) {
    if (fd >= 0) ::close(fd);
    // Device names are UTF-8 on Linux; the message is Windows-1251.
    openFailure_ = Utf8ToCp1251(path) + ": " + PortFailureReason(error);
    return false;
  };
  // Not blocking on the open itself: a modem line without carrier would hold it forever.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fail(errno, -1);
  termios saved{};
  if (!isatty(fd) || tcgetattr(fd, &saved) != 0) return fail(ENOTTY, fd);
  OpenPort* record = OpenPortOf(-1);
  if (record == nullptr) return fail(EMFILE, fd);
  // Exclusive use, as a Windows port opened without sharing: a port that another program
  // holds fails to open. TIOCEXCL keeps out later opens of the device (the open fails with
  // EBUSY); the lock also turns away a program that opened it first and holds the lock.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno, fd);
  // Known to a signal handler before the device is changed in any way.
  record->saved = saved;
  record->fd.store(fd);
  ioctl(fd, TIOCEXCL);
  // The descriptor stays non-blocking: no write or read may wait without a limit (send sets
  // its own).
  handle_ = fd;
  return true;
}

void SerialPort::configure(const PortSettings& settings) {
  if (!isOpen()) return;
  const int fd = Fd(handle_);
  // 1. Speed. A speed the terminal has no code for leaves the line at its previous speed.
  speed_t speed = 0;
  if (settings.baudRate == 19200) speed = B19200;
  if (settings.baudRate == 9600) speed = B9600;
  if (speed != 0) {
    ChangeSettings(fd, [speed](termios& t) {
      cfsetispeed(&t, speed);
      cfsetospeed(&t, speed);
    });
  }
  // 2. Eight data bits.
  ChangeSettings(fd, [](termios& t) { t.c_cflag = (t.c_cflag & ~CSIZE) | CS8; });
  // 3. No parity checking on arrival.
  ChangeSettings(fd, [](termios& t) {
    t.c_cflag &= ~(PARENB | PARODD);
    t.c_iflag &= ~(INPCK | PARMRK | ISTRIP);
  });
  // 4. One stop bit.
  ChangeSettings(fd, [](termios& t) { t.c_cflag &= ~CSTOPB; });
  // 5. Raw transfer (step 3 has turned off parity marking and stripping): every byte value
  // passes untouched both ways, nothing is echoed or turned into a signal, no line editing, no
  // handshake on either side; the receiver is on and the modem lines are ignored. A read
  // returns whatever is there without waiting.
  ChangeSettings(fd, [](termios& t) {
    t.c_iflag &=
        ~(IGNBRK | BRKINT | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~CRTSCTS;
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
  });
  // The transmit and receive queues are the kernel's own (4 KiB and more); a terminal has
  // no call to size them, so the queue settings need no step here.
  // 6. Fresh queues: bytes from before this run (a late answer to a run that ended, say)
  // must never complete an answer of this one. Within the run nothing is discarded.
  tcflush(fd, TCIOFLUSH);
}

LineSettingsReport SerialPort::settingsInEffect() const {
  LineSettingsReport report;
  termios t{};
  if (!isOpen() || tcgetattr(Fd(handle_), &t) != 0) return report;
  report.known = true;
  const speed_t speed = cfgetospeed(&t);
  report.settings.baudRate = speed == B19200 ? 19200 : speed == B9600 ? 9600 : 0;
  const tcflag_t size = t.c_cflag & CSIZE;
  report.settings.dataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
  report.settings.parityChecking = (t.c_cflag & PARENB) != 0;
  report.settings.stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
  return report;
}

bool SerialPort::send(const std::string& bytes) {
  if (!isOpen()) return false;
  const int fd = Fd(handle_);
  const int64_t deadline =
      MonotonicMs() + kWriteTimeoutMs + kWriteTimeoutPerByteMs * static_cast<int64_t>(bytes.size());
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n > 0) {
      written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || errno != EAGAIN) return false;
    // The terminal's queue is full: wait for room, until the deadline at most.
    const int64_t left = deadline - MonotonicMs();
    if (left <= 0) return false;
    pollfd out{fd, POLLOUT, 0};
    if (poll(&out, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
  }
  // Like the synchronous write on Windows: back once the bytes have left, within the same
  // time.
  return OutputDrainedBy(fd, deadline);
}

int32_t SerialPort::bytesWaiting() {
  if (!isOpen()) return 0;
  int waiting = 0;
  if (ioctl(Fd(handle_), FIONREAD, &waiting) != 0 || waiting < 0) return 0;
  return static_cast<int32_t>(waiting);
}

std::string SerialPort::receive(int32_t count) {
  std::string bytes;
  if (!isOpen() || count <= 0) return bytes;
  const int fd = Fd(handle_);
  bytes.resize(static_cast<size_t>(count));
  size_t got = 0;
  while (got < bytes.size()) {
    // Only what is already there: never wait for more.
    pollfd in{fd, POLLIN, 0};
    const int ready = poll(&in, 1, 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (in.revents & POLLIN) == 0) break;
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

void SerialPort::close() {
  if (!isOpen()) return;
  const int fd = Fd(handle_);
  // The device gets back the settings it had before it was opened. A signal handler that
  // runs meanwhile does the same again, which changes nothing.
  OpenPort* record = OpenPortOf(fd);
  // Bytes that a stalled line did not take are dropped: the close would otherwise wait for
  // them (up to half a minute on a serial port).
  tcflush(fd, TCOFLUSH);
  if (record != nullptr) tcsetattr(fd, TCSANOW, &record->saved);
  ioctl(fd, TIOCNXCL);
  flock(fd, LOCK_UN);
  if (record != nullptr) record->fd.store(-1);
  ::close(fd);
  handle_ = kClosed;
}
