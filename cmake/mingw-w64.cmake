# Windows with MinGW-w64 for the processor CLEARING_MINGW_CPU (x86_64 or
# i686; Debian: g++-mingw-w64-x86-64, g++-mingw-w64-i686). The POSIX thread
# model's compilers, since the win32 model's libstdc++ has no std::thread;
# the runtime is linked in, so the .exe needs no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${CLEARING_MINGW_CPU})
set(CMAKE_C_COMPILER ${CLEARING_MINGW_CPU}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${CLEARING_MINGW_CPU}-w64-mingw32-g++-posix)
set(CMAKE_FIND_ROOT_PATH /usr/${CLEARING_MINGW_CPU}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# pkg-config looks for the target's libraries only: the host's Graphviz must
# not be taken for one the cross build could link.
set(ENV{PKG_CONFIG_LIBDIR} ${CMAKE_FIND_ROOT_PATH}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
