// The goods file's input on Windows: who may hold the file open meanwhile. (Names of any
// letters and length are tried end to end, in tests/wine/file_names_wine.sh.)
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "goods/input_file.h"
#include "text/wide_text.h"

// Shared with other readers only: a viewer or a second run does not stand in the way; a
// program that writes to the file, or that shares it with nobody, does. While the file is
// read, nobody can write to it.
TEST(InputFile, SharedWithReadersOnly) {
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::wstring wide =
      std::wstring(temp) + L"tally-shared-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  const std::string name = Utf16ToUtf8(reinterpret_cast<const char16_t*>(wide.c_str()));
  const auto hold = [&wide](DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    return CreateFileW(wide.c_str(), access, share, nullptr, disposition, 0, nullptr);
  };
  CloseHandle(hold(GENERIC_WRITE, 0, CREATE_ALWAYS));
  const struct {
    DWORD access;
    DWORD share;
    bool opens;
  } holders[] = {
      {GENERIC_READ, FILE_SHARE_READ, true},
      {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
      {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
      {GENERIC_READ, 0, false},
  };
  for (const auto& h : holders) {
    const HANDLE holder = hold(h.access, h.share);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    InputFile file;
    EXPECT_EQ(file.open(name), h.opens) << h.access << " " << h.share;
    CloseHandle(holder);
  }

  InputFile reading;
  ASSERT_TRUE(reading.open(name));
  const HANDLE reader = hold(GENERIC_READ, FILE_SHARE_READ);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  const HANDLE writer = hold(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  reading.close();
  DeleteFileW(wide.c_str());
}
