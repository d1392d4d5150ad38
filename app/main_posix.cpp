#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/process_posix.h"
#include "app/program_help.h"
#include "app/run_control.h"

namespace {

void PrintToStandardOutput(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

// Each argument is one word of the command line, as the shell gave it. "--version" or
// "--help" alone on the line prints to standard output instead, as Linux programs do. The
// arguments come in UTF-8; the program's text is Windows-1251, while the file is opened by
// the name's own bytes.
int main(int argc, char** argv) {
  PrepareProcess();
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    PrintToStandardOutput(VersionText());
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    PrintToStandardOutput(LinuxHelpText());
    return 0;
  }
  return RunTally(std::vector<std::string_view>(argv + 1, argv + argc));
}
