// The texts the exchanges and run control show about the register and its line
// (Windows-1251).
#pragma once

#include <cstdint>
#include <string>

#include "goods/goods_table.h"

// "Не открыт порт COM1": the port did not open. A detail from the line, when there is one,
// follows in brackets: "Не открыт порт COM1 (/dev/ttyUSB0: нет прав доступа)".
std::string PortNotOpenedText(const std::string& portName, const std::string& detail);
// "Нет ответа от кассы": no complete answer came. When bytes came all the same (bytesCame
// above 0, never 7: a complete answer with a byte more, an echo of the frame, noise), the
// text says how many, the noun agreeing with the number: "Нет ответа от кассы: пришло 8 байт",
// "...: пришло 52 байта".
std::string NoAnswerText(size_t bytesCame);
// "Лишний ответ от кассы": bytes came after the run's last answer, so the register's answers
// and the frames were out of step and the answers taken cannot be trusted.
std::string OutOfStepText();
// What a failed answer is told as, from CheckAnswer's result: "Неверный ответ от кассы" for
// a malformed answer or a checksum mismatch (negative), and for the register's error code
// 1..255 "Возвращен код ошибки  5", the number written with a sign position (a blank where a
// minus sign would stand), hence two blanks before the digits.
std::string AnswerFailureText(int32_t checkResult);
// What follows a failure message of the upload to name the item it failed at, from 1:
// " (товар 3 из 10, код 103, строка 4 файла)", its place in the upload, the number of items,
// its code and its line in the goods file (for a workbook, its row: "строка 4 листа «Прайс»").
std::string UploadItemText(const GoodsTable& table, int32_t item);
