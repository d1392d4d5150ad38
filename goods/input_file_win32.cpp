#include <windows.h>

#include "goods/input_file.h"

namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

InputFile::~InputFile() { close(); }

bool InputFile::open(const std::string& name) {
  close();
  // A name with a NUL byte would open some other file: the bytes before the NUL.
  if (name.find('\0') != std::string::npos) return false;
  // No sharing: a file that another program holds open cannot be opened, and nobody can
  // write to it while it is read.
  const HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(file);
  return true;
}

size_t InputFile::read(char* buffer, size_t size) {
  if (handle_ == -1 || size == 0) return 0;
  constexpr size_t kMostPerCall = 1U << 30;
  const DWORD want = static_cast<DWORD>(size < kMostPerCall ? size : kMostPerCall);
  DWORD got = 0;
  if (!ReadFile(AsHandle(handle_), buffer, want, &got, nullptr)) return 0;
  return got;
}

void InputFile::close() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
}
