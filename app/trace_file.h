// The platform's side of the wire trace: the file it is appended to and the program's
// command line as started.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A file the trace appends to. Only a regular file on disk is taken: a device, a pipe or a
// serial port named by mistake is closed at once and the trace stays off, so that the trace
// can neither hang the program nor take a port away from it.
class TraceFile {
 public:
  TraceFile() = default;
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;
  ~TraceFile() { close(); }

  // Opens path (as TraceFileName gives it) for appending, creating it when missing; returns
  // whether it is open.
  bool open(const std::string& path);
  // Closes the file unwritten and, when the open created it, removes it by samePath, a name
  // of the same file (the name the open went through may be a link to it).
  void discard(const std::string& samePath);
  // Appends bytes; after a failed write the file is closed and later writes do nothing.
  void write(std::string_view bytes);
  void close();
  bool isOpen() const { return handle_ != kClosed; }
  // Whether the open file is the one that path names, by whatever name or link: the same
  // device and inode on Linux, the same volume serial number and file index on Windows.
  bool isFile(const std::string& path) const;

 private:
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // HANDLE on Windows, file descriptor on Linux
  bool created_ = false;       // the open made the file
};

// The file that TALLY_TRACE names, as the system gives it (UTF-8 from the wide environment
// on Windows, the variable's own bytes on Linux); empty when the variable is unset or empty.
std::string TraceFileName();

// The program's whole command line as it was started, program name included, in UTF-8.
std::string ProcessCommandLine();

// Line end of the trace file: CR LF on Windows (Notepad), LF on Linux.
std::string_view TraceLineEnd();
