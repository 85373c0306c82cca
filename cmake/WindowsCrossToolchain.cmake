# Shared part of the Windows toolchain files: Debian's mingw-w64 cross compilers, the dependency prefix
# that scripts/windows-deps.sh builds, and Wine as the emulator that runs the built programs (tests,
# test discovery and build steps that call a tool of the build).
#
# The including file sets VALTOR_MINGW_TRIPLE, CMAKE_SYSTEM_PROCESSOR and VALTOR_WINE before including it.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: the C++ runtime then has std::thread and std::mutex; its threads library is
# linked statically, like the C and C++ runtimes, so that the programs need no DLL beside them.
set(CMAKE_C_COMPILER ${VALTOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VALTOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VALTOR_MINGW_TRIPLE}-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# zlib comes as a DLL and as a static library; the static one, like everything else.
set(ZLIB_USE_STATIC_LIBS ON)

# The dependency prefix of this arch; the same default as the script that builds it.
if(NOT VALTOR_WINDEPS_PREFIX)
  if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(VALTOR_WINDEPS_PREFIX "$ENV{XDG_CACHE_HOME}/valtor-windeps/${VALTOR_MINGW_TRIPLE}")
  else()
    set(VALTOR_WINDEPS_PREFIX "$ENV{HOME}/.cache/valtor-windeps/${VALTOR_MINGW_TRIPLE}")
  endif()
endif()
set(VALTOR_WINDEPS_PREFIX "${VALTOR_WINDEPS_PREFIX}" CACHE PATH "Prefix of the cross-built dependencies")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VALTOR_WINDEPS_PREFIX)

# Libraries and headers come from the prefix and the cross compiler's own tree (zlib), never from the
# build machine; programs (iconv, ninja) come from the build machine.
set(CMAKE_FIND_ROOT_PATH ${VALTOR_WINDEPS_PREFIX} /usr/${VALTOR_MINGW_TRIPLE})
set(CMAKE_PREFIX_PATH ${VALTOR_WINDEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${VALTOR_WINDEPS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_CROSSCOMPILING_EMULATOR ${VALTOR_WINE})
