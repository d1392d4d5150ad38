#include <windows.h>

#include <string>

#include "app/command_line.h"
#include "app/run_control.h"
#include "text/wide_text.h"

// The wide command line, read as it is: a character counts as a blank, a quote or part of a
// switch only when it is one (the ANSI form would turn some characters into others, such as
// the full-width solidus into "/").
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::string commandLine = Utf16ToUtf8(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  return RunTally(SkipProgramName(commandLine));
}
