# Read by cpack once per generator, in one process (what one generator sets the next one still sees): the
# Debian package holds the tools below /usr; the archives hold the game folder in one folder named like the
# archive.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL tools)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CPACK_VALTOR_TOOLS_SUMMARY}")
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_COMPONENTS_ALL game)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_ARCHIVE_GAME_FILE_NAME}")
endif()
