#include "app/message.h"

#include "text/cp1251.h"

std::string FormatTerminalMessage(const std::string& text, uint32_t style) {
  std::string line(kMessageCaption);
  line += ": ";
  if (style == kIconError) {
    line += "ошибка: ";
  } else if (style == kIconWarning) {
    line += "внимание: ";
  }
  line += Cp1251ToUtf8(text);
  if (line.back() != '\n') line += '\n';
  return line;
}
