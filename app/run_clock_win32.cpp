#include <windows.h>
// windows.h first: timeapi.h needs its types.
#include <timeapi.h>

#include "app/run_clock.h"

namespace {

constexpr UINT kFineClockMs = 1;

bool fineClock = false;

// Windows 11 ignores a hidden or minimised program's timer request unless the program opts
// out of that power saving. The call is looked up by name: Windows before 8 lacks it, and the
// program must still start there.
void KeepTimerResolution() {
  using SetProcessInformationCall = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD);
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  const auto call = reinterpret_cast<SetProcessInformationCall>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetProcessInformation")));
  if (call == nullptr) return;
  PROCESS_POWER_THROTTLING_STATE state{};
  state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
  state.ControlMask = PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
  state.StateMask = 0;  // timer requests are honoured
  call(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state);
}

}  // namespace

void BeginFineClock() {
  if (fineClock) return;
  KeepTimerResolution();
  fineClock = timeBeginPeriod(kFineClockMs) == TIMERR_NOERROR;
}

void EndFineClock() {
  if (!fineClock) return;
  timeEndPeriod(kFineClockMs);
  fineClock = false;
}
