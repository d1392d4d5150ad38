#include <cstdio>

#include "app/message.h"
#include "app/progress_bar_posix.h"

void ShowMessage(const std::string& text, uint32_t style) {
  // A progress bar being drawn would otherwise run into the message.
  ClearProgressBar();
  const std::string line = FormatTerminalMessage(text, style);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}
