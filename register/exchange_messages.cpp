#include "register/exchange_messages.h"

#include "text/plural.h"
#include "text/text_encoding.h"

std::string PortNotOpenedText(const std::string& portName, const std::string& detail) {
  std::string text = Utf8ToCp1251("Не открыт порт ") + portName;
  if (!detail.empty()) text += " (" + detail + ")";
  return text;
}

std::string NoAnswerText(size_t bytesCame) {
  std::string text = Utf8ToCp1251("Нет ответа от кассы");
  if (bytesCame == 0) return text;
  return text + Utf8ToCp1251(": пришло ") + std::to_string(bytesCame) + " " +
         Utf8ToCp1251(RussianNounForm(bytesCame, "байт", "байта", "байт"));
}

std::string OutOfStepText() { return Utf8ToCp1251("Лишний ответ от кассы"); }

std::string AnswerFailureText(int32_t checkResult) {
  if (checkResult < 0) return Utf8ToCp1251("Неверный ответ от кассы");
  return Utf8ToCp1251("Возвращен код ошибки ") + " " + std::to_string(checkResult);
}

std::string UploadItemText(const GoodsTable& table, int32_t item) {
  const auto i = static_cast<size_t>(item);
  return Utf8ToCp1251(" (товар ") + std::to_string(item) + Utf8ToCp1251(" из ") +
         std::to_string(table.GoodsCount) + Utf8ToCp1251(", код ") + std::to_string(table.Code[i]) +
         ", " + LinePlaceText(table.Sheet, table.Line[i]) + ")";
}
