#include <windows.h>

#include "app/ui_pump.h"

bool PumpOneMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }
