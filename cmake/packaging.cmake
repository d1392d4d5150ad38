# What the packages hold; scripts/package.sh builds them with CPack into dist/.
#   Windows (ZIP, and the same files as an MSI, cmake/msi_package.cmake): TALLY.EXE,
#   README-ru.txt and guide-ru.html (the user guide as plain text for Notepad and as one HTML
#   file with its pictures), examples/goods.txt, LICENSE.txt (the licences); no folder around
#   them in the zip, as Explorer's "Extract all" makes one.
#   Linux (DEB and TGZ): tally, register-sim, their manual pages in English and Russian, the
#   user guide, the example and the licences (in the .deb as Debian's copyright file).
# The version is the project's, as everywhere else.

# Nothing here is built with the programs: scripts/package.sh builds the package_files target
# and runs CPack, and only those need the packaging tools (pandoc here; wixl and msibuild for
# the MSI, cmake/msi_package.cmake). A build without them misses nothing else.

# The user guide as Windows plain text and as HTML, made by pandoc (cmake/guide_text.cmake).
find_program(PANDOC_EXECUTABLE pandoc)
set(guide_text ${CMAKE_BINARY_DIR}/README-ru.txt)
set(guide_html ${CMAKE_BINARY_DIR}/guide-ru.html)
add_custom_command(
  OUTPUT ${guide_text} ${guide_html}
  COMMAND ${CMAKE_COMMAND} -DPANDOC=${PANDOC_EXECUTABLE} -DGUIDE=${PROJECT_SOURCE_DIR}/docs/guide.ru.md
          -DTEXT=${guide_text} -DHTML=${guide_html} -P ${PROJECT_SOURCE_DIR}/cmake/guide_text.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/guide.ru.md ${PROJECT_SOURCE_DIR}/docs/progress-window.png
          ${PROJECT_SOURCE_DIR}/docs/message-box.png ${PROJECT_SOURCE_DIR}/docs/check-window.png
          ${PROJECT_SOURCE_DIR}/cmake/guide_text.cmake
          ${PROJECT_SOURCE_DIR}/cmake/guide_plain.lua
  COMMENT "README-ru.txt and guide-ru.html from docs/guide.ru.md")
set(package_files ${guide_text} ${guide_html})

# Installing never builds everything first: scripts/package.sh builds what the packages hold
# (the package_files target and the programs), not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME tally)
set(CPACK_PACKAGE_VENDOR "The TALLY authors")
set(CPACK_PACKAGE_CONTACT "The TALLY authors <tally@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "loads a shop's goods base into an OKA PF cash register")
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)

# The licences, which every package carries: the program's (LICENSE), then those of the
# libraries built into the programs (the system's on Linux, third_party/'s on Windows: the same
# versions' licences), from the files kept in third_party/: zlib's, MiniZip's (its copyright
# lines from unzip.h, its terms from its notes) and Expat's.
set(third_party ${PROJECT_SOURCE_DIR}/third_party)
set(minizip ${third_party}/zlib/contrib/minizip)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE
             ${third_party}/zlib/LICENSE ${minizip}/unzip.h ${minizip}/MiniZip64_info.txt
             ${third_party}/expat/COPYING)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
file(READ ${third_party}/zlib/LICENSE zlib_licence)
file(READ ${third_party}/expat/COPYING expat_licence)
file(READ ${minizip}/unzip.h minizip_header)
file(READ ${minizip}/MiniZip64_info.txt minizip_notes)
string(REGEX MATCHALL "Copyright \\(C\\) [^(\n]*[^ (\n]" minizip_copyrights "${minizip_header}")
list(JOIN minizip_copyrights "\n" minizip_copyright)
string(REGEX MATCH "Condition of use.*source distribution\\." minizip_terms "${minizip_notes}")
if(NOT minizip_copyrights OR NOT minizip_terms)
  message(FATAL_ERROR "MiniZip's copyright or terms not found in ${minizip}")
endif()
set(licences "${licence}
------------------------------------------------------------------------------
The programs include parts of these libraries, each under its own licence.

zlib (its inflate):

${zlib_licence}
MiniZip (its reader of zip archives, from zlib's contrib/minizip):

${minizip_copyright}

${minizip_terms}

Expat (the XML parser):

${expat_licence}")

if(WIN32)
  install(TARGETS tally RUNTIME DESTINATION .)
  install(FILES ${guide_text} ${guide_html} DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/goods.txt DESTINATION examples)
  # The licences with CR LF line ends, for Notepad.
  string(REPLACE "\n" "\r\n" licences_crlf "${licences}")
  file(WRITE ${CMAKE_BINARY_DIR}/LICENSE.txt "${licences_crlf}")
  install(FILES ${CMAKE_BINARY_DIR}/LICENSE.txt DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(package_architecture x86)
  else()
    set(package_architecture x64)
  endif()
  set(CPACK_GENERATOR ZIP External)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME tally-${PROJECT_VERSION}-windows-${package_architecture})
  # The MSI, from the files staged for the zip.
  set(CPACK_EXTERNAL_ENABLE_STAGING ON)
  set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/msi_package.cmake)
  set(CPACK_TALLY_MSI_ARCH ${package_architecture})
  set(CPACK_TALLY_MSI_ICON ${PROJECT_SOURCE_DIR}/resources/tally.ico)
  # One upgrade code for both architectures and every version: never change it.
  set(CPACK_TALLY_MSI_UPGRADE_CODE 3978E28D-FA22-470A-805C-AFBB519B312D)
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
                ${PROJECT_SOURCE_DIR}/docs/message-box.png ${PROJECT_SOURCE_DIR}/docs/check-window.png
          DESTINATION share/doc/tally)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/goods.txt DESTINATION share/doc/tally/examples)

  # The licences: LICENSE in the tarball; in the .deb, Debian's copyright file in its
  # machine-readable format (copyright-format 1.0) with the same terms, a paragraph for the
  # program and one for each library, beside the Debian changelog. The installs of each kind
  # are components, and each generator takes its own (cmake/cpack_project.cmake).
  file(WRITE ${CMAKE_BINARY_DIR}/licences/LICENSE "${licences}")
  install(FILES ${CMAKE_BINARY_DIR}/licences/LICENSE DESTINATION share/doc/tally COMPONENT archive)
  # licence_terms(VARIABLE TEXT FIRST_WORDS): TEXT from FIRST_WORDS on, as the continuation
  # lines of a License field (each line behind a blank, an empty line as ".").
  function(licence_terms variable text first_words)
    string(FIND "${text}" "${first_words}" start)
    string(SUBSTRING "${text}" ${start} -1 terms)
    string(STRIP "${terms}" terms)
    string(REPLACE "\n\n" "\n.\n" terms "${terms}")
    string(REPLACE "\n" "\n " terms "${terms}")
    set(${variable} "${terms}" PARENT_SCOPE)
  endfunction()
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${licence}")
  set(copyright_holders ${CMAKE_MATCH_1})
  licence_terms(licence_field "${licence}" "Permission is hereby granted")
  string(REGEX MATCH "\\(C\\) ([^\n]*)" _ "${zlib_licence}")
  set(zlib_holders ${CMAKE_MATCH_1})
  licence_terms(zlib_field "${zlib_licence}" "This software is provided")
  string(REPLACE "Copyright (C) " "" minizip_holders "${minizip_copyright}")
  string(REPLACE "\n" "\n " minizip_holders "${minizip_holders}")
  licence_terms(minizip_field "${minizip_terms}" "Condition of use")
  string(REGEX MATCHALL "Copyright \\(c\\) [^\n]*" expat_holders "${expat_licence}")
  list(JOIN expat_holders "\n " expat_holders)
  string(REPLACE "Copyright (c) " "" expat_holders "${expat_holders}")
  licence_terms(expat_field "${expat_licence}" "Permission is hereby granted")
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/debian/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: tally
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: ${copyright_holders}
License: Expat
 ${licence_field}

Files: third_party/zlib/*
Copyright: ${zlib_holders}
License: Zlib
 ${zlib_field}

Files: third_party/zlib/contrib/minizip/*
Copyright: ${minizip_holders}
License: Zlib
 ${minizip_field}

Files: third_party/expat/*
Copyright: ${expat_holders}
License: Expat
 ${expat_field}
")
  # The Debian revision of the package: the packaging of this version, counted from 1.
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  # SOURCE_DATE_EPOCH, when set, fixes the date (a reproducible package).
  string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.Debian CONTENT
"tally (${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${CPACK_PACKAGE_CONTACT}  ${changelog_date}
")
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
    COMMAND gzip -9 -n -f -k ${CMAKE_BINARY_DIR}/debian/changelog.Debian
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.Debian
    VERBATIM)
  list(APPEND package_files ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz)
  install(FILES ${CMAKE_BINARY_DIR}/debian/copyright
                ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
          DESTINATION share/doc/tally COMPONENT debian)
  # What lintian reports that does not apply here, each with the reason.
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides
          DESTINATION share/lintian/overrides RENAME tally COMPONENT debian)

  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_project.cmake)
  set(CPACK_TALLY_BINARY_DIR ${CMAKE_BINARY_DIR})
  set(CPACK_PACKAGE_FILE_NAME tally-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The programs are linked statically (TALLY_STATIC): they depend on no shared library.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  # Below the summary line (CPACK_PACKAGE_DESCRIPTION_SUMMARY), the long description.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "tally sends a shop's goods file (TAB-separated text between <start> and <end>
lines, or an .xlsx or .ods workbook marked the same way) to an OKA PF cash
register over a serial line, item by item, or clears the register's goods base
(tally /e). COM1 and COM2 are mapped to devices with TALLY_COM1 and TALLY_COM2,
for example a USB adapter at /dev/ttyUSB0. register-sim plays the register on a
pseudo-terminal for trying everything without one. A user guide in Russian is
in /usr/share/doc/tally.")
endif()

add_custom_target(package_files DEPENDS ${package_files})

include(CPack)
