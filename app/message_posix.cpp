#include <cstdio>

#include "app/message.h"

void ShowMessage(const std::string& text, uint32_t style) {
  const std::string line = FormatTerminalMessage(text, style);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}
