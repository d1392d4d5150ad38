// The program's version, for the Windows version information.
#pragma once

#define TALLY_VERSION_MAJOR 1
#define TALLY_VERSION_MINOR 0
#define TALLY_VERSION_PATCH 0
#define TALLY_VERSION_TEXT "1.0.0"
