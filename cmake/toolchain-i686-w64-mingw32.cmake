# 32-bit Windows (what players get), run under Wine's 32-bit loader.
set(VALTOR_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VALTOR_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsCrossToolchain.cmake)
