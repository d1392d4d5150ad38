#include "app/ui_pump_win32.h"

bool PumpOneMessage(HWND dialog) {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  // IsDialogMessageA looks only at messages for the dialog and its controls.
  if (dialog != nullptr && IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

PollHooks PlatformPollHooks(HWND dialog) {
  return PollHooks{[dialog] { return PumpOneMessage(dialog); }, SleepMilliseconds};
}

PollHooks PlatformPollHooks() { return PlatformPollHooks(nullptr); }
