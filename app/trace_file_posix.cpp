#include "app/trace_file_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/trace_file.h"

namespace {

// The open trace file as a signal handler needs it: its descriptor and the moment the
// record's times count from. The moment is written before the descriptor is published.
std::atomic<int> SignalTraceFd{-1};
int64_t SignalTraceStartMs = 0;
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler reads SignalTraceFd");

int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Appends the decimal digits of value (not negative) to out at position.
size_t PutNumber(char* out, size_t position, int64_t value) {
  char digits[24];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (count > 0) out[position++] = digits[--count];
  return position;
}

size_t PutText(char* out, size_t position, const char* text) {
  while (*text != '\0') out[position++] = *text++;
  return position;
}

}  // namespace

void FinishTraceOnSignal(int exitStatus) {
  const int fd = SignalTraceFd.load();
  if (fd < 0) return;
  // "<ms, right-aligned in 7 columns> ms  exit status <status>", then the record's empty line,
  // as the trace ends every run.
  int64_t elapsed = MonotonicMs() - SignalTraceStartMs;
  if (elapsed < 0) elapsed = 0;
  char digits[24];
  const size_t width = PutNumber(digits, 0, elapsed);
  char line[80];
  size_t n = 0;
  for (size_t pad = width; pad < 7; ++pad) line[n++] = ' ';
  n = PutNumber(line, n, elapsed);
  n = PutText(line, n, " ms  exit status ");
  n = PutNumber(line, n, exitStatus < 0 ? 0 : exitStatus);
  n = PutText(line, n, "\n\n");
  const ssize_t written = ::write(fd, line, n);
  static_cast<void>(written);  // nowhere to report a failure to
}

bool TraceFile::open(const std::string& path) {
  close();
  // A device is not even opened: opening a serial port or a terminal can change its lines.
  struct stat named {};
  const bool exists = stat(path.c_str(), &named) == 0;
  if (exists && !S_ISREG(named.st_mode)) return false;
  // O_NONBLOCK: a FIFO without a reader must not stop the program in the open.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  created_ = !exists;
  SignalTraceStartMs = MonotonicMs();
  SignalTraceFd.store(fd);
  return true;
}

bool TraceFile::isFile(const std::string& path) const {
  if (!isOpen()) return false;
  struct stat open {};
  struct stat named {};
  return fstat(static_cast<int>(handle_), &open) == 0 && stat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void TraceFile::discard(const std::string& samePath) {
  const bool created = created_ && isOpen();
  close();
  if (created) unlink(samePath.c_str());
}

void TraceFile::write(std::string_view bytes) {
  if (!isOpen()) return;
  const int fd = static_cast<int>(handle_);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      close();
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void TraceFile::close() {
  if (!isOpen()) return;
  SignalTraceFd.store(-1);
  ::close(static_cast<int>(handle_));
  handle_ = kClosed;
}

std::string TraceFileName() {
  const char* name = std::getenv("TALLY_TRACE");
  return name == nullptr ? std::string() : std::string(name);
}

std::string ProcessCommandLine() {
  // The arguments as the user typed them, separated by NUL bytes.
  std::string text;
  if (FILE* file = std::fopen("/proc/self/cmdline", "rb")) {
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
  }
  while (!text.empty() && text.back() == '\0') text.pop_back();
  for (char& c : text) {
    if (c == '\0') c = ' ';
  }
  return text;
}

std::string_view TraceLineEnd() { return "\n"; }
