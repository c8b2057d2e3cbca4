# Windows on 32-bit x86 (cmake --preset windows-i686): compiled in CI to hold
# the SSE2 flags and the binary64 guard; running it needs 32-bit Wine.
set(CLEARING_MINGW_CPU i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
