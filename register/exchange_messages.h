// The texts the exchanges and run control show about the register and its line
// (Windows-1251).
#pragma once

#include <cstdint>
#include <string>

// "Не открыт порт COM1": the port did not open. A detail from the line, when there is one,
// follows in brackets: "Не открыт порт COM1 (/dev/ttyUSB0: нет прав доступа)".
std::string PortNotOpenedText(const std::string& portName, const std::string& detail);
// "Нет ответа от кассы": no complete answer came.
std::string NoAnswerText();
// "Неверный ответ от кассы": a malformed answer or a checksum mismatch.
std::string InvalidAnswerText();
// "Возвращен код ошибки  5": the register's error code, written with a sign position (a
// blank where a minus sign would stand), hence two blanks before the digits.
std::string ErrorCodeText(int32_t code);
