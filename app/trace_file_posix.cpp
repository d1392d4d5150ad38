#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "app/trace_file.h"

bool TraceFile::open(const std::string& path) {
  close();
  // A device is not even opened: opening a serial port or a terminal can change its lines.
  struct stat named {};
  if (stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) return false;
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
  return true;
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
