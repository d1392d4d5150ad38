#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "app/check_window.h"
#include "app/comctl.h"
#include "app/dialog_layout.h"
#include "app/library_win32.h"
#include "goods/file_identity.h"
#include "text/cp1251.h"
#include "text/file_path_win32.h"
#include "text/message_style.h"
#include "text/wide_text.h"

namespace {

// The children. The close button is IDOK, the window's default button: Enter closes the
// window wherever the focus is but on the save button, and Esc (IDCANCEL) closes it too.
constexpr int kVerdictId = 100;
constexpr int kListId = 101;
constexpr int kHintId = 102;
constexpr int kSaveId = 103;

// A resizable window with a caption, the system menu and its boxes, in the usual dialog font.
constexpr DWORD kWindowStyle = WS_POPUP | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU |
                               WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_SETFONT |
                               DS_3DLOOK;
constexpr uint16_t kPointSize = 8;
// The rows whose code repeats another's: a light red behind their text.
constexpr COLORREF kRepeatedBackground = RGB(255, 214, 214);

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::wstring Wide1251(std::string_view text) { return Wide(Cp1251ToUtf16(text)); }
std::wstring WideText(const char* utf8) { return Wide(Utf8ToUtf16(utf8)); }

// What the window shows and how its list stands; it lives in the window's DWLP_USER field.
struct CheckWindow {
  const GoodsTable& table;
  const std::string& goodsPath;
  std::wstring verdict;
  std::vector<CheckRow> rows;
  std::vector<std::array<std::wstring, kCheckColumns>> texts;  // the rows' texts, wide
  std::vector<size_t> order;                                   // the list's items: rows
  int sortColumn = -1;
  bool descending = false;
  int32_t pixelsPer1000X = 0;  // what 1000 dialog units measure on this display
  int32_t pixelsPer1000Y = 0;
  SIZE smallest{};  // the window's size at its smallest client area
};

CheckWindow* StateOf(HWND window) {
  return reinterpret_cast<CheckWindow*>(GetWindowLongPtrW(window, DWLP_USER));
}

HWND AddControl(HWND window, const wchar_t* className, DWORD style, DWORD exStyle, int id,
                const std::wstring& text) {
  HWND control = CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0,
                                 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control != nullptr) {
    SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(SendMessageW(window, WM_GETFONT, 0, 0)),
                 FALSE);
  }
  return control;
}

void MoveControl(HWND window, int id, const PixelRect& rect) {
  MoveWindow(GetDlgItem(window, id), rect.left, rect.top, rect.right - rect.left,
             rect.bottom - rect.top, TRUE);
}

void Arrange(HWND window, const CheckWindow& state) {
  RECT client;
  GetClientRect(window, &client);
  const CheckLayout layout =
      LayOutCheckWindow(client.right, client.bottom, state.pixelsPer1000X, state.pixelsPer1000Y);
  MoveControl(window, kVerdictId, layout.verdict);
  MoveControl(window, kListId, layout.list);
  MoveControl(window, kHintId, layout.hint);
  MoveControl(window, kSaveId, layout.save);
  MoveControl(window, IDOK, layout.close);
}

// The list's seven columns, their headings and widths; the quantities stand to the right,
// the line, the code (with its mark) and the name to the left.
void AddColumns(HWND list, const CheckLayout& layout) {
  const std::array<std::string, kCheckColumns> headings = CheckColumnHeadings();
  for (size_t c = 0; c < kCheckColumns; ++c) {
    std::wstring heading = Wide1251(headings[c]);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = c <= 2 ? LVCFMT_LEFT : LVCFMT_RIGHT;
    column.cx = layout.columnWidths[c];
    column.pszText = heading.data();
    column.iSubItem = static_cast<int>(c);
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
  }
}

// The window at its size for this display, within the work area of its monitor.
void Place(HWND window, CheckWindow& state) {
  RECT outer;
  RECT client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  const LONG frameWidth = (outer.right - outer.left) - client.right;
  const LONG frameHeight = (outer.bottom - outer.top) - client.bottom;
  RECT smallest{0, 0, kCheckWindowMinWidthUnits, kCheckWindowMinHeightUnits};
  MapDialogRect(window, &smallest);
  state.smallest = {smallest.right + frameWidth, smallest.bottom + frameHeight};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const PixelRect placed = PlaceInWorkArea(outer.right - outer.left, outer.bottom - outer.top,
                                           {work.left, work.top, work.right, work.bottom});
  SetWindowPos(window, nullptr, placed.left, placed.top, placed.right - placed.left,
               placed.bottom - placed.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Makes the children and places the window; false when the list cannot be made.
bool Build(HWND window, CheckWindow& state) {
  RECT measured{0, 0, kMeasuredUnits, kMeasuredUnits};
  MapDialogRect(window, &measured);
  state.pixelsPer1000X = measured.right;
  state.pixelsPer1000Y = measured.bottom;
  const size_t nameAt = state.goodsPath.find_last_of("\\/") + 1;
  SetWindowTextW(window, (WideText("OKA PF: проверка файла «") +
                          Wide(Utf8ToUtf16(state.goodsPath.substr(nameAt))) + WideText("»"))
                             .c_str());
  // The program's icon in the caption and on the taskbar.
  const auto icon =
      reinterpret_cast<LPARAM>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)));
  SendMessageW(window, WM_SETICON, ICON_BIG, icon);
  SendMessageW(window, WM_SETICON, ICON_SMALL, icon);
  AddControl(window, L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, kVerdictId,
             state.verdict);
  HWND list =
      AddControl(window, WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
                 WS_EX_CLIENTEDGE, kListId, L"");
  if (list == nullptr) return false;
  AddControl(window, L"STATIC", SS_LEFT | SS_NOPREFIX, 0, kHintId,
             WideText("Строки с повторяющимся кодом выделены. Щелчок по заголовку столбца "
                      "упорядочивает список, второй щелчок — в обратном порядке."));
  AddControl(window, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, kSaveId,
             WideText("Сохранить список…"));
  AddControl(window, L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK, WideText("Закрыть"));
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  AddColumns(list, LayOutCheckWindow(0, 0, state.pixelsPer1000X, state.pixelsPer1000Y));
  SendMessageW(list, LVM_SETITEMCOUNT, state.rows.size(), 0);
  Place(window, state);
  Arrange(window, state);
  SetFocus(list);
  return true;
}

// The file the user chooses in the system's Save dialog (UTF-8), offered beside the goods
// file; empty when the user cancels. The dialogs' library is loaded by name for the dialog's
// time, as the common controls are.
std::string ChooseListingFile(HWND window, const std::string& goodsPath) {
  HMODULE dialogs = LoadLibraryW(L"COMDLG32.DLL");
  const auto getSaveFileName = LookUp<BOOL(WINAPI*)(OPENFILENAMEW*)>(dialogs, "GetSaveFileNameW");
  std::vector<wchar_t> name(32768, L'\0');
  const std::wstring offered = Wide(Utf8ToUtf16(ListingFileName(goodsPath)));
  const DWORD length =
      GetFullPathNameW(offered.c_str(), static_cast<DWORD>(name.size()), name.data(), nullptr);
  if (length == 0 || length >= name.size()) {
    name.assign(name.size(), L'\0');
    offered.copy(name.data(), std::min(offered.size(), name.size() - 1));
  }
  const std::wstring filter = WideText("Список товаров (*.tsv)") + L'\0' + L"*.tsv" + L'\0' +
                              WideText("Все файлы") + L'\0' + L"*.*" + L'\0';
  const std::wstring title = WideText("Сохранить список товаров");
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"tsv";
  dialog.Flags =
      OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  const bool chosen = getSaveFileName != nullptr && getSaveFileName(&dialog);
  if (dialogs != nullptr) FreeLibrary(dialogs);
  return chosen ? Utf16ToUtf8(reinterpret_cast<const char16_t*>(name.data())) : std::string();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  return CloseHandle(file) && whole;
}

// The Save button: the listing into the file the user chooses, never into the goods file.
void SaveListing(HWND window, const CheckWindow& state) {
  const std::string path = ChooseListingFile(window, state.goodsPath);
  if (path.empty()) return;
  const char* failure = nullptr;
  if (SameFile(IdentityOfFile(path), IdentityOfFile(state.goodsPath))) {
    failure = "Список нельзя записать в файл товаров: ";
  } else if (!WriteWholeFile(path, SavedListing(state.table))) {
    failure = "Не могу записать файл: ";
  }
  if (failure == nullptr) return;
  const std::wstring text = WideText(failure) + Wide(Utf8ToUtf16(path));
  MessageBoxW(window, text.c_str(), Wide1251(kMessageCaption).c_str(), MB_OK | MB_ICONERROR);
}

// The list asks for the texts it shows (it holds none of its own) and tells of clicks on its
// headings and of the rows it is about to draw.
LRESULT HandleListNotice(CheckWindow& state, HWND list, NMHDR* notice) {
  switch (notice->code) {
    case LVN_GETDISPINFOW: {
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(notice)->item;
      const auto at = static_cast<size_t>(item.iItem);
      const auto column = static_cast<size_t>(item.iSubItem);
      if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0 &&
          at < state.order.size() && column < kCheckColumns) {
        lstrcpynW(item.pszText, state.texts[state.order[at]][column].c_str(), item.cchTextMax);
      }
      return 0;
    }
    case LVN_COLUMNCLICK: {
      const int column = reinterpret_cast<NMLISTVIEW*>(notice)->iSubItem;
      state.descending = column == state.sortColumn && !state.descending;
      state.sortColumn = column;
      state.order = SortedRows(state.rows, static_cast<size_t>(column), state.descending);
      InvalidateRect(list, nullptr, TRUE);
      return 0;
    }
    case NM_CUSTOMDRAW: {
      auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(notice);
      if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      const auto at = static_cast<size_t>(draw->nmcd.dwItemSpec);
      if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && at < state.order.size() &&
          state.rows[state.order[at]].repeated) {
        draw->clrText = RGB(0, 0, 0);
        draw->clrTextBk = kRepeatedBackground;
      }
      return CDRF_DODEFAULT;
    }
    default:
      return 0;
  }
}

INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    if (!Build(window, *reinterpret_cast<CheckWindow*>(lParam))) EndDialog(window, -1);
    return FALSE;  // the focus is the list's
  }
  CheckWindow* state = StateOf(window);
  if (state == nullptr) return FALSE;
  switch (message) {
    case WM_SIZE:
      Arrange(window, *state);
      return TRUE;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {state->smallest.cx,
                                                               state->smallest.cy};
      return TRUE;
    case WM_NOTIFY: {
      auto* notice = reinterpret_cast<NMHDR*>(lParam);
      if (notice->idFrom != kListId) return FALSE;
      SetWindowLongPtrW(window, DWLP_MSGRESULT, HandleListNotice(*state, notice->hwndFrom, notice));
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kSaveId) SaveListing(window, *state);
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(window, 0);
      return TRUE;
    case WM_CLOSE:
      EndDialog(window, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

bool ShowCheckWindow(const GoodsTable& table, const std::string& verdict,
                     const std::string& goodsPath, bool wholeUnitPrices) {
  CheckWindow state{table, goodsPath, Wide1251(verdict), CheckRows(table, wholeUnitPrices), {}, {}};
  state.texts.reserve(state.rows.size());
  for (const CheckRow& row : state.rows) {
    std::array<std::wstring, kCheckColumns>& texts = state.texts.emplace_back();
    for (size_t c = 0; c < kCheckColumns; ++c) texts[c] = Wide1251(row.texts[c]);
  }
  state.order = SortedRows(state.rows, 0, false);  // file order

  // The list view's class lives in the common controls, which the program loads by name and
  // holds for as long as the window runs.
  HMODULE commonControls = LoadLibraryW(L"COMCTL32.DLL");
  INITCOMCTL32(0);
  DialogTemplateFields fields;
  fields.style = kWindowStyle;
  fields.width = kCheckWindowWidthUnits;
  fields.height = kCheckWindowHeightUnits;
  fields.caption = kMessageCaption;
  fields.pointSize = kPointSize;
  fields.faceName = "MS Shell Dlg";
  const std::vector<uint16_t> words = BuildDialogTemplate(fields);
  const INT_PTR ended = DialogBoxIndirectParamW(
      GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), nullptr,
      &Procedure, reinterpret_cast<LPARAM>(&state));
  if (commonControls != nullptr) FreeLibrary(commonControls);
  return ended == 0;
}
