// A program that holds a file open for reading, shared with other readers only, as a viewer
// does: for the Wine tests of TALLY.EXE. Like a viewer it is a program of the desktop: while
// it runs, Wine keeps the desktop up (the Wine suites keep one running from start to end).
//
// Usage: hold_file FILE READY STOP   (Windows paths, any letters)
//   Opens FILE (GENERIC_READ, FILE_SHARE_READ), joins the desktop, creates READY, waits until
//   STOP exists (at most 15 minutes) and closes FILE. Exit status 0, or 1 when FILE does not
//   open.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

int main() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr || count != 4) return 2;
  const HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  GetDesktopWindow();
  const HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  for (int i = 0; i < 9000 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i)
    Sleep(100);
  CloseHandle(file);
  return 0;
}
