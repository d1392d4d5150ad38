// What identifies a file and its content at one moment, so that a file that changes while
// the program reads it (an export still being written, a file replaced under its name) is
// noticed.
#pragma once

#include <cstdint>
#include <string>

struct FileIdentity {
  bool known = false;    // false: no such file, or the system would not tell
  uint64_t volume = 0;   // Linux: the device; Windows: the volume serial number
  uint64_t file = 0;     // Linux: the inode; Windows: the file index
  uint64_t size = 0;     // in bytes
  int64_t modified = 0;  // the last write: Linux in ns since 1970, Windows in 100 ns since 1601
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file that path names (links followed; on Windows the path as
// SystemPath makes it), read without reading or changing the file.
FileIdentity IdentityOfFile(const std::string& path);
// The identity of an open file: a file descriptor on Linux, a HANDLE on Windows.
FileIdentity IdentityOfOpenFile(intptr_t handle);

// Whether a and b are the same file, by whatever name or link, whatever its content.
inline bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.volume == b.volume && a.file == b.file;
}

// Whether now is the file that before was, with the same content: size and last write too.
inline bool Unchanged(const FileIdentity& before, const FileIdentity& now) {
  return before.known && before == now;
}
