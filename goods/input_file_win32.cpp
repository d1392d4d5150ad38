#include <windows.h>

#include "goods/input_file.h"
#include "text/file_path_win32.h"

namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

InputFile::~InputFile() { close(); }

bool InputFile::open(const std::string& name) {
  close();
  // A name with a NUL byte would open some other file: the bytes before the NUL.
  if (name.find('\0') != std::string::npos) return false;
  // By its exact wide name, of any length. Shared for reading only: a viewer or a second run
  // reading the same file does not stand in the way, while a file that a program holds open
  // for writing cannot be opened, and nobody can write to it while it is read.
  const HANDLE file = CreateFileW(SystemPath(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // "COM1", "CON", "NUL" and pipes open too; only a file on disk is a goods file, and a port
  // must not stay held.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return true;
}

int64_t InputFile::read(char* buffer, size_t size) {
  if (handle_ == -1) return -1;
  if (size == 0) return 0;
  constexpr size_t kMostPerCall = 1U << 30;
  const DWORD want = static_cast<DWORD>(size < kMostPerCall ? size : kMostPerCall);
  DWORD got = 0;
  if (!ReadFile(AsHandle(handle_), buffer, want, &got, nullptr)) return -1;
  return got;
}

bool InputFile::rewind() {
  if (handle_ == -1) return false;
  LARGE_INTEGER start{};
  return SetFilePointerEx(AsHandle(handle_), start, nullptr, FILE_BEGIN) != 0;
}

int64_t InputFile::size() {
  LARGE_INTEGER size{};
  if (handle_ == -1 || !GetFileSizeEx(AsHandle(handle_), &size)) return -1;
  return size.QuadPart;
}

bool InputFile::seek(uint64_t offset) {
  if (handle_ == -1 || offset > static_cast<uint64_t>(INT64_MAX)) return false;
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN) != 0;
}

void InputFile::close() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
}
