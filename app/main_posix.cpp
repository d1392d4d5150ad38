#include <string>

#include "app/process_posix.h"
#include "app/run_control.h"

// The arguments joined with single blanks form the command-line text.
int main(int argc, char** argv) {
  PrepareProcess();
  std::string arguments;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) arguments += ' ';
    arguments += argv[i];
  }
  return RunTally(arguments);
}
