// A user at the screen, for the end-to-end tests of TALLY.EXE under Wine.
//
// Runs beside TALLY.EXE in the same Wine prefix and on the same display, watches the
// top-level windows captioned "OKA PF" and writes what it sees to a log, one observation per
// line (UTF-8), each line starting with the milliseconds since the robot started:
//
//   <ms> box icon=<name> diffs=<name>:<n>,... text=<text>   a message box; then it presses OK
//   <ms> ok                                                   ... as here
//   <ms> answer enter|yes                                     ... or, in a box with Да and
//                                                             Нет, Enter (--answer no) or Да
//   <ms> open caption=<text> folder=<text> types=<text>|...   the system's Open dialog: the
//                                                             folder it shows, the file types
//   <ms> open-cancel | open-file <name>                       what the robot did in it
//   <ms> window style=0x.. exstyle=0x.. client=WxH rect=L,T,R,B screen=WxH
//   <ms> child id=N class=C style=0x.. exstyle=0x.. rect=L,T,R,B   (client coordinates)
//   <ms> picture image=<0|1> size=WxH diffs=N/M      the picture's pixels against bitmap 2
//   <ms> bar range=LO..HI pos=P                       PBM_GETRANGE / PBM_GETPOS, on change
//   <ms> gone                                         the progress window no longer exists
//   <ms> drag start|end ..., key esc|alt+f4 ..., shot NAME ...   actions asked for
//   <ms> check window rect=L,T,R,B work=L,T,R,B      the check window, its children's
//   <ms> check text <text> | list rows=N columns=M    texts, its list, the list's first 20
//   <ms> check row <text1\t...> | close KEY           rows; the key that closed it
//   <ms> other caption=<text>                         any other top-level window that shows
//
// Texts are written with \\, \t, \n, \r and \xNN escapes so that every observation stays on
// one line. The robot ends when the stop file appears (after one last look) or at its time
// limit (exit status 1).
//
// The robot tells what it sees, not when the program did it: the time stamps order the
// robot's own observations. The program handles another process's question about its bar
// only between two polls of the line, so every question may wait up to kAskLimitMs for its
// answer; a question that finds the window gone is simply not told.
//
// Telling the standard icons apart: Wine keeps an icon's bits in the process that loaded it,
// so the HICON that the box's icon control holds cannot be examined from here. Instead the
// icon control's pixels are read from the screen and compared with each standard icon
// (LoadIcon with IDI_ERROR, IDI_WARNING, IDI_INFORMATION, IDI_QUESTION) drawn here the same
// way, at the control's size, over the control's own background colour. In the same prefix
// the drawing is identical, so the shown icon matches exactly one candidate with no differing
// pixel, while the others differ in hundreds of pixels.
//
// Options (paths are Windows paths, e.g. Z:\tmp\...):
//   --log FILE          where the observations go (default: standard output)
//   --stop FILE         end once this file exists
//   --limit SECONDS     time limit (default 60)
//   --exe FILE          TALLY.EXE, whose bitmap 2 the picture is compared with
//   --shot-dir DIR      where screenshot requests are acknowledged (DIR\NAME.done)
//   --shot-at K:NAME    ask for a screenshot once the progress bar stands at K
//   --shot-box NAME     ask for a screenshot of the first message box before pressing OK
//   --drag-at K:MS      once the bar stands at K: press the left button on the picture, move
//                       the mouse, hold the button MS milliseconds in all (the bar's visible
//                       strip is read meanwhile: "drag end ... shown=F/W"), release it
//   --esc-at K          once the bar stands at K: press Esc (keyboard input)
//   --alt-f4-at K       once the bar stands at K: press Alt+F4 (keyboard input)
//   --answer yes|no     in a box with Да and Нет: click Да, or press Enter (the default
//                       button, which must be Нет); default no
//   --open-file NAME    in an Open dialog: type NAME as the file name and press Open;
//                       without it the robot presses Cancel
//                       (and with a check window: press its save button, save as NAME)
//   --check-close KEY   close the check window: esc, enter (default) or box
//   --shot-check NAME   ask for a screenshot of the check window
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

struct Options {
  std::string logPath;
  std::string stopPath;
  int limitSeconds = 60;
  std::string exePath;
  std::string shotDir;
  int shotAt = -1;
  std::string shotAtName;
  std::string shotBoxName;
  int dragAt = -1;
  int dragMs = 0;
  int escAt = -1;
  int altF4At = -1;
  bool answerYes = false;
  std::string openFile;
  std::string checkClose = "enter";
  std::string shotCheck;
};

ULONGLONG startTicks = 0;
FILE* logFile = stdout;

void Log(const char* format, ...) {
  std::fprintf(logFile, "%llu ", static_cast<unsigned long long>(GetTickCount64() - startTicks));
  va_list args;
  va_start(args, format);
  std::vfprintf(logFile, format, args);
  va_end(args);
  std::fputc('\n', logFile);
  std::fflush(logFile);
}

// UTF-8 with the escapes described above.
std::string Escape(const std::wstring& text) {
  std::wstring plain;
  std::string out;
  auto flush = [&] {
    if (plain.empty()) return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, plain.c_str(), static_cast<int>(plain.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, plain.c_str(), static_cast<int>(plain.size()), bytes.data(),
                        size, nullptr, nullptr);
    out += bytes;
    plain.clear();
  };
  for (wchar_t c : text) {
    if (c == L'\\' || c < 0x20 || c == 0x7F) {
      flush();
      char escaped[8];
      if (c == L'\\') {
        std::snprintf(escaped, sizeof escaped, "\\\\");
      } else if (c == L'\t') {
        std::snprintf(escaped, sizeof escaped, "\\t");
      } else if (c == L'\n') {
        std::snprintf(escaped, sizeof escaped, "\\n");
      } else if (c == L'\r') {
        std::snprintf(escaped, sizeof escaped, "\\r");
      } else {
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
      }
      out += escaped;
    } else {
      plain += c;
    }
  }
  flush();
  return out;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[4096] = {};
  GetWindowTextW(window, buffer, 4096);
  return buffer;
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, 256);
  return buffer;
}

bool FileExists(const std::string& path) {
  return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// --- pixels -------------------------------------------------------------------------------

// A block of pixels, 0x00RRGGBB, rows top-down.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> data;
  uint32_t at(int x, int y) const {
    return data[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] &
           0xFFFFFF;
  }
};

// A 32-bit top-down DIB section selected into a fresh memory DC; the caller draws into it.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;

  Canvas(int w, int h) : width(w), height(h) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* raw = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
    bits = static_cast<uint32_t*>(raw);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  Pixels take() const {
    GdiFlush();
    Pixels out;
    out.width = width;
    out.height = height;
    out.data.assign(bits, bits + static_cast<size_t>(width) * static_cast<size_t>(height));
    return out;
  }
};

// What the screen shows in a rectangle given in screen coordinates.
Pixels CaptureScreen(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return {};
  Canvas canvas(width, height);
  HDC screen = GetDC(nullptr);
  BitBlt(canvas.dc, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  return canvas.take();
}

COLORREF ToColorRef(uint32_t pixel) {
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

uint32_t ToPixel(COLORREF color) {
  return (static_cast<uint32_t>(GetRValue(color)) << 16) |
         (static_cast<uint32_t>(GetGValue(color)) << 8) | GetBValue(color);
}

size_t CountDiffs(const Pixels& a, const Pixels& b, int rows) {
  if (a.width != b.width) return SIZE_MAX;
  size_t diffs = 0;
  for (int y = 0; y < rows && y < a.height && y < b.height; ++y) {
    for (int x = 0; x < a.width; ++x) diffs += a.at(x, y) != b.at(x, y) ? 1 : 0;
  }
  return diffs;
}

// --- message boxes ------------------------------------------------------------------------

// The standard icons by their numbers: IDI_ERROR (IDI_HAND), IDI_QUESTION, IDI_WARNING
// (IDI_EXCLAMATION), IDI_INFORMATION (IDI_ASTERISK).
struct IconCandidate {
  const char* name;
  WORD id;
};
const IconCandidate kIcons[] = {
    {"error", 32513}, {"warning", 32515}, {"information", 32516}, {"question", 32514}};

HWND FindIconControl(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (lstrcmpiW(ClassName(child).c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
        IsWindowVisible(child)) {
      return child;
    }
  }
  return nullptr;
}

// Names the standard icon that the box shows, or "none"; details gets every candidate's
// count of differing pixels.
std::string IdentifyIcon(HWND box, std::string& details) {
  HWND control = FindIconControl(box);
  if (control == nullptr) return "none";
  RECT rect;
  GetWindowRect(control, &rect);
  const Pixels shown = CaptureScreen(rect);
  if (shown.width == 0) return "none";
  // The icons leave their corners transparent: the corner shows the control's background.
  const uint32_t background = shown.at(0, 0);
  std::string best = "unknown";
  size_t bestDiffs = SIZE_MAX;
  for (const IconCandidate& candidate : kIcons) {
    Canvas canvas(shown.width, shown.height);
    HBRUSH brush = CreateSolidBrush(ToColorRef(background));
    RECT all{0, 0, shown.width, shown.height};
    FillRect(canvas.dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(canvas.dc, 0, 0, LoadIconW(nullptr, MAKEINTRESOURCEW(candidate.id)), shown.width,
               shown.height, 0, nullptr, DI_NORMAL);
    const size_t diffs = CountDiffs(shown, canvas.take(), shown.height);
    if (!details.empty()) details += ",";
    details += std::string(candidate.name) + ":" + std::to_string(diffs);
    if (diffs < bestDiffs) {
      bestDiffs = diffs;
      best = candidate.name;
    }
  }
  // Only an exact picture names an icon.
  return bestDiffs == 0 ? best : "unknown";
}

// --- screenshots ------------------------------------------------------------------------

// Asks the test script for a screenshot and waits (at most 10 s) until it says it has one.
void RequestScreenshot(const Options& options, const std::string& name) {
  const std::string done = options.shotDir + "\\" + name + ".done";
  Log("shot %s", name.c_str());
  const ULONGLONG asked = GetTickCount64();
  while (!FileExists(done) && GetTickCount64() - asked < 10000) Sleep(20);
  Log("shot %s %s", name.c_str(), FileExists(done) ? "taken" : "not-taken");
}

void SendKey(WORD key, bool up);

void HandleBox(HWND box, const Options& options, bool first) {
  // The box may show before its icon has been painted: looked at again until one of the
  // standard icons is there (at most 10 s).
  std::string details;
  std::string icon = IdentifyIcon(box, details);
  const ULONGLONG seen = GetTickCount64();
  while ((icon == "none" || icon == "unknown") && GetTickCount64() - seen < 10000) {
    Sleep(20);
    details.clear();
    icon = IdentifyIcon(box, details);
  }
  wchar_t text[4096] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 4096);
  Log("box icon=%s diffs=%s text=%s", icon.c_str(), details.c_str(), Escape(text).c_str());
  if (first && !options.shotBoxName.empty()) RequestScreenshot(options, options.shotBoxName);
  if (GetDlgItem(box, IDYES) == nullptr) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    Log("ok");
  } else if (options.answerYes) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
    Log("answer yes");
  } else {
    // As a user at the keyboard answers: Enter presses whichever button is the default.
    SetForegroundWindow(box);
    SendKey(VK_RETURN, false);
    SendKey(VK_RETURN, true);
    Log("answer enter");
  }
}

// --- the Open dialog ----------------------------------------------------------------------

// The system's Open dialog (Explorer style) by its controls: the list of file types (cmb1,
// 0x470) and the folder list (cmb2, 0x471).
constexpr int kFileTypesId = 0x470;
constexpr int kFolderListId = 0x471;
constexpr int kFileNameComboId = 0x47C;  // cmb13
constexpr int kFileNameEditId = 0x480;   // edt1

bool IsOpenDialog(HWND window) {
  return ClassName(window) == L"#32770" && GetDlgItem(window, kFileTypesId) != nullptr &&
         GetDlgItem(window, kFolderListId) != nullptr;
}

// The selected item's text of a combo box, or its items joined by "|" (all true).
std::wstring ComboText(HWND combo, bool all) {
  DWORD_PTR count = 0;
  DWORD_PTR selected = 0;
  SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &count);
  SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 1000, &selected);
  std::wstring text;
  for (DWORD_PTR i = 0; i < count; ++i) {
    if (!all && i != selected) continue;
    wchar_t item[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 1000, &length);
    if (length < 1024) {
      SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item), SMTO_ABORTIFHUNG,
                          1000, &length);
    }
    if (!text.empty()) text += L"|";
    text += item;
  }
  return text;
}

// Tells the dialog's folder and file types, then presses Cancel, or types the name asked for
// and presses Open.
void HandleOpenDialog(HWND dialog, const Options& options) {
  Log("open caption=%s folder=%s types=%s", Escape(WindowText(dialog)).c_str(),
      Escape(ComboText(GetDlgItem(dialog, kFolderListId), false)).c_str(),
      Escape(ComboText(GetDlgItem(dialog, kFileTypesId), true)).c_str());
  if (options.openFile.empty()) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    Log("open-cancel");
    return;
  }
  HWND name = GetDlgItem(dialog, kFileNameComboId);
  if (name == nullptr) name = GetDlgItem(dialog, kFileNameEditId);
  // The robot's arguments come in the ANSI code page (1251 under the Russian locale).
  const int size = MultiByteToWideChar(CP_ACP, 0, options.openFile.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, options.openFile.c_str(), -1, wide.data(), size);
  wide.resize(wcslen(wide.c_str()));
  DWORD_PTR done = 0;
  SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG,
                      5000, &done);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  Log("open-file %s", Escape(wide).c_str());
}

// --- input --------------------------------------------------------------------------------

void SendKey(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(INPUT));
}

void SendMouseButton(bool up) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
  SendInput(1, &input, sizeof(INPUT));
}

void MoveMouseTo(int x, int y) {
  SetCursorPos(x, y);
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(INPUT));
}

// --- the progress window ------------------------------------------------------------------

struct ProgressWatch {
  HWND window = nullptr;
  bool described = false;
  bool gone = false;
  int lastLow = -1;
  int lastHigh = -1;
  int lastPos = -1;
  int highestPos = -1;
  bool shotDone = false;
  bool dragDone = false;
  bool escDone = false;
  bool altF4Done = false;
  bool pictureTold = false;
  ULONGLONG pictureTried = 0;
  std::string pictureLine = "picture not-seen";
};

void DescribeChild(HWND window, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  Log("child id=%d class=%s style=0x%08lX exstyle=0x%08lX rect=%ld,%ld,%ld,%ld",
      GetDlgCtrlID(child), Escape(ClassName(child)).c_str(),
      static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE)),
      static_cast<unsigned long>(GetWindowLongW(child, GWL_EXSTYLE)), rect.left, rect.top,
      rect.right, rect.bottom);
}

// Compares the picture control's pixels on screen with bitmap 2 of TALLY.EXE, loaded here as
// the program loads it. The bottom rows are left out where the progress bar covers them.
// Returns whether they match; line gets the observation.
bool ComparePicture(HWND window, const Options& options, std::string& line) {
  HWND picture = GetDlgItem(window, 1002);
  HWND bar = GetDlgItem(window, 3072);
  if (picture == nullptr) {
    line = "picture none";
    return false;
  }
  LRESULT image = 0;
  SendMessageTimeoutW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0, SMTO_ABORTIFHUNG, 1000,
                      reinterpret_cast<PDWORD_PTR>(&image));
  HMODULE exe = options.exePath.empty()
                    ? nullptr
                    : LoadLibraryExA(options.exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HBITMAP bitmap = exe == nullptr
                       ? nullptr
                       : static_cast<HBITMAP>(LoadImageA(exe, "#2", IMAGE_BITMAP, 0, 0,
                                                         LR_LOADMAP3DCOLORS | LR_CREATEDIBSECTION));
  BITMAP info = {};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof info, &info) == 0) {
    line = std::string("picture image=") + (image != 0 ? "1" : "0") + " no bitmap 2 in the exe";
    if (exe != nullptr) FreeLibrary(exe);
    return false;
  }
  RECT rect;
  GetWindowRect(picture, &rect);
  RECT area{rect.left, rect.top, rect.left + info.bmWidth, rect.top + info.bmHeight};
  int rows = info.bmHeight;
  RECT barRect;
  if (bar != nullptr && GetWindowRect(bar, &barRect) && barRect.top < area.bottom) {
    rows = barRect.top - area.top;
  }
  const Pixels shown = CaptureScreen(area);
  Canvas expected(info.bmWidth, info.bmHeight);
  HDC source = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(source, bitmap);
  BitBlt(expected.dc, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  const Pixels wanted = expected.take();
  const size_t diffs = CountDiffs(shown, wanted, rows);
  // Where the first difference is, to tell a shifted picture from wrong colours.
  std::string first = "none";
  for (int y = 0; y < rows && first == "none"; ++y) {
    for (int x = 0; x < info.bmWidth; ++x) {
      if (shown.at(x, y) == wanted.at(x, y)) continue;
      char text[64];
      std::snprintf(text, sizeof text, "%d,%d:%06X/%06X", x, y, shown.at(x, y), wanted.at(x, y));
      first = text;
      break;
    }
  }
  char text[256];
  std::snprintf(text, sizeof text,
                "picture image=%d size=%ldx%ld bpp=%u diffs=%llu/%lld first-diff=%s",
                image != 0 ? 1 : 0, info.bmWidth, info.bmHeight,
                static_cast<unsigned>(info.bmBitsPixel), static_cast<unsigned long long>(diffs),
                static_cast<long long>(rows) * info.bmWidth, first.c_str());
  line = text;
  DeleteObject(bitmap);
  FreeLibrary(exe);
  return diffs == 0 && rows > 0;
}

void Describe(HWND window) {
  RECT rect;
  RECT client;
  GetWindowRect(window, &rect);
  GetClientRect(window, &client);
  Log("window style=0x%08lX exstyle=0x%08lX client=%ldx%ld rect=%ld,%ld,%ld,%ld screen=%dx%d",
      static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
      static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)), client.right, client.bottom,
      rect.left, rect.top, rect.right, rect.bottom, GetSystemMetrics(SM_CXSCREEN),
      GetSystemMetrics(SM_CYSCREEN));
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    DescribeChild(window, child);
  }
}

// Columns of the bar's visible strip that show the bar's fill colour, counted along a row in
// the middle of the strip, inside the bar's one-pixel edge: "F/W", or empty when the window
// has gone. Told once two looks in a row agree: the screen may show the window half painted
// for a moment.
std::string ShownBar(HWND window) {
  std::string candidate;
  const ULONGLONG started = GetTickCount64();
  while (IsWindow(window) && GetTickCount64() - started < 5000) {
    HWND bar = GetDlgItem(window, 3072);
    RECT barRect;
    RECT windowRect;
    if (bar == nullptr || !GetWindowRect(bar, &barRect) || !GetWindowRect(window, &windowRect)) {
      return {};
    }
    const RECT strip{barRect.left + 1, barRect.top + 1, barRect.right - 1, windowRect.bottom};
    if (strip.bottom - strip.top < 1 || strip.right <= strip.left) return {};
    const int middle = (strip.bottom - strip.top) / 2;
    const RECT row{strip.left, strip.top + middle, strip.right, strip.top + middle + 1};
    const Pixels pixels = CaptureScreen(row);
    if (pixels.width == 0) return {};
    const uint32_t fill = ToPixel(GetSysColor(COLOR_HIGHLIGHT));
    int filled = 0;
    for (int x = 0; x < pixels.width; ++x) filled += pixels.at(x, 0) == fill ? 1 : 0;
    const std::string shown = std::to_string(filled) + "/" + std::to_string(pixels.width);
    if (shown == candidate) return shown;
    candidate = shown;
    Sleep(20);
  }
  return {};
}

// How long a question to the program's window may wait for its answer: the program answers
// between two polls of the line, 13 ms apart, but a busy machine may hold it much longer.
constexpr UINT kAskLimitMs = 5000;

bool AskBar(HWND bar, UINT message, WPARAM wParam, int& value) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(bar, message, wParam, 0, SMTO_ABORTIFHUNG, kAskLimitMs, &result) == 0) {
    return false;
  }
  value = static_cast<int>(result);
  return true;
}

// Waits (at most 5 s) for the window to stand somewhere else than before.
RECT MovedRect(HWND window, const RECT& before) {
  RECT now = before;
  const ULONGLONG started = GetTickCount64();
  while (GetTickCount64() - started < 5000 && GetWindowRect(window, &now) &&
         now.left == before.left && now.top == before.top) {
    Sleep(10);
  }
  return now;
}

void Drag(ProgressWatch& watch, int holdMs) {
  RECT before;
  GetWindowRect(watch.window, &before);
  // The middle of the picture, well above the bar.
  const int x = (before.left + before.right) / 2;
  const int y = before.top + 40;
  MoveMouseTo(x, y);
  Log("drag start pos=%d", watch.lastPos);
  const ULONGLONG pressed = GetTickCount64();
  SendMouseButton(false);
  // A hand moving the mouse: small steps, a little apart.
  for (int step = 1; step <= 10; ++step) {
    Sleep(30);
    MoveMouseTo(x + 4 * step, y + 3 * step);
  }
  const RECT moved = MovedRect(watch.window, before);
  while (GetTickCount64() - pressed < static_cast<ULONGLONG>(holdMs) / 2) Sleep(10);
  // The window handles its messages inside the drag: its bar is on the screen as it stands.
  const std::string shown = ShownBar(watch.window);
  while (GetTickCount64() - pressed < static_cast<ULONGLONG>(holdMs)) Sleep(10);
  // The run is held inside the drag: what the bar says now is what it said at the press.
  int pos = -1;
  AskBar(GetDlgItem(watch.window, 3072), PBM_GETPOS, 0, pos);
  SendMouseButton(true);
  Log("drag end pos-before-release=%d shown=%s moved=%ld,%ld", pos,
      shown.empty() ? "none" : shown.c_str(), moved.left - before.left, moved.top - before.top);
}

void PressKeys(ProgressWatch& watch, bool altF4) {
  SetForegroundWindow(watch.window);
  Log("key %s pos=%d", altF4 ? "alt+f4" : "esc", watch.lastPos);
  if (altF4) {
    SendKey(VK_MENU, false);
    SendKey(VK_F4, false);
    SendKey(VK_F4, true);
    SendKey(VK_MENU, true);
  } else {
    SendKey(VK_ESCAPE, false);
    SendKey(VK_ESCAPE, true);
  }
}

void SampleProgress(ProgressWatch& watch, const Options& options) {
  if (!IsWindow(watch.window)) {
    watch.gone = true;
    if (!watch.pictureTold) Log("%s", watch.pictureLine.c_str());
    Log("gone");
    return;
  }
  if (!watch.described) {
    watch.described = true;
    Describe(watch.window);
  }
  // The window may show before its first paint has reached the screen: the picture is looked
  // at again every 50 ms until it matches, and told once.
  if (!watch.pictureTold && GetTickCount64() - watch.pictureTried >= 50) {
    watch.pictureTried = GetTickCount64();
    if (ComparePicture(watch.window, options, watch.pictureLine)) {
      watch.pictureTold = true;
      Log("%s", watch.pictureLine.c_str());
    }
  }
  // The position on every look; the range again whenever the position has changed.
  HWND bar = GetDlgItem(watch.window, 3072);
  int pos = 0;
  if (bar != nullptr && AskBar(bar, PBM_GETPOS, 0, pos) && pos != watch.lastPos) {
    int low = 0;
    int high = 0;
    if (AskBar(bar, PBM_GETRANGE, TRUE, low) && AskBar(bar, PBM_GETRANGE, FALSE, high)) {
      watch.lastLow = low;
      watch.lastHigh = high;
      watch.lastPos = pos;
      if (pos > watch.highestPos) watch.highestPos = pos;
      Log("bar range=%d..%d pos=%d", low, high, pos);
    }
  }
  const int at = watch.highestPos;
  if (!watch.shotDone && options.shotAt >= 0 && at >= options.shotAt) {
    watch.shotDone = true;
    RequestScreenshot(options, options.shotAtName);
  }
  if (!watch.dragDone && options.dragAt >= 0 && at >= options.dragAt) {
    watch.dragDone = true;
    Drag(watch, options.dragMs);
  }
  if (!watch.escDone && options.escAt >= 0 && at >= options.escAt) {
    watch.escDone = true;
    PressKeys(watch, false);
  }
  if (!watch.altF4Done && options.altF4At >= 0 && at >= options.altF4At) {
    watch.altF4Done = true;
    PressKeys(watch, true);
  }
}

// --- the check window ---------------------------------------------------------------------

// A cell's text of another process's list view: the request and the text it fills live in
// that process's memory for the call.
std::wstring ListCell(HWND list, int row, int column) {
  struct Remote {
    LVITEMW item;
    wchar_t text[512];
  } local{};
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(Remote), MEM_COMMIT, PAGE_READWRITE));
  local.item.iSubItem = column;
  local.item.pszText = reinterpret_cast<wchar_t*>(remote + offsetof(Remote, text));
  local.item.cchTextMax = 511;
  DWORD_PTR length = 0;
  if (remote != nullptr && WriteProcessMemory(process, remote, &local, sizeof local, nullptr) &&
      SendMessageTimeoutW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote),
                          SMTO_ABORTIFHUNG, kAskLimitMs, &length) != 0) {
    ReadProcessMemory(process, local.item.pszText, local.text, sizeof local.text, nullptr);
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return local.text;
}

bool IsCheckWindow(HWND window) {
  return WindowText(window).rfind(L"OKA PF", 0) == 0 &&
         FindWindowExW(window, nullptr, L"SysListView32", nullptr) != nullptr;
}

// Waits (at most 60 s) for a condition.
template <typename Condition>
void WaitUntil(Condition condition) {
  for (const ULONGLONG started = GetTickCount64();
       !condition() && GetTickCount64() - started < 60000;) {
    Sleep(20);
  }
}

// Presses the check window's save button (103) and answers the Save dialog it opens as an
// Open dialog; waits for the dialog to come and to go.
void SaveCheckList(HWND window, const Options& options) {
  PostMessageW(GetDlgItem(window, 103), BM_CLICK, 0, 0);
  HWND dialog = nullptr;
  WaitUntil([&] {
    while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr)) != nullptr) {
      if (GetWindow(dialog, GW_OWNER) == window && IsOpenDialog(dialog)) return true;
    }
    return false;
  });
  HandleOpenDialog(dialog, options);
  WaitUntil([&] { return !IsWindow(dialog); });
}

// Tells the window's place, its controls' texts and the list's first rows; saves the list
// (as --open-file names it) and takes a screenshot when asked, then closes the window by the
// key or the close box asked for.
void HandleCheckWindow(HWND window, const Options& options) {
  RECT rect;
  RECT work;
  GetWindowRect(window, &rect);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  Log("check window rect=%ld,%ld,%ld,%ld work=%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right,
      rect.bottom, work.left, work.top, work.right, work.bottom);
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t text[4096] = {};  // asked for: an edit control keeps its text itself
    SendMessageW(child, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    Log("check text %s", Escape(text).c_str());
  }
  HWND list = FindWindowExW(window, nullptr, L"SysListView32", nullptr);
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  const int columns = static_cast<int>(SendMessageW(
      reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
  Log("check list rows=%d columns=%d", rows, columns);
  for (int r = 0; r < rows && r < 20; ++r) {
    std::wstring texts;
    for (int c = 0; c < columns; ++c) texts += (c == 0 ? L"" : L"\t") + ListCell(list, r, c);
    Log("check row %s", Escape(texts).c_str());
  }
  if (!options.shotCheck.empty()) RequestScreenshot(options, options.shotCheck);
  if (!options.openFile.empty()) SaveCheckList(window, options);
  Log("check close %s", options.checkClose.c_str());
  SetForegroundWindow(window);
  if (options.checkClose == "box") {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else {
    const WORD key = options.checkClose == "esc" ? VK_ESCAPE : VK_RETURN;
    SendKey(key, false);
    SendKey(key, true);
  }
}

// --- the watch ------------------------------------------------------------------------------

struct Seen {
  std::vector<HWND> boxes;
  std::vector<HWND> openDialogs;
  HWND progress = nullptr;
  HWND check = nullptr;
  std::vector<HWND> others;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  auto* seen = reinterpret_cast<Seen*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  if (IsCheckWindow(window)) {
    seen->check = window;
  } else if (IsOpenDialog(window)) {
    seen->openDialogs.push_back(window);
  } else if (WindowText(window) != L"OKA PF") {
    seen->others.push_back(window);
  } else if (GetDlgItem(window, 0xFFFF) != nullptr) {
    seen->boxes.push_back(window);
  } else if (GetDlgItem(window, 3072) != nullptr) {
    seen->progress = window;
  }
  return TRUE;
}

bool ParseAt(const char* text, int& k, std::string& rest) {
  const char* colon = std::strchr(text, ':');
  k = std::atoi(text);
  rest = colon != nullptr ? colon + 1 : "";
  return colon != nullptr;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    std::string rest;
    if (name == "--log") {
      options.logPath = value;
    } else if (name == "--stop") {
      options.stopPath = value;
    } else if (name == "--limit") {
      options.limitSeconds = std::atoi(value);
    } else if (name == "--exe") {
      options.exePath = value;
    } else if (name == "--shot-dir") {
      options.shotDir = value;
    } else if (name == "--shot-at") {
      if (!ParseAt(value, options.shotAt, options.shotAtName)) return false;
    } else if (name == "--shot-box") {
      options.shotBoxName = value;
    } else if (name == "--drag-at") {
      if (!ParseAt(value, options.dragAt, rest)) return false;
      options.dragMs = std::atoi(rest.c_str());
    } else if (name == "--esc-at") {
      options.escAt = std::atoi(value);
    } else if (name == "--alt-f4-at") {
      options.altF4At = std::atoi(value);
    } else if (name == "--answer") {
      options.answerYes = std::strcmp(value, "yes") == 0;
    } else if (name == "--open-file") {
      options.openFile = value;
    } else if (name == "--check-close") {
      options.checkClose = value;
    } else if (name == "--shot-check") {
      options.shotCheck = value;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  startTicks = GetTickCount64();
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: ui_robot [--log FILE] [--stop FILE] [--limit S] [--exe FILE] "
                 "[--shot-dir DIR] [--shot-at K:NAME] [--shot-box NAME] "
                 "[--drag-at K:MS] [--esc-at K] [--alt-f4-at K] [--answer yes|no] "
                 "[--open-file NAME] [--check-close esc|enter|box] "
                 "[--shot-check NAME]\n");
    return 2;
  }
  if (!options.logPath.empty()) {
    logFile = std::fopen(options.logPath.c_str(), "wb");
    if (logFile == nullptr) return 2;
  }
  Log("start");

  std::set<HWND> handledBoxes;
  std::set<HWND> handledOpenDialogs;
  std::set<HWND> handledChecks;
  std::set<HWND> reportedOthers;
  ProgressWatch watch;
  bool firstBox = true;
  const ULONGLONG limit = static_cast<ULONGLONG>(options.limitSeconds) * 1000;
  bool stopping = false;
  while (true) {
    // One more look after the stop file has appeared: the program has ended by then.
    if (FileExists(options.stopPath)) stopping = true;
    Seen seen;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&seen));
    for (HWND other : seen.others) {
      // A window already gone has no class any more: one the system showed for a moment
      // (the Open dialog makes such), not one a user would have to deal with.
      const std::wstring className = ClassName(other);
      if (className.empty()) continue;
      if (reportedOthers.insert(other).second) {
        Log("other caption=%s class=%s", Escape(WindowText(other)).c_str(),
            Escape(className).c_str());
      }
    }
    if (watch.window != nullptr && !watch.gone) SampleProgress(watch, options);
    if (watch.window == nullptr && seen.progress != nullptr) {
      watch.window = seen.progress;
      SampleProgress(watch, options);
    }
    if (seen.check != nullptr && handledChecks.insert(seen.check).second) {
      HandleCheckWindow(seen.check, options);
    }
    for (HWND dialog : seen.openDialogs) {
      if (handledOpenDialogs.insert(dialog).second) HandleOpenDialog(dialog, options);
    }
    for (HWND box : seen.boxes) {
      if (handledBoxes.insert(box).second) {
        HandleBox(box, options, firstBox);
        firstBox = false;
      }
    }
    if (stopping) break;
    if (GetTickCount64() - startTicks > limit) {
      Log("time-limit");
      return 1;
    }
    Sleep(5);
  }
  Log("stop");
  return 0;
}
