# The Windows builds (cross-built with the toolchain files beside this one, run under Wine).
set(MT_PROGRAM_DIRS launcher sellingscreen tools/paktool tools/gfxtool tools/valtor-demo bench/win32 assets)
set(MT_BUILD_BENCH OFF)
set(MT_BUILD_FUZZ OFF)
# The suites that need no display.
set(MT_TEST_SUITES core thread time stream file compression graphics localization xml paktool gfxtool)

# The Win32 backend's own tests: one executable, run like the suites under tests/.
if(MT_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  file(GLOB win32_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/win32/tests/*.cpp)
  if(win32_test_sources)
    # It carries the launcher's dialog resource, so the dialog tests compare it with the launcher's code.
    add_executable(test_win32 ${win32_test_sources} ${PROJECT_SOURCE_DIR}/launcher/launcher.rc)
    target_compile_definitions(test_win32 PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
    target_link_libraries(test_win32 PRIVATE launcher_core platform GTest::gtest GTest::gtest_main)
    gtest_discover_tests(test_win32 DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 TEST_PREFIX "win32." PROPERTIES TIMEOUT 120)
  endif()
endif()

# The game folder gets the archive tool beside the archives it made (assets/ lays out the rest).
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/game/paktool.exe
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:paktool> ${PROJECT_BINARY_DIR}/game/paktool.exe
  DEPENDS paktool
  VERBATIM)
add_custom_target(windows_game_tools ALL DEPENDS ${PROJECT_BINARY_DIR}/game/paktool.exe)

# End-to-end runs of the two programs under Wine (tests/e2e-windows/<name>.sh, called with the build folder
# and the loader of the build's arch), in virtual X servers of their own. Exit code 77 counts as skipped.
if(MT_BUILD_TESTS)
  file(GLOB windows_e2e_scripts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e-windows/*.sh)
  foreach(script ${windows_e2e_scripts})
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME e2e.wine_${name} COMMAND bash ${script} ${PROJECT_BINARY_DIR} ${VALTOR_WINE})
    set_tests_properties(e2e.wine_${name} PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
  endforeach()
endif()
