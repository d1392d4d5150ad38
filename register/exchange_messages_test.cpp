#include "register/exchange_messages.h"

#include <gtest/gtest.h>

#include "register/frame.h"
#include "text/text_encoding.h"

TEST(ExchangeMessages, FailedAnswerToldByItsResult) {
  const struct {
    int32_t result;
    const char* text;
  } cases[] = {
      {kMalformedAnswer, "Неверный ответ от кассы"},
      {kChecksumMismatch, "Неверный ответ от кассы"},
      {1, "Возвращен код ошибки  1"},
      {5, "Возвращен код ошибки  5"},
      {42, "Возвращен код ошибки  42"},
      {255, "Возвращен код ошибки  255"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AnswerFailureText(c.result), Utf8ToCp1251(c.text)) << c.result;
}

TEST(ExchangeMessages, LineTexts) {
  EXPECT_EQ(PortNotOpenedText("COM1", ""), Utf8ToCp1251("Не открыт порт COM1"));
  EXPECT_EQ(PortNotOpenedText("COM2", ""), Utf8ToCp1251("Не открыт порт COM2"));
  EXPECT_EQ(PortNotOpenedText("COM1", Utf8ToCp1251("/dev/ttyUSB0: нет прав доступа")),
            Utf8ToCp1251("Не открыт порт COM1 (/dev/ttyUSB0: нет прав доступа)"));
}

TEST(ExchangeMessages, NoAnswerToldWithTheBytesThatCame) {
  const struct {
    size_t bytesCame;
    const char* text;
  } cases[] = {
      {0, "Нет ответа от кассы"},
      {1, "Нет ответа от кассы: пришло 1 байт"},
      {2, "Нет ответа от кассы: пришло 2 байта"},
      {5, "Нет ответа от кассы: пришло 5 байт"},
      {12, "Нет ответа от кассы: пришло 12 байт"},
      {21, "Нет ответа от кассы: пришло 21 байт"},
      {52, "Нет ответа от кассы: пришло 52 байта"},
      {112, "Нет ответа от кассы: пришло 112 байт"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NoAnswerText(c.bytesCame), Utf8ToCp1251(c.text)) << c.bytesCame;
}
