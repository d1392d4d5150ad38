#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "goods/input_file.h"

InputFile::~InputFile() { close(); }

bool InputFile::open(const std::string& name) {
  close();
  // A name with a NUL byte would open some other file: the bytes before the NUL.
  if (name.find('\0') != std::string::npos) return false;
  // Without blocking, so that a FIFO with no writer cannot hold the open; without becoming
  // the controlling terminal when the name is a terminal's.
  int fd = -1;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  // Only a regular file (a symbolic link to one included) ends: a device or a pipe may never
  // end or never hold goods, and a folder is no text.
  struct stat status {};
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

int64_t InputFile::read(char* buffer, size_t size) {
  if (handle_ < 0) return -1;
  if (size == 0) return 0;
  const size_t want = size < static_cast<size_t>(SSIZE_MAX) ? size : static_cast<size_t>(SSIZE_MAX);
  ssize_t got = -1;
  do {
    got = ::read(static_cast<int>(handle_), buffer, want);
  } while (got < 0 && errno == EINTR);
  return got;
}

bool InputFile::rewind() {
  return handle_ >= 0 && lseek(static_cast<int>(handle_), 0, SEEK_SET) == 0;
}

int64_t InputFile::size() {
  struct stat status {};
  if (handle_ < 0 || fstat(static_cast<int>(handle_), &status) != 0) return -1;
  return status.st_size;
}

bool InputFile::seek(uint64_t offset) {
  if (handle_ < 0 || offset > static_cast<uint64_t>(INT64_MAX)) return false;
  const auto to = static_cast<off_t>(offset);
  return lseek(static_cast<int>(handle_), to, SEEK_SET) == to;
}

void InputFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}
