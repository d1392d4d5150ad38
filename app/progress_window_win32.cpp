#include "app/progress_window_win32.h"

#include <commctrl.h>

#include "app/comctl.h"
#include "app/dialog_layout.h"
#include "app/ui_pump_win32.h"

namespace {

// What the upload does to the window. The user may close the window with Alt+F4 while the
// upload goes on, so every call first checks that the window still exists.
class WindowView final : public ProgressView {
 public:
  explicit WindowView(HWND window) : window_(window) {}

  void repaint() override {
    if (!IsWindow(window_)) return;
    RedrawWindow(window_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }

  void setRange(int32_t itemCount) override {
    if (!IsWindow(window_)) return;
    HWND bar = GetDlgItem(window_, kProgressBarId);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, itemCount));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
  }

  void stepIt() override {
    if (!IsWindow(window_)) return;
    SendMessageA(GetDlgItem(window_, kProgressBarId), PBM_STEPIT, 0, 0);
  }

  void end() override { ProgressWindow::end(window_); }

 private:
  HWND window_;
};

// The upload of one modal run. The window carries it in its DWLP_USER field until
// WM_START_UPLOAD takes it out; it runs once, in the window or, when the window never
// delivered WM_START_UPLOAD, on no window after it.
class PendingUpload {
 public:
  explicit PendingUpload(const ProgressWindow::Upload& upload) : upload_(upload) {}
  PendingUpload(const PendingUpload&) = delete;
  PendingUpload& operator=(const PendingUpload&) = delete;

  // Runs the upload in the window (nullptr: on no window) with the answer waits handling
  // that window's messages; does nothing once the upload has started.
  void run(HWND window) {
    if (started_) return;
    started_ = true;
    WindowView view(window);
    upload_(view, PlatformPollHooks(window));
  }

 private:
  const ProgressWindow::Upload& upload_;
  bool started_ = false;
};

// Takes the window's pending upload out of its DWLP_USER field; nullptr when there is none.
PendingUpload* TakePendingUpload(HWND window) {
  auto* pending = reinterpret_cast<PendingUpload*>(GetWindowLongPtrA(window, DWLP_USER));
  SetWindowLongPtrA(window, DWLP_USER, 0);
  return pending;
}

// A handle the holder releases with Release when it goes; nullptr holds nothing.
template <typename Handle, auto Release>
class Held {
 public:
  explicit Held(Handle handle) : handle_(handle) {}
  ~Held() {
    if (handle_ != nullptr) Release(handle_);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

 private:
  Handle handle_;
};

// A reference to a loaded library.
using LibraryReference = Held<HMODULE, FreeLibrary>;
// A bitmap the program loaded. A picture control shows a bitmap given to it but does not
// own it.
using OwnedBitmap = Held<HANDLE, DeleteObject>;

// The procedure a window is created with. It keeps the creation parameter, the run's
// pending upload, in the window's DWLP_USER field and leaves every message to the default
// processing, as a dialog created without a procedure would.
INT_PTR CALLBACK KeepCreationParameter(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
  return FALSE;
}

// The procedure attached once the window is built: the handler first (it returns 0 for
// every message), then the window's own default processing. The system close command
// (Alt+F4) ends the window; everything else goes to the standard dialog processing, in which
// Esc does nothing since there is no cancel button.
INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ProgressWindow::handleMessage(window, message, wParam, lParam);
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
    ProgressWindow::end(window);
    return TRUE;
  }
  return FALSE;
}

// Creates a hidden dialog of the progress window's kind from a template in memory, carrying
// the pending upload (or nullptr) in its DWLP_USER field.
HWND CreateFromTemplate(int32_t widthUnits, int32_t heightUnits, PendingUpload* pending) {
  DialogTemplateFields fields;
  fields.style = kProgressWindowStyle;
  fields.x = -1;  // centred by DS_CENTER
  fields.y = -1;
  fields.width = static_cast<int16_t>(widthUnits);
  fields.height = static_cast<int16_t>(heightUnits);
  fields.caption = kProgressWindowCaption;
  fields.pointSize = kProgressWindowPointSize;
  fields.faceName = kProgressWindowFont;
  const std::vector<uint16_t> words = BuildDialogTemplate(fields);
  return CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                    reinterpret_cast<LPCDLGTEMPLATEA>(words.data()), nullptr,
                                    &KeepCreationParameter, reinterpret_cast<LPARAM>(pending));
}

// The progress window's layout for this display: the dialog units per 1000 pixels are
// measured on a hidden window with the same font, which is then ended.
ProgressLayout MeasureLayout() {
  HWND measuring = CreateFromTemplate(kMeasuringWidthUnits, kMeasuringHeightUnits, nullptr);
  RECT measured{0, 0, kMeasuredUnits, kMeasuredUnits};
  MapDialogRect(measuring, &measured);
  ProgressWindow::end(measuring);
  return LayOutProgressWindow(DialogUnitsPer1000Pixels(measured.right),
                              DialogUnitsPer1000Pixels(measured.bottom));
}

// Creates a child control at a rectangle given in dialog units and gives it the window's
// font.
HWND AddControl(HWND window, const char* className, DWORD style, int32_t id,
                const DialogRect& units) {
  RECT pixels{units.left, units.top, units.right, units.bottom};
  MapDialogRect(window, &pixels);
  HWND control = CreateWindowExA(0, className, "", style, pixels.left, pixels.top,
                                 pixels.right - pixels.left, pixels.bottom - pixels.top, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
  if (control != nullptr) {
    SendMessageA(control, WM_SETFONT, static_cast<WPARAM>(SendMessageA(window, WM_GETFONT, 0, 0)),
                 TRUE);
  }
  return control;
}

// Adds the picture, showing bitmap 2, and then the progress bar. The bitmap stays the
// program's.
OwnedBitmap AddControls(HWND window, const ProgressLayout& layout) {
  HWND picture = AddControl(window, "STATIC", kPictureStyle, kPictureId, layout.picture);
  HANDLE bitmap =
      LoadImageA(GetModuleHandleA(nullptr), "#2", IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS);
  SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  AddControl(window, PROGRESS_CLASSA, kProgressBarStyle, kProgressBarId, layout.bar);
  return OwnedBitmap(bitmap);
}

// Attaches the handler, gives it its one WM_INITDIALOG (the window's creation went to
// KeepCreationParameter), shows the window and handles messages until the window is gone.
void RunModalLoop(HWND window) {
  SetWindowLongPtrA(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&DialogProcedure));
  ProgressWindow::handleMessage(window, WM_INITDIALOG, reinterpret_cast<WPARAM>(window), 0);
  ShowWindow(window, SW_SHOW);
  while (IsWindow(window)) {
    if (!PumpOneMessage(window)) SleepMilliseconds(1);
  }
}

}  // namespace

void ProgressWindow::showModal(const Upload& upload) {
  // INITCOMCTL32 releases the library it loaded. The progress bar's window class lives in
  // that library, so the window holds a reference of its own for as long as it runs: the
  // program does not import the library, and its last release would unload the class.
  const LibraryReference commonControls(LoadLibraryA("COMCTL32.DLL"));
  INITCOMCTL32(0);

  const ProgressLayout layout = MeasureLayout();
  PendingUpload pending(upload);
  HWND window = CreateFromTemplate(layout.windowWidth, layout.windowHeight, &pending);
  if (window != nullptr) {
    const OwnedBitmap picture = AddControls(window, layout);
    RunModalLoop(window);
  }

  // No window at all, or one closed (Alt+F4) before its loop delivered WM_START_UPLOAD: the
  // goods still go to the register and every outcome is still reported, since ending
  // without the upload would pass for a completed one.
  pending.run(nullptr);
}

INT_PTR CALLBACK ProgressWindow::handleMessage(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      // A press anywhere moves the window, as a press on a title bar would.
      SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      break;
    case WM_INITDIALOG:
      PostMessageA(window, WM_START_UPLOAD, 0, 0);
      break;
    case WM_START_UPLOAD:
      // Taken out of the window before it starts: a second WM_START_UPLOAD finds nothing.
      if (PendingUpload* pending = TakePendingUpload(window)) {
        pending->run(window);
      } else {
        end(window);  // nothing to upload: nothing to wait for
      }
      break;
    case WM_SYSCOLORCHANGE:
      SendMessageA(GetDlgItem(window, kProgressBarId), WM_SYSCOLORCHANGE, wParam, lParam);
      break;
    default:
      break;
  }
  return 0;
}

void ProgressWindow::end(HWND window) {
  if (window == nullptr || !IsWindow(window)) return;
  SendMessageA(window, WM_CLOSE, 0, 0);
  // WM_CLOSE reaches the handler like any other message and might have ended the window.
  if (IsWindow(window)) DestroyWindow(window);
}
