#include "app/program_help.h"

#include "app/command_line.h"
#include "tally_version.h"
#include "text/cp1251.h"

std::string VersionText() { return "tally " TALLY_VERSION_TEXT "\n"; }

std::string LinuxHelpText() {
  return Cp1251ToUtf8(BuildUsageText()) +
         "\n"
         "tally --help     эта справка\n"
         "tally --version  версия программы\n"
         "\n"
         "Порты (Linux):\n"
         "  COM1 - устройство из переменной TALLY_COM1, иначе /dev/ttyS0\n"
         "  COM2 - устройство из переменной TALLY_COM2, иначе /dev/ttyS1\n"
         "  Адаптер USB обычно /dev/ttyUSB0: TALLY_COM1=/dev/ttyUSB0 tally goods.txt\n"
         "  Нужны права на устройство: sudo usermod -aG dialout $USER, затем войти заново.\n"
         "\n"
         "Осторожно:\n"
         "  /e отдельным словом где угодно - очистка базы; имя файла тогда не читается.\n"
         "  /9600 действует только на очистку: товары всегда пересылаются на 19200.\n"
         "\n"
         "Код завершения:\n"
         "  0 - товары переданы на кассу или база товаров очищена\n"
         "  1 - показано сообщение об ошибке\n"
         "  2 - показана справка (не указан файл)\n"
         "  128 + номер сигнала - работа прервана (Ctrl+C - 130): часть товаров\n"
         "      могла уже уйти на кассу\n"
         "\n"
         "Журнал обмена для поддержки:\n"
         "  TALLY_TRACE=/tmp/tally-trace.txt tally goods.txt\n"
         "  дописывает в файл дату, версию, командную строку, порт, настройки линии,\n"
         "  каждую команду и каждый ответ кассы (байты в шестнадцатеричном виде) и итог.\n"
         "\n"
         "Руководство пользователя: /usr/share/doc/tally/guide.ru.md (пакет .deb)\n";
}
