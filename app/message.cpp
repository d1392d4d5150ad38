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
  // Bytes of a goods file or a name quoted in the text must not act on the terminal: a
  // control byte other than TAB and the line feed (an escape sequence's start among them) is
  // shown as "?".
  for (char c : Cp1251ToUtf8(text)) {
    const bool control = (c >= 0 && c < 0x20 && c != '\t' && c != '\n') || c == 0x7F;
    line += control ? '?' : c;
  }
  if (line.back() != '\n') line += '\n';
  return line;
}
