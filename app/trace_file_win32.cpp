#include <windows.h>

#include <string>

#include "app/trace_file.h"
#include "text/file_path_win32.h"
#include "text/wide_text.h"

bool TraceFile::open(const std::string& path) {
  close();
  // By its exact wide name, of any length. FILE_APPEND_DATA alone: every write lands at the
  // end, also when another run appends to the same file.
  HANDLE file =
      CreateFileW(SystemPath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  created_ = !existed;
  return true;
}

void TraceFile::discard(const std::string& samePath) {
  const bool created = created_ && isOpen();
  // Closed first: the open shares no deletion.
  close();
  if (created) DeleteFileW(SystemPath(samePath).c_str());
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

namespace {

// Whether two open handles are the same file: the same volume and the same file index.
bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace

bool TraceFile::isFile(const std::string& path) const {
  if (!isOpen()) return false;
  // No access asked, every kind of sharing allowed: only the file's identity is read, and
  // the open conflicts with nobody, the trace's own handle included.
  const HANDLE named = CreateFileW(SystemPath(path).c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  const bool same = SameFile(reinterpret_cast<HANDLE>(handle_), named);
  CloseHandle(named);
  return same;
}

void TraceFile::close() {
  if (!isOpen()) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kClosed;
}

std::string TraceFileName() { return EnvironmentText(L"TALLY_TRACE"); }

std::string ProcessCommandLine() {
  return Utf16ToUtf8(reinterpret_cast<const char16_t*>(GetCommandLineW()));
}

std::string_view TraceLineEnd() { return "\r\n"; }
