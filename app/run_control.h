// The run flow: options, then the check run, the clear run, the usage text or the upload run.
#pragma once

#include <string_view>
#include <vector>

// Process exit status.
enum ExitStatus : int {
  kExitCompleted = 0,  // the upload or the clear run went through, or the file checked would load
  kExitFailure = 1,    // a failure was reported to the user
  kExitUsage = 2,      // the usage text was shown, or (from a shortcut) the Open dialog was
                       // cancelled or the clear answered with Нет: nothing done
};

// Runs the program on a Windows command line's argument text (program name already skipped,
// UTF-8) and returns the process exit status.
int RunTally(std::string_view arguments);

// The same on arguments handed over one by one, as the shell gave them (Linux).
int RunTally(const std::vector<std::string_view>& arguments);
