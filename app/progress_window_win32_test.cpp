// The progress window on a real display (Wine under Xvfb).
#include "app/progress_window_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/dialog_layout.h"
#include "app/ui_pump_win32.h"

namespace {

bool HaveDisplay() {
  char value[256];
  return GetEnvironmentVariableA("DISPLAY", value, sizeof value) > 0;
}

#define REQUIRE_DISPLAY()                                      \
  if (!HaveDisplay())                                          \
  GTEST_SKIP() << "no DISPLAY: the progress window needs one " \
                  "(tests/run-under-xvfb.sh provides it)"

// Handles pending window messages through the hooks, as the upload does while it waits,
// until the condition holds or about two seconds have passed. Returns whether the condition
// held.
template <typename Condition>
bool PumpUntil(const PollHooks& hooks, Condition condition) {
  for (int i = 0; i < 2000 && !condition(); ++i) {
    if (!hooks.pumpOneMessage()) hooks.sleep(1);
  }
  return condition();
}

// Handles pending messages for a while (for things that must NOT happen).
void PumpFor(const PollHooks& hooks, int milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < static_cast<DWORD>(milliseconds)) {
    if (!hooks.pumpOneMessage()) hooks.sleep(1);
  }
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

RECT ChildRect(HWND parent, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The progress window as the user finds it: a top-level dialog of this thread captioned
// "OKA PF" with the progress bar among its children (a message box has the same class and
// caption, but no bar). nullptr when there is none.
BOOL CALLBACK KeepProgressWindow(HWND window, LPARAM found) {
  char caption[32] = {};
  GetWindowTextA(window, caption, sizeof caption);
  if (ClassOf(window) != "#32770" || std::string(caption) != "OKA PF" ||
      GetDlgItem(window, kProgressBarId) == nullptr) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND FindProgressWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), KeepProgressWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Runs showModal with body as the upload and checks that it ran once and that showModal
// returned only after it, with the window gone.
template <typename Body>
void RunUpload(Body body) {
  int calls = 0;
  bool uploadReturned = false;
  ProgressWindow::showModal([&](ProgressView& view, const PollHooks& hooks) {
    ++calls;
    body(view, hooks);
    uploadReturned = true;
    view.end();  // also after a failed check, so that the window never stays open
  });
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(uploadReturned);
  EXPECT_EQ(FindProgressWindow(), nullptr);
}

TEST(ProgressWindow, BuiltAsTheRegistersPictureWithABarAlongItsBottom) {
  REQUIRE_DISPLAY();
  RunUpload([](ProgressView& view, const PollHooks&) {
    HWND window = FindProgressWindow();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));

    // The system adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(static_cast<uint32_t>(GetWindowLongA(window, GWL_STYLE)),
              kProgressWindowStyle | WS_VISIBLE | WS_CLIPSIBLINGS);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) &
                  (WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_TOPMOST),
              0);
    char caption[32] = {};
    GetWindowTextA(window, caption, sizeof caption);
    EXPECT_STREQ(caption, "OKA PF");

    // No frame: the window is all inside, 218 x 170 within the rounding, centred.
    RECT client, frame;
    GetClientRect(window, &client);
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, client.right);
    EXPECT_EQ(frame.bottom - frame.top, client.bottom);
    EXPECT_NEAR(client.right, kPictureWidth, 2);
    EXPECT_NEAR(client.bottom, kPictureHeight, 2);
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((frame.left + frame.right) / 2, (work.left + work.right) / 2, 2);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (work.top + work.bottom) / 2, 2);

    // Picture first, then the bar.
    HWND picture = GetWindow(window, GW_CHILD);
    ASSERT_NE(picture, nullptr);
    HWND bar = GetWindow(picture, GW_HWNDNEXT);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetWindow(bar, GW_HWNDNEXT), nullptr);
    EXPECT_EQ(GetDlgCtrlID(picture), kPictureId);
    EXPECT_EQ(GetDlgCtrlID(bar), kProgressBarId);
    EXPECT_EQ(_stricmp(ClassOf(picture).c_str(), "STATIC"), 0) << ClassOf(picture);
    EXPECT_EQ(_stricmp(ClassOf(bar).c_str(), "msctls_progress32"), 0) << ClassOf(bar);
    EXPECT_EQ(static_cast<uint32_t>(GetWindowLongA(picture, GWL_STYLE)), kPictureStyle);
    EXPECT_EQ(static_cast<uint32_t>(GetWindowLongA(bar, GWL_STYLE)), kProgressBarStyle);
    EXPECT_EQ(GetWindowTextLengthA(bar), 0);
    EXPECT_EQ(GetWindowTextLengthA(picture), 0);

    // The picture holds bitmap 2 and has sized itself to it.
    auto bitmap = reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_TRUE(GetObjectA(bitmap, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, kPictureWidth);
    EXPECT_EQ(info.bmHeight, kPictureHeight);
    const RECT pictureRect = ChildRect(window, picture);
    EXPECT_EQ(pictureRect.left, 0);
    EXPECT_EQ(pictureRect.top, 0);
    EXPECT_EQ(pictureRect.right, kPictureWidth);
    EXPECT_EQ(pictureRect.bottom, kPictureHeight);

    // The bar: full width, reaching past the bottom edge, a strip of 6 pixels showing.
    const RECT barRect = ChildRect(window, bar);
    EXPECT_EQ(barRect.left, 0);
    EXPECT_EQ(barRect.right, client.right);
    EXPECT_GT(barRect.bottom, client.bottom);
    EXPECT_NEAR(client.bottom - barRect.top, kPictureHeight - kBarTop, 1);
    EXPECT_EQ(SendMessageA(bar, WM_GETFONT, 0, 0), SendMessageA(window, WM_GETFONT, 0, 0));

    view.repaint();
    view.setRange(10);
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 10);
    for (int i = 0; i < 4; ++i) view.stepIt();
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 4);
    view.end();
    EXPECT_FALSE(IsWindow(window));
  });
}

TEST(ProgressWindow, FullBarShowsAlongTheBottomOverThePicture) {
  REQUIRE_DISPLAY();
  RunUpload([](ProgressView& view, const PollHooks& hooks) {
    HWND window = FindProgressWindow();
    view.repaint();
    view.setRange(2);
    view.stepIt();
    view.stepIt();
    view.repaint();
    PumpFor(hooks, 200);
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    const COLORREF corner = GetPixel(dc, 2, 2);
    const COLORREF strip = GetPixel(dc, client.right / 2, client.bottom - 3);
    const COLORREF above = GetPixel(dc, 2, client.bottom - 12);
    ReleaseDC(window, dc);
    // The picture's near-white background, and the bar's fill colour below it.
    EXPECT_GE(GetRValue(corner) + GetGValue(corner) + GetBValue(corner), 3 * 230)
        << std::hex << corner;
    EXPECT_NE(strip, corner) << std::hex << strip;
    EXPECT_NE(strip, above) << std::hex << strip;
    view.end();
  });
}

TEST(ProgressWindow, EndingTwiceAndCallsAfterTheEndAreHarmless) {
  REQUIRE_DISPLAY();
  RunUpload([](ProgressView& view, const PollHooks&) {
    HWND window = FindProgressWindow();
    view.end();
    EXPECT_FALSE(IsWindow(window));
    view.end();
    view.repaint();
    view.setRange(5);
    view.stepIt();
    ProgressWindow::end(window);
    ProgressWindow::end(nullptr);
  });
}

// Alt+F4 while the upload goes on destroys the window at once, yet the upload goes on to
// its end and only then does showModal return.
TEST(ProgressWindow, SystemCloseDuringTheUploadDestroysTheWindowAtOnce) {
  REQUIRE_DISPLAY();
  const struct {
    const char* how;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } closes[] = {
      {"system command", WM_SYSCOMMAND, SC_CLOSE, 0},
      // Alt+F4 as the keyboard delivers it: F4 with the Alt key's context bit.
      {"Alt+F4 key", WM_SYSKEYDOWN, VK_F4, static_cast<LPARAM>(0x203E0001)},
  };
  for (const auto& close : closes) {
    SCOPED_TRACE(close.how);
    RunUpload([&](ProgressView& view, const PollHooks& hooks) {
      HWND window = FindProgressWindow();
      view.setRange(3);
      view.stepIt();
      HWND target = close.message == WM_SYSKEYDOWN ? GetFocus() : window;
      if (target == nullptr) target = window;
      PostMessageA(target, close.message, close.wParam, close.lParam);
      EXPECT_TRUE(PumpUntil(hooks, [&] { return !IsWindow(window); })) << "window still open";
      // The upload does not notice and carries on: nothing touches the dead window.
      view.stepIt();
      view.repaint();
      view.setRange(7);
      view.end();
    });
  }
}

// The window closed before its loop delivered WM_START_UPLOAD: the upload still runs (on no
// window), since ending without it would pass for a completed upload.
HWND windowsCreated[2];
int dialogsCreated = 0;
LRESULT CALLBACK CloseSecondDialogAtOnce(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const auto* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
    const auto window = reinterpret_cast<HWND>(wParam);
    // The measuring window comes first, the progress window second.
    const char* className = create->lpcs->lpszClass;
    const bool isDialog = IS_INTRESOURCE(className)
                              ? LOWORD(reinterpret_cast<ULONG_PTR>(className)) == 0x8002
                              : std::string(className) == "#32770";
    if (isDialog && create->lpcs->hwndParent == nullptr && dialogsCreated < 2) {
      windowsCreated[dialogsCreated++] = window;
      if (dialogsCreated == 2) PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(ProgressWindow, ClosedBeforeTheUploadStartsStillUploads) {
  REQUIRE_DISPLAY();
  dialogsCreated = 0;
  HHOOK hook = SetWindowsHookExA(WH_CBT, CloseSecondDialogAtOnce, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  int runs = 0;
  bool hadWindow = true;
  ProgressWindow::showModal([&](ProgressView& view, const PollHooks&) {
    ++runs;
    hadWindow = FindProgressWindow() != nullptr;
    view.setRange(2);  // harmless without a window
    view.stepIt();
    view.end();
  });
  UnhookWindowsHookEx(hook);
  ASSERT_EQ(dialogsCreated, 2);
  EXPECT_FALSE(IsWindow(windowsCreated[1]));
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(hadWindow);
}

TEST(ProgressWindow, EscapeDoesNotCloseIt) {
  REQUIRE_DISPLAY();
  RunUpload([](ProgressView& view, const PollHooks& hooks) {
    HWND window = FindProgressWindow();
    HWND target = GetFocus() != nullptr ? GetFocus() : window;
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001));
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    PumpFor(hooks, 300);
    EXPECT_TRUE(IsWindow(window));
    view.end();
  });
}

// The upload is taken out of the window when it starts: a WM_START_UPLOAD arriving while it
// runs finds none, ends the window and does not start the upload again (RunUpload counts
// the runs).
TEST(ProgressWindow, AnotherStartWhileTheUploadRunsEndsTheWindowOnly) {
  REQUIRE_DISPLAY();
  RunUpload([](ProgressView& view, const PollHooks& hooks) {
    HWND window = FindProgressWindow();
    ASSERT_TRUE(IsWindow(window));
    PostMessageA(window, WM_START_UPLOAD, 0, 0);
    EXPECT_TRUE(PumpUntil(hooks, [&] { return !IsWindow(window); })) << "window still open";
    view.stepIt();
  });
}

// What a dialog's procedure saw of an Esc key posted to the dialog: the dialog manager
// turns the key into IDCANCEL; plain dispatching delivers the key itself.
std::vector<UINT> seenByDialog;

INT_PTR CALLBACK RecordingDialogProcedure(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_KEYDOWN && wParam == VK_ESCAPE) seenByDialog.push_back(WM_KEYDOWN);
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) seenByDialog.push_back(WM_COMMAND);
  return FALSE;
}

HWND CreateRecordingDialog() {
  DialogTemplateFields fields;
  fields.style = WS_POPUP;
  fields.width = 50;
  fields.height = 20;
  const std::vector<uint16_t> words = BuildDialogTemplate(fields);
  return CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                    reinterpret_cast<LPCDLGTEMPLATEA>(words.data()), nullptr,
                                    RecordingDialogProcedure, 0);
}

TEST(PollHooks, OnlyTheirOwnDialogsMessagesGoThroughTheDialogManager) {
  REQUIRE_DISPLAY();
  HWND dialog = CreateRecordingDialog();
  HWND other = CreateRecordingDialog();
  HWND gone = CreateRecordingDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_NE(other, nullptr);
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);

  const struct {
    const char* whose;
    PollHooks hooks;
    std::vector<UINT> dialogSees;
  } cases[] = {
      {"the dialog's own", PlatformPollHooks(dialog), {WM_COMMAND}},
      {"another dialog's", PlatformPollHooks(other), {WM_KEYDOWN}},
      {"a dialog already gone", PlatformPollHooks(gone), {WM_KEYDOWN}},
      {"no dialog's", PlatformPollHooks(), {WM_KEYDOWN}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.whose);
    PumpFor(PlatformPollHooks(), 20);  // nothing left over from before
    seenByDialog.clear();
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(c.hooks.pumpOneMessage());  // the key
    EXPECT_EQ(seenByDialog, c.dialogSees);
  }
  PumpFor(PlatformPollHooks(), 20);
  EXPECT_FALSE(PlatformPollHooks(dialog).pumpOneMessage());  // nothing pending
  DestroyWindow(other);
  DestroyWindow(dialog);
}

// A plain window that records what the handler sends and posts to it, with a child standing
// in for the progress bar.
struct Recorded {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Recorded> recordedByParent;
std::vector<Recorded> recordedByChild;

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCLBUTTONDOWN || message == WM_SYSCOLORCHANGE || message == WM_START_UPLOAD) {
    auto& log = GetParent(window) != nullptr ? recordedByChild : recordedByParent;
    log.push_back({message, wParam, lParam});
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(ProgressWindowHandler, ReactsToItsFourMessagesAndReturnsZero) {
  REQUIRE_DISPLAY();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = RecordingProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TallyRecordingWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "TallyRecordingWindow", "", WS_POPUP, 0, 0, 50, 50, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  HWND child = CreateWindowExA(0, "TallyRecordingWindow", "", WS_CHILD, 0, 0, 5, 5, window,
                               reinterpret_cast<HMENU>(INT_PTR{kProgressBarId}),
                               windowClass.hInstance, nullptr);
  ASSERT_NE(child, nullptr);

  const struct {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::vector<UINT> parentGets;
    std::vector<UINT> childGets;
  } cases[] = {
      {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10), {WM_NCLBUTTONDOWN}, {}},
      {WM_INITDIALOG, 0, 0, {WM_START_UPLOAD}, {}},
      {WM_SYSCOLORCHANGE, 7, 9, {}, {WM_SYSCOLORCHANGE}},
      {WM_PAINT, 0, 0, {}, {}},
      {WM_COMMAND, IDCANCEL, 0, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "message " << c.message);
    recordedByParent.clear();
    recordedByChild.clear();
    EXPECT_EQ(ProgressWindow::handleMessage(window, c.message, c.wParam, c.lParam), 0);
    PumpFor(PlatformPollHooks(), 20);  // delivers what was posted
    std::vector<UINT> parentGot, childGot;
    for (const auto& r : recordedByParent) parentGot.push_back(r.message);
    for (const auto& r : recordedByChild) childGot.push_back(r.message);
    EXPECT_EQ(parentGot, c.parentGets);
    EXPECT_EQ(childGot, c.childGets);
    if (c.message == WM_LBUTTONDOWN && !recordedByParent.empty()) {
      EXPECT_EQ(recordedByParent[0].wParam, WPARAM{HTCAPTION});
      EXPECT_EQ(recordedByParent[0].lParam, 0);
    }
    if (c.message == WM_SYSCOLORCHANGE && !recordedByChild.empty()) {
      EXPECT_EQ(recordedByChild[0].wParam, c.wParam);
      EXPECT_EQ(recordedByChild[0].lParam, c.lParam);
    }
  }
  DestroyWindow(window);
}

}  // namespace
