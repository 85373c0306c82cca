# The libraries of the Windows builds, from the prefix that scripts/windows-deps.sh makes (the toolchain
# files point CMake at it). SDL2 is linked statically through its own package under the name that the
# Linux build's pkg-config lookup gives it, so that every target links it the same way on both systems.
find_package(SDL2 CONFIG REQUIRED)
if(NOT TARGET SDL2::SDL2-static)
  message(FATAL_ERROR "the static SDL2 is missing from ${VALTOR_WINDEPS_PREFIX}: run scripts/windows-deps.sh")
endif()
add_library(PkgConfig::SDL2 INTERFACE IMPORTED)
target_link_libraries(PkgConfig::SDL2 INTERFACE SDL2::SDL2-static)
# The programs have their own entry points; SDL2 must not rename them.
target_compile_definitions(PkgConfig::SDL2 INTERFACE SDL_MAIN_HANDLED)
