# Read by CPack once for each generator: the .deb takes the files of every package and the
# Debian ones (the "debian" component), the tarball the licences as LICENSE (the "archive" one).
if(CPACK_GENERATOR STREQUAL "DEB")
  set(extra_component debian)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  set(extra_component archive)
endif()
if(DEFINED extra_component)
  set(CPACK_INSTALL_CMAKE_PROJECTS
      "${CPACK_TALLY_BINARY_DIR};tally;Unspecified;/;${CPACK_TALLY_BINARY_DIR};tally;${extra_component};/")
endif()
