#include "register/exchange_messages.h"

#include "text/cp1251.h"

std::string PortNotOpenedText(const std::string& portName, const std::string& detail) {
  std::string text = W1251("Не открыт порт ") + portName;
  if (!detail.empty()) text += " (" + detail + ")";
  return text;
}

std::string NoAnswerText() { return W1251("Нет ответа от кассы"); }

std::string OutOfStepText() { return W1251("Лишний ответ от кассы"); }

std::string AnswerFailureText(int32_t checkResult) {
  if (checkResult < 0) return W1251("Неверный ответ от кассы");
  return W1251("Возвращен код ошибки ") + " " + std::to_string(checkResult);
}

std::string UploadItemText(const GoodsTable& table, int32_t item) {
  const auto i = static_cast<size_t>(item);
  return W1251(" (товар ") + std::to_string(item) + W1251(" из ") +
         std::to_string(table.GoodsCount) + W1251(", код ") + std::to_string(table.Code[i]) +
         W1251(", строка ") + std::to_string(table.Line[i]) + W1251(" файла)");
}
