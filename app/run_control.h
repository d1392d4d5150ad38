// The run flow: options, then the clear run, the usage text or the upload run.
#pragma once

#include <string_view>

// Process exit status.
enum ExitStatus : int {
  kExitCompleted = 0,  // the upload or the clear run went through
  kExitFailure = 1,    // a failure was reported to the user
  kExitUsage = 2,      // the usage text was shown
};

// Runs the program on the argument text (program name already skipped) and returns the
// process exit status.
int RunTally(std::string_view arguments);

// The same where the system names files in other bytes than the program's Windows-1251
// (Linux: UTF-8): systemArguments is the text as the system gave it, arguments its
// Windows-1251 form. Messages name the goods file as in arguments; it is opened by its name
// as it stands in systemArguments.
int RunTally(std::string_view arguments, std::string_view systemArguments);
