# What the packages hold; scripts/package.sh builds them with CPack into dist/.
#   Windows (ZIP): TALLY.EXE, README-ru.txt and guide-ru.html (the user guide as plain text for
#   Notepad and as one HTML file with its pictures), examples/goods.txt; no folder around them,
#   as Explorer's "Extract all" makes one.
#   Linux (DEB and TGZ): tally, register-sim, their manual pages in English and Russian, the
#   user guide and the example.
# The version is the project's, as everywhere else.

# The user guide as Windows plain text and as HTML, made by pandoc (cmake/guide_text.cmake).
find_program(PANDOC_EXECUTABLE pandoc REQUIRED)
set(guide_text ${CMAKE_BINARY_DIR}/README-ru.txt)
set(guide_html ${CMAKE_BINARY_DIR}/guide-ru.html)
add_custom_command(
  OUTPUT ${guide_text} ${guide_html}
  COMMAND ${CMAKE_COMMAND} -DPANDOC=${PANDOC_EXECUTABLE} -DGUIDE=${PROJECT_SOURCE_DIR}/docs/guide.ru.md
          -DTEXT=${guide_text} -DHTML=${guide_html} -P ${PROJECT_SOURCE_DIR}/cmake/guide_text.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/guide.ru.md ${PROJECT_SOURCE_DIR}/docs/progress-window.png
          ${PROJECT_SOURCE_DIR}/docs/message-box.png ${PROJECT_SOURCE_DIR}/cmake/guide_text.cmake
          ${PROJECT_SOURCE_DIR}/cmake/guide_plain.lua
  COMMENT "README-ru.txt and guide-ru.html from docs/guide.ru.md")
set(package_files ${guide_text} ${guide_html})

# Installing never builds everything first: scripts/package.sh builds what the packages hold
# (the package_files target and the programs), not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME tally)
set(CPACK_PACKAGE_VENDOR "TALLY contributors")
set(CPACK_PACKAGE_CONTACT "TALLY contributors <tally@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "loads a shop's goods base into an OKA PF cash register")
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)

if(WIN32)
  install(TARGETS tally RUNTIME DESTINATION .)
  install(FILES ${guide_text} ${guide_html} DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/goods.txt DESTINATION examples)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(package_architecture x86)
  else()
    set(package_architecture x64)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME tally-${PROJECT_VERSION}-windows-${package_architecture})
else()
  # Manual pages, compressed as Debian keeps them.
  set(man_pages tally.1 register-sim.1)
  foreach(language IN ITEMS en ru)
    foreach(page IN LISTS man_pages)
      set(source ${PROJECT_SOURCE_DIR}/docs/man/${language}/${page})
      set(packed ${CMAKE_BINARY_DIR}/man/${language}/${page}.gz)
      add_custom_command(
        OUTPUT ${packed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/${language}
        COMMAND gzip -9 -n -c ${source} > ${packed}
        DEPENDS ${source}
        VERBATIM)
      list(APPEND package_files ${packed})
      if(language STREQUAL en)
        install(FILES ${packed} DESTINATION share/man/man1)
      else()
        install(FILES ${packed} DESTINATION share/man/${language}/man1)
      endif()
    endforeach()
  endforeach()

  install(TARGETS tally register-sim RUNTIME DESTINATION bin)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/guide.ru.md ${PROJECT_SOURCE_DIR}/docs/progress-window.png
                ${PROJECT_SOURCE_DIR}/docs/message-box.png
          DESTINATION share/doc/tally)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/goods.txt DESTINATION share/doc/tally/examples)

  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGE_FILE_NAME tally-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Below the summary line (CPACK_PACKAGE_DESCRIPTION_SUMMARY), the long description.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "tally sends a shop's goods file (TAB-separated text between <start> and <end> lines) to an
OKA PF cash register over a serial line, item by item, or clears the register's goods base
(tally /e). COM1 and COM2 are mapped to devices with TALLY_COM1 and TALLY_COM2, for example
a USB adapter at /dev/ttyUSB0. register-sim plays the register on a pseudo-terminal for
trying everything without one. A user guide in Russian is in /usr/share/doc/tally.")
endif()

add_custom_target(package_files ALL DEPENDS ${package_files})

include(CPack)
