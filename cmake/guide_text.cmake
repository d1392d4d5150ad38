# Makes the two renderings of the Russian user guide that go beside TALLY.EXE:
#   README-ru.txt: plain text for Notepad on any Windows: pandoc's plain writer (no Markdown
#     marks, lines of at most 78 columns), UTF-8 with a byte-order mark, CR LF line ends;
#   guide-ru.html: one HTML file with the pictures embedded, for any browser.
# Usage: cmake -DPANDOC=pandoc -DGUIDE=docs/guide.ru.md -DTEXT=README-ru.txt
#              -DHTML=guide-ru.html -P guide_text.cmake
if(NOT PANDOC)
  message(FATAL_ERROR "The packages' user guide needs pandoc (apt-get install pandoc)")
endif()
get_filename_component(guide_dir "${GUIDE}" DIRECTORY)

# 72 columns: pandoc lets a table run a few columns past the width it is given.
execute_process(
  COMMAND "${PANDOC}" --from=markdown-smart --to=plain --columns=72
          --lua-filter=${CMAKE_CURRENT_LIST_DIR}/guide_plain.lua "${GUIDE}"
  OUTPUT_VARIABLE text
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pandoc could not make the plain-text guide (${status})")
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 byte_order_mark)
file(WRITE "${TEXT}" "${byte_order_mark}${text}")

execute_process(
  COMMAND "${PANDOC}" --from=markdown-smart --to=html5 --standalone --self-contained
          --resource-path=${guide_dir} --metadata=lang:ru
          "--metadata=pagetitle:TALLY: руководство пользователя" "--output=${HTML}" "${GUIDE}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pandoc could not make the HTML guide (${status})")
endif()
