#include "text/file_path_win32.h"

#include <windows.h>

#include "text/file_path.h"
#include "text/wide_text.h"

std::wstring SystemPath(const std::string& name) {
  const std::u16string wide = Utf8ToUtf16(name);
  const auto* given = reinterpret_cast<const wchar_t*>(wide.c_str());
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = GetFullPathNameW(given, static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {  // too small: length is the size it needs
    full.resize(length);
    length = GetFullPathNameW(given, static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return std::wstring(given, wide.size());
  full.resize(length);
  const std::u16string longForm =
      LongPathForm(std::u16string_view(reinterpret_cast<const char16_t*>(full.data()), length));
  return std::wstring(reinterpret_cast<const wchar_t*>(longForm.data()), longForm.size());
}

std::string EnvironmentText(const wchar_t* name) {
  std::wstring value(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length < value.size()) {  // the length without its NUL (0: unset or empty)
      value.resize(length);
      break;
    }
    value.resize(length);  // too small: length is the size it needs, NUL included
  }
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(value.data()), value.size()));
}
