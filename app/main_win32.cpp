#include <windows.h>

#include "app/command_line.h"
#include "app/run_control.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return RunTally(SkipProgramName(GetCommandLineA()));
}
