// Sequential reading of an existing file on disk, opened read-only (on Windows shared with
// other readers only). A device (a serial port, a terminal, the null device), a pipe or a
// folder is no such file and does not open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "goods/byte_source.h"
#include "goods/file_identity.h"

class InputFile final : public ByteSource {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() override;

  // Opens the file named in UTF-8 on Windows (the path of any length, relative to the
  // current folder or not); on Linux named by the bytes as they are.
  bool open(const std::string& name);
  // Reads up to size bytes; returns the count read, 0 at the end of the file, -1 on a read
  // error (which must not pass for the end of the file: the goods after it would be lost).
  int64_t read(char* buffer, size_t size) override;
  bool rewind() override;
  int64_t size() override;
  bool seek(uint64_t offset) override;
  void close();
  // The open file's identity, to tell whether it changes while it is read.
  FileIdentity identity() const { return IdentityOfOpenFile(handle_); }

 private:
  intptr_t handle_ = -1;
};
