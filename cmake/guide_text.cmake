# Makes README-ru.txt out of the Russian user guide: the same text for Notepad on any
# Windows, so UTF-8 with a byte-order mark and CR LF line ends. The pictures are left out
# (the text names what they show), everything else stays as written.
# Usage: cmake -DGUIDE=docs/guide.ru.md -DOUTPUT=README-ru.txt -P guide_text.cmake
file(READ "${GUIDE}" text)
string(REPLACE "\r\n" "\n" text "${text}")
# A picture stands on a line of its own: ![what it shows](file.png)
string(REGEX REPLACE "(^|\n)!\\[[^\n]*" "" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 byte_order_mark)
file(WRITE "${OUTPUT}" "${byte_order_mark}${text}")
