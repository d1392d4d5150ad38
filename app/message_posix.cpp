#include <cstdio>

#include "app/message.h"
#include "app/progress_line_posix.h"

void ShowMessage(const std::string& text, uint32_t style) {
  // A progress line being drawn would otherwise run into the message.
  ClearProgressLine();
  const std::string line = FormatTerminalMessage(text, style);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}
