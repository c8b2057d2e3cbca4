# Windows x86-64 (cmake --preset windows).
set(CLEARING_MINGW_CPU x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
