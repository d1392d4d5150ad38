#include "register/exchange_messages.h"

#include "text/cp1251.h"

std::string PortNotOpenedText(const std::string& portName) {
  return W1251("Не открыт порт ") + portName;
}

std::string NoAnswerText() { return W1251("Нет ответа от кассы"); }

std::string InvalidAnswerText() { return W1251("Неверный ответ от кассы"); }

std::string ErrorCodeText(int32_t code) {
  const std::string number = code < 0 ? std::to_string(code) : " " + std::to_string(code);
  return W1251("Возвращен код ошибки ") + number;
}
