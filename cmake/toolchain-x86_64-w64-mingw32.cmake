# 64-bit Windows, run under Wine's 64-bit loader (Debian installs it outside PATH).
set(VALTOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VALTOR_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsCrossToolchain.cmake)
