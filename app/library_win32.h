// Procedures of a system library that the program loads by name at run time (the common
// controls, the common dialogs, the shell), so that the program itself imports none of them.
#pragma once

#include <windows.h>

#include <cstring>

// The procedure name of library, nullptr when the library or the procedure is missing.
// GetProcAddress hands back a generic pointer to be cast to the real signature.
template <typename Proc>
Proc LookUp(HMODULE library, const char* name) {
  FARPROC found = library != nullptr ? GetProcAddress(library, name) : nullptr;
  Proc proc;
  static_assert(sizeof proc == sizeof found);
  std::memcpy(&proc, &found, sizeof proc);
  return proc;
}
