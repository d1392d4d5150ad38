#include "app/progress_window_win32.h"

#include <commctrl.h>

#include "app/comctl.h"
#include "app/dialog_layout.h"
#include "app/ui_pump.h"

HWND ProgressWindow::handle = nullptr;

namespace {

// The upload of the current modal run, called when WM_START_UPLOAD arrives.
const std::function<void(ProgressView&)>* currentUpload = nullptr;

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

  void setRange(int32_t lineCount) override {
    if (!IsWindow(window_)) return;
    HWND bar = GetDlgItem(window_, kProgressBarId);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, lineCount));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
  }

  void stepIt() override {
    if (!IsWindow(window_)) return;
    SendMessageA(GetDlgItem(window_, kProgressBarId), PBM_STEPIT, 0, 0);
  }

  void end() override { ProgressWindow::end(window_, 0); }

 private:
  HWND window_;
};

// The dialog procedure attached to the window: the handler first, then the window's own
// default processing for what it left alone. The system close command (Alt+F4) ends the
// window; everything else goes to the standard dialog processing, in which Esc does nothing
// since there is no cancel button.
INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const INT_PTR result = ProgressWindow::handleMessage(window, message, wParam, lParam);
  if (result != 0) return result;
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
    ProgressWindow::end(window, 0);
    return TRUE;
  }
  return FALSE;
}

// Creates a hidden dialog of the progress window's kind from a template in memory.
HWND CreateFromTemplate(int32_t widthUnits, int32_t heightUnits) {
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
                                    nullptr, 0);
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

}  // namespace

void ProgressWindow::showModal(const std::function<void(ProgressView&)>& upload) {
  // INITCOMCTL32 releases the library it loaded. The progress bar's window class lives in
  // that library, so the window holds a reference of its own for as long as it runs: the
  // program does not import the library, and its last release would unload the class.
  HMODULE commonControls = LoadLibraryA("COMCTL32.DLL");
  INITCOMCTL32(0);

  // Dialog units per 1000 pixels, measured on a window with the same font.
  HWND measuring = CreateFromTemplate(kMeasuringWidthUnits, kMeasuringHeightUnits);
  RECT measured{0, 0, kMeasuredUnits, kMeasuredUnits};
  MapDialogRect(measuring, &measured);
  const int32_t ux = DialogUnitsPer1000Pixels(measured.right);
  const int32_t uy = DialogUnitsPer1000Pixels(measured.bottom);
  end(measuring, 0);

  const ProgressLayout layout = LayOutProgressWindow(ux, uy);
  HWND window = CreateFromTemplate(layout.windowWidth, layout.windowHeight);
  handle = window;
  if (window == nullptr) {
    // No window: the goods still go to the register, and every outcome is still reported.
    WindowView none(nullptr);
    upload(none);
    if (commonControls != nullptr) FreeLibrary(commonControls);
    return;
  }

  HWND picture = AddControl(window, "STATIC", kPictureStyle, kPictureId, layout.picture);
  HANDLE bitmap =
      LoadImageA(GetModuleHandleA(nullptr), "#2", IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS);
  SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  AddControl(window, PROGRESS_CLASSA, kProgressBarStyle, kProgressBarId, layout.bar);

  // The window was created without a dialog procedure: its one WM_INITDIALOG is this call.
  const std::function<void(ProgressView&)>* outerUpload = currentUpload;
  currentUpload = &upload;
  SetWindowLongPtrA(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&DialogProcedure));
  handleMessage(window, WM_INITDIALOG, reinterpret_cast<WPARAM>(window), 0);
  ShowWindow(window, SW_SHOW);

  while (IsWindow(window)) {
    if (!PumpOneMessage()) SleepMilliseconds(1);
  }

  // A window closed (Alt+F4) before its loop delivered WM_START_UPLOAD never started the
  // upload; ending without it would pass for a completed upload.
  if (currentUpload == &upload) {
    WindowView none(nullptr);
    upload(none);
  }
  currentUpload = outerUpload;
  if (handle == window) handle = nullptr;
  // The picture's bitmap belongs to the program, not to the control.
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (commonControls != nullptr) FreeLibrary(commonControls);
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
      if (currentUpload != nullptr && *currentUpload) {
        const std::function<void(ProgressView&)>* run = currentUpload;
        currentUpload = nullptr;  // started: it runs once
        WindowView view(window);
        (*run)(view);
      } else {
        end(window, 0);  // nothing to upload: nothing to wait for
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

void ProgressWindow::end(HWND window, INT_PTR) {
  if (window == nullptr || !IsWindow(window)) return;
  SendMessageA(window, WM_CLOSE, 0, 0);
  // WM_CLOSE reaches the handler like any other message and might have ended the window.
  if (IsWindow(window)) DestroyWindow(window);
}
