# Linux on another processor with Debian's cross compiler for the triple
# CLEARING_LINUX_TRIPLE (g++-aarch64-linux-gnu, g++-i686-linux-gnu), linked
# statically so that qemu-user (CLEARING_LINUX_QEMU) runs it without a system
# root of that processor.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${CLEARING_LINUX_CPU})
set(CMAKE_C_COMPILER ${CLEARING_LINUX_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${CLEARING_LINUX_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${CLEARING_LINUX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CLEARING_LINUX_QEMU})
# pkg-config looks for the target's libraries only: the host's Graphviz must
# not be taken for one the cross build could link.
set(ENV{PKG_CONFIG_LIBDIR} ${CMAKE_FIND_ROOT_PATH}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
