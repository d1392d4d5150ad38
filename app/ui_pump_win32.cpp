#include <windows.h>

#include "app/progress_window_win32.h"
#include "app/ui_pump.h"

bool PumpOneMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  // The dialog manager takes what belongs to the progress window (keyboard navigation, Esc);
  // it looks only at messages for that window and its controls.
  HWND window = ProgressWindow::handle;
  if (window != nullptr && IsWindow(window) && IsDialogMessageA(window, &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }
