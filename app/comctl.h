// The common-controls start-up and the version numbers of system files.
//
// Versions are decimal numbers with four places after the point, carried as 64-bit counts
// of ten-thousandths: version 5.81 is 58100, 6.10 (that is 6.1) is 61000.
#pragma once

#include <cstdint>

// All eight control classes of the common-controls library, the progress bar's among them.
constexpr uint32_t kAllControlClasses = 0xFF;

// The version of a file from the dwFileVersionMS field of its fixed version information:
// the high 16 bits plus the low 16 bits divided by 100, in ten-thousandths.
int64_t FileVersionTenThousandths(uint32_t fileVersionMS);

#ifdef _WIN32
extern "C" {
// Initialises the common controls of the given classes (0: all of them) from COMCTL32.DLL,
// loaded by name, and returns the library's version. 0 when the library cannot be loaded.
// Exported from TALLY.EXE under this name.
int64_t __stdcall INITCOMCTL32(uint32_t classes);

// The version of the named file in the system directory, or 0 when it has no version
// information. Exported from TALLY.EXE under this name.
int64_t __stdcall GETSYSFILEVER(const char* fileName);
}

// The version of the named file in folder, as GETSYSFILEVER gives it for the system
// directory: the folder, a backslash unless it ends in one, and the name, in a path of at
// most 259 characters (a folder that does not fit is left out, and the name is cut to fit).
int64_t FileVersionInFolder(const char* folder, const char* fileName);
#endif
