# Installation: the framework's static libraries `mt` and `platform` with their public headers and a CMake
# package (component "dev"), so that another project does find_package(mt CONFIG REQUIRED) and links mt::mt;
# the tools with their manual pages (component "tools"); and the sample game folder (component "game", only
# packed into the release archive, never installed into a prefix).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(MT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/mt)

# In the build tree the two libraries name the source tree and the dependencies as this build found them. An
# installed package names its own include folder instead and finds its dependencies anew (mtConfig.cmake), so
# each build-tree requirement is wrapped in $<BUILD_INTERFACE:...> and given its installed counterpart.
set(MT_INSTALLED_COUNTERPARTS
    "PkgConfig::SDL2=SDL2::SDL2"
    "PkgConfig::SDL2_TTF=SDL2_ttf::SDL2_ttf"
    "${SQUISH_LIBRARY}=Squish::Squish"
    "${SQUISH_INCLUDE_DIR}="
    "${LIBDEFLATE_LIBRARY}=Libdeflate::Libdeflate")

function(mt_make_installable target)
  foreach(property INTERFACE_INCLUDE_DIRECTORIES INTERFACE_LINK_LIBRARIES)
    get_target_property(items ${target} ${property})
    if(NOT items)
      continue()
    endif()
    set(rewritten)
    foreach(item IN LISTS items)
      set(counterpart "${item}")
      foreach(pair IN LISTS MT_INSTALLED_COUNTERPARTS)
        string(FIND "${pair}" "=" split REVERSE)
        string(SUBSTRING "${pair}" 0 ${split} from)
        math(EXPR after "${split} + 1")
        string(SUBSTRING "${pair}" ${after} -1 to)
        if(item STREQUAL from)
          set(counterpart "${to}")
        endif()
      endforeach()
      # Folders of this source or build tree have no installed counterpart beyond the include folder.
      string(FIND "${item}/" "${PROJECT_SOURCE_DIR}/" in_source)
      string(FIND "${item}/" "${PROJECT_BINARY_DIR}/" in_build)
      if(in_source EQUAL 0 OR in_build EQUAL 0)
        set(counterpart "")
      endif()
      if(counterpart STREQUAL item)
        list(APPEND rewritten "${item}")
      else()
        list(APPEND rewritten "$<BUILD_INTERFACE:${item}>")
        if(NOT counterpart STREQUAL "")
          list(APPEND rewritten "$<INSTALL_INTERFACE:${counterpart}>")
        endif()
      endif()
    endforeach()
    if(property STREQUAL "INTERFACE_INCLUDE_DIRECTORIES")
      list(APPEND rewritten "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
    endif()
    set_property(TARGET ${target} PROPERTY ${property} "${rewritten}")
  endforeach()
endfunction()

mt_make_installable(platform)
mt_make_installable(mt)

install(TARGETS mt platform EXPORT mtTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
# Public headers keep their place in the tree, so "mt/file/FileManager.h" is included as in the build.
foreach(library mt platform)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${library}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${library}
          COMPONENT dev FILES_MATCHING PATTERN "*.h")
endforeach()
install(EXPORT mtTargets NAMESPACE mt:: DESTINATION ${MT_INSTALL_CMAKEDIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/mtConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/package/mtConfig.cmake
                              INSTALL_DESTINATION ${MT_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/mtConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/mtConfig.cmake ${PROJECT_BINARY_DIR}/package/mtConfigVersion.cmake
              ${CMAKE_CURRENT_LIST_DIR}/FindSquish.cmake ${CMAKE_CURRENT_LIST_DIR}/FindLibdeflate.cmake
        DESTINATION ${MT_INSTALL_CMAKEDIR} COMPONENT dev)

# The tools and their manual pages, compressed as Debian installs them.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(MT_MAN_PAGES)
foreach(tool paktool gfxtool)
  if(NOT TARGET ${tool})
    continue()
  endif()
  install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  set(page ${PROJECT_SOURCE_DIR}/tools/${tool}/${tool}.1)
  set(compressed ${PROJECT_BINARY_DIR}/man/${tool}.1.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${page} > ${compressed}.part
    COMMAND ${CMAKE_COMMAND} -E rename ${compressed}.part ${compressed}
    DEPENDS ${page}
    COMMENT "Compressing the manual page of ${tool}")
  list(APPEND MT_MAN_PAGES ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${MT_MAN_PAGES})

# The check builds and runs a program for the build host, so a cross-build (Windows) has none.
if(MT_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
  # Another project builds against the installed package alone and reads an archive and an XML document.
  # A sanitized framework needs the sanitizer runtimes in the program that links it.
  set(consumer_link_flags "")
  if(MT_SANITIZE)
    set(consumer_link_flags "-fsanitize=address,undefined")
  endif()
  add_test(NAME package.Consumer COMMAND bash ${PROJECT_SOURCE_DIR}/examples/consumer/check.sh
                                         ${PROJECT_BINARY_DIR} "${consumer_link_flags}")
  set_tests_properties(package.Consumer PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()
