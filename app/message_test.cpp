#include "app/message.h"

#include <gtest/gtest.h>

#include "text/text_encoding.h"

TEST(FormatTerminalMessage, OneLineWithStyleWord) {
  const std::string text = Utf8ToCp1251("Нет ответа от кассы");
  EXPECT_EQ(FormatTerminalMessage(text, kIconError), "OKA PF: ошибка: Нет ответа от кассы\n");
  EXPECT_EQ(FormatTerminalMessage(text, kIconWarning), "OKA PF: внимание: Нет ответа от кассы\n");
  EXPECT_EQ(FormatTerminalMessage(text, kIconInformation), "OKA PF: Нет ответа от кассы\n");
}

TEST(FormatTerminalMessage, ControlBytesNeverReachTheTerminal) {
  // A field of the goods file quoted in a message: an escape sequence that would retitle the
  // terminal, a carriage return, a bell and DEL; TAB and line feed stay.
  EXPECT_EQ(FormatTerminalMessage(Utf8ToCp1251("Цена: '\x1b]0;x\x07\r1\x7f\t'\nb"), kIconError),
            "OKA PF: ошибка: Цена: '?]0;x??1?\t'\nb\n");
}

TEST(FormatTerminalMessage, TextEndingInLineFeedGetsNoSecond) {
  EXPECT_EQ(FormatTerminalMessage("a\nb\n", kIconInformation), "OKA PF: a\nb\n");
}
