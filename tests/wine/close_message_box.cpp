// Waits for the message box captioned "OKA PF", prints its text (UTF-8) and closes it with the OK
// button, as a user would. Usage: close_message_box [seconds]; exit status 0 when a box was closed,
// 1 on time-out.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
  HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  if (IsWindowVisible(window) && std::wstring(title) == L"OKA PF") {
    reinterpret_cast<Search*>(param)->box = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
  auto* text = reinterpret_cast<std::wstring*>(param);
  wchar_t className[32] = {};
  GetClassNameW(child, className, 32);
  if (lstrcmpiW(className, L"Static") != 0) return TRUE;
  const int length = GetWindowTextLengthW(child);
  if (length > 0 && text->empty()) {
    text->assign(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(child, text->data(), length + 1);
    text->resize(static_cast<size_t>(length));
  }
  return TRUE;
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const DWORD limit = (argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 30) * 1000;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < limit) {
    Search search;
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.box != nullptr) {
      Sleep(200);  // let the box finish building its controls
      std::wstring text;
      EnumChildWindows(search.box, ReadChild, reinterpret_cast<LPARAM>(&text));
      std::printf("%s\n", Utf8(text).c_str());
      std::fflush(stdout);
      PostMessageW(search.box, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(50);
  }
  return 1;
}
