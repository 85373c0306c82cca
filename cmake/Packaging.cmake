# Release packages, made by `make dist` (cpack in the build folder):
#   - valtor-frontend-<version>-linux-x86_64.tar.gz (or -win32.zip, -win64.zip from a Windows build): the
#     game folder as a player gets it, with a VERSION file and, on Linux, the list of what must be installed;
#   - valtor-tools_<version>_amd64.deb: the tools and their manual pages.
# Which component goes into which package is decided per generator in PackagingGenerators.cmake.
set(VALTOR_GAME_DIR ${PROJECT_BINARY_DIR}/game)

if(TARGET game_folder)
  file(WRITE ${PROJECT_BINARY_DIR}/package/VERSION "${PROJECT_VERSION}\n")
  install(DIRECTORY ${VALTOR_GAME_DIR}/ DESTINATION . COMPONENT game EXCLUDE_FROM_ALL USE_SOURCE_PERMISSIONS)
  install(FILES ${PROJECT_BINARY_DIR}/package/VERSION DESTINATION . COMPONENT game EXCLUDE_FROM_ALL)
  # The programs come in with the folder, not as targets, so the packages' stripping (CPACK_STRIP_FILES)
  # does not reach them by itself: they lose their debugging sections here. The build's game folder keeps
  # them for debugging.
  if(CMAKE_STRIP)
    set(game_programs launcher selling valtor.exe valtor_low.exe valtor_low2.exe)
    if(WIN32)
      set(game_programs launcher.exe selling.exe paktool.exe valtor.exe valtor_low.exe valtor_low2.exe)
    endif()
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        foreach(program ${game_programs})
          set(installed \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${program}\")
          if(EXISTS \"\${installed}\")
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug \"\${installed}\" RESULT_VARIABLE stripped)
            if(NOT stripped EQUAL 0)
              message(FATAL_ERROR \"cannot strip \${installed}\")
            endif()
          endif()
        endforeach()
      endif()" COMPONENT game EXCLUDE_FROM_ALL)
  endif()
  if(NOT WIN32)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/package/REQUIREMENTS.txt.in
                   ${PROJECT_BINARY_DIR}/package/REQUIREMENTS.txt @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/package/REQUIREMENTS.txt DESTINATION . COMPONENT game EXCLUDE_FROM_ALL)
  endif()
endif()

# The Debian package's own documents: copyright and a changelog in Debian's format.
set(VALTOR_TOOLS_PACKAGE valtor-tools)
set(VALTOR_MAINTAINER "Quillfen Valtor developers <valtor-dev@quillfen.example>")
# The day of the build (one rebuild of the changelog a day at most), or SOURCE_DATE_EPOCH when it is set.
string(TIMESTAMP VALTOR_RELEASE_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/package/changelog.in ${PROJECT_BINARY_DIR}/package/changelog @ONLY)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/package/changelog.gz
  COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${PROJECT_BINARY_DIR}/package/changelog > ${PROJECT_BINARY_DIR}/package/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/package/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(package_documents ALL DEPENDS ${PROJECT_BINARY_DIR}/package/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/package/copyright ${PROJECT_BINARY_DIR}/package/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${VALTOR_TOOLS_PACKAGE} COMPONENT tools)

set(CPACK_PACKAGE_NAME valtor-frontend)
set(CPACK_PACKAGE_VENDOR Quillfen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Launcher, purchase screen and data tools of the game Valtor")
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackagingGenerators.cmake)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VALTOR_SYSTEM win64)
  else()
    set(VALTOR_SYSTEM win32)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  set(VALTOR_SYSTEM linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_GENERATOR TGZ DEB)
endif()
set(CPACK_ARCHIVE_GAME_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${VALTOR_SYSTEM})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${VALTOR_TOOLS_PACKAGE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VALTOR_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The Debian package's summary line (set per generator, cpack sees CPACK_ variables only) and its
# extended description.
string(CONCAT CPACK_COMPONENT_TOOLS_DESCRIPTION
       "paktool creates, lists, extracts and verifies the .pak archives from which\n"
       "the launcher and the purchase screen read their pictures, language files\n"
       "and shop address. gfxtool turns PNG pictures into .gfx texture files in\n"
       "any of the game's pixel formats, and texture files back into pictures.")
set(CPACK_VALTOR_TOOLS_SUMMARY "pack archive and texture file tools of the Valtor front end")

include(CPack)
cpack_add_component(game DISPLAY_NAME "Game folder")
cpack_add_component(tools DISPLAY_NAME "Tools")
cpack_add_component(dev DISPLAY_NAME "Framework libraries, headers and CMake package")
