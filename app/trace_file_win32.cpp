#include <windows.h>

#include "app/trace_file.h"
#include "text/cp1251.h"

bool TraceFile::open(const std::string& path) {
  close();
  // FILE_APPEND_DATA alone: every write lands at the end, also when another run appends to
  // the same file.
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return true;
}

void TraceFile::write(std::string_view bytes) {
  if (!isOpen()) return;
  DWORD written = 0;
  const auto size = static_cast<DWORD>(bytes.size());
  if (!WriteFile(reinterpret_cast<HANDLE>(handle_), bytes.data(), size, &written, nullptr) ||
      written != size) {
    close();
  }
}

void TraceFile::close() {
  if (!isOpen()) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kClosed;
}

std::string ProcessCommandLine() { return Cp1251ToUtf8(GetCommandLineA()); }

std::string_view TraceLineEnd() { return "\r\n"; }
