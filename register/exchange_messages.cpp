#include "register/exchange_messages.h"

#include "text/cp1251.h"

std::string PortNotOpenedText(const std::string& portName, const std::string& detail) {
  std::string text = W1251("Не открыт порт ") + portName;
  if (!detail.empty()) text += " (" + detail + ")";
  return text;
}

std::string NoAnswerText() { return W1251("Нет ответа от кассы"); }

std::string AnswerFailureText(int32_t checkResult) {
  if (checkResult < 0) return W1251("Неверный ответ от кассы");
  return W1251("Возвращен код ошибки ") + " " + std::to_string(checkResult);
}
