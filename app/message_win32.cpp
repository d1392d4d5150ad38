#include <windows.h>

#include "app/message.h"
#include "text/cp1251.h"

// The text goes to the wide message box so that it reads right whatever the system's ANSI
// code page is.
void ShowMessage(const std::string& text, uint32_t style) {
  const std::u16string wide = Cp1251ToUtf16(text);
  const std::u16string caption = Cp1251ToUtf16(kMessageCaption);
  MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str()),
              reinterpret_cast<const wchar_t*>(caption.c_str()), MB_OK | style);
}
