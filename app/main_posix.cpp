#include <string>

#include "app/process_posix.h"
#include "app/run_control.h"
#include "text/text_encoding.h"

// The arguments joined with single blanks form the command-line text. They come in UTF-8;
// the program's text is Windows-1251, while the file is opened by the name's own bytes.
int main(int argc, char** argv) {
  PrepareProcess();
  std::string arguments;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) arguments += ' ';
    arguments += argv[i];
  }
  return RunTally(Utf8ToCp1251(arguments), arguments);
}
