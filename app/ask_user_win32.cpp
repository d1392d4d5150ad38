#include <windows.h>
// After windows.h, which they need.
#include <commdlg.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/ask_user.h"
#include "app/library_win32.h"
#include "text/cp1251.h"
#include "text/message_style.h"
#include "text/wide_text.h"

namespace {

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The dialogs' and the shell's libraries are loaded by name for the dialog's time, as the
// common controls are (LookUp).

// The dialog's list of file types: a name and its patterns, each ended by a NUL, and one
// more NUL after the last.
std::u16string FileTypes() {
  std::u16string types;
  for (const char* part : {"Файлы товаров (*.txt; *.tsv; *.csv; *.xlsx; *.ods)",
                           "*.txt;*.tsv;*.csv;*.xlsx;*.ods", "Все файлы (*.*)", "*.*"}) {
    types += Utf8ToUtf16(part);
    types += u'\0';
  }
  return types;
}

std::u16string CurrentFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::u16string folder(size, u'\0');
  const DWORD length = GetCurrentDirectoryW(size, reinterpret_cast<wchar_t*>(folder.data()));
  folder.resize(length < size ? length : 0);
  return folder;
}

// Makes the user's Documents folder the current one; false when it cannot.
bool EnterDocuments() {
  HMODULE shell = LoadLibraryW(L"SHELL32.DLL");
  const auto getFolderPath =
      LookUp<HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR)>(shell, "SHGetFolderPathW");
  wchar_t documents[MAX_PATH] = {};
  const bool entered =
      getFolderPath != nullptr &&
      SUCCEEDED(getFolderPath(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)) &&
      SetCurrentDirectoryW(documents);
  if (shell != nullptr) FreeLibrary(shell);
  return entered;
}

}  // namespace

Answer AskForGoodsFile(std::string& fileName) {
  HMODULE dialogs = LoadLibraryW(L"COMDLG32.DLL");
  const auto getOpenFileName = LookUp<BOOL(WINAPI*)(OPENFILENAMEW*)>(dialogs, "GetOpenFileNameW");
  if (getOpenFileName == nullptr) {
    if (dialogs != nullptr) FreeLibrary(dialogs);
    return Answer::kNotAsked;
  }
  // Room for the longest path the system takes.
  std::vector<wchar_t> chosen(32768, L'\0');
  const std::u16string types = FileTypes();
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.lpstrFilter = Wide(types);
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = chosen.data();
  dialog.nMaxFile = static_cast<DWORD>(chosen.size());
  dialog.Flags =
      OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  // Given no folder to start in, the system starts the dialog in the folder last chosen in
  // this program's Open dialog, which it remembers by itself. Without one it starts in the
  // current folder if that holds files of the listed types, else in Documents. The shortcuts
  // start the program in its own folder, whose README-ru.txt would count: while the dialog
  // is up the current folder is Documents, and the program's own again afterwards.
  const std::u16string before = CurrentFolder();
  const bool moved = EnterDocuments();
  const BOOL opened = getOpenFileName(&dialog);
  if (moved && !before.empty()) SetCurrentDirectoryW(Wide(before));
  FreeLibrary(dialogs);
  if (!opened) return Answer::kNo;
  fileName = Utf16ToUtf8(reinterpret_cast<const char16_t*>(chosen.data()));
  return Answer::kYes;
}

Answer AskYesNo(const std::string& question) {
  const std::u16string text = Cp1251ToUtf16(question);
  const std::u16string caption = Cp1251ToUtf16(kMessageCaption);
  const int pressed =
      MessageBoxW(nullptr, Wide(text), Wide(caption), MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING);
  // Anything but Да is Нет.
  return pressed == IDYES ? Answer::kYes : Answer::kNo;
}
