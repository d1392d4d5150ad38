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
  int fd = -1;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat status {};
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

size_t InputFile::read(char* buffer, size_t size) {
  if (handle_ < 0 || size == 0) return 0;
  const size_t want = size < static_cast<size_t>(SSIZE_MAX) ? size : static_cast<size_t>(SSIZE_MAX);
  ssize_t got = -1;
  do {
    got = ::read(static_cast<int>(handle_), buffer, want);
  } while (got < 0 && errno == EINTR);
  return got > 0 ? static_cast<size_t>(got) : 0;
}

void InputFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}
