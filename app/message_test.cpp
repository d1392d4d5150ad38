#include "app/message.h"

#include <gtest/gtest.h>

#include "text/cp1251.h"

TEST(FormatTerminalMessage, OneLineWithStyleWord) {
  const std::string text = W1251("Нет ответа от кассы");
  EXPECT_EQ(FormatTerminalMessage(text, kIconError), "OKA PF: ошибка: Нет ответа от кассы\n");
  EXPECT_EQ(FormatTerminalMessage(text, kIconWarning), "OKA PF: внимание: Нет ответа от кассы\n");
  EXPECT_EQ(FormatTerminalMessage(text, kIconInformation), "OKA PF: Нет ответа от кассы\n");
}

TEST(FormatTerminalMessage, TextEndingInLineFeedGetsNoSecond) {
  EXPECT_EQ(FormatTerminalMessage("a\nb\n", kIconInformation), "OKA PF: a\nb\n");
}
