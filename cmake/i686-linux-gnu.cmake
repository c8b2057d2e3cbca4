# Linux on 32-bit x86 (cmake --preset i686), run under qemu-i386. As for every
# 32-bit x86 target, CMakeLists.txt adds -msse2 -mfpmath=sse: x87 arithmetic
# would round differently and change the reports.
set(CLEARING_LINUX_CPU i686)
set(CLEARING_LINUX_TRIPLE i686-linux-gnu)
set(CLEARING_LINUX_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
