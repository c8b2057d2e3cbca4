# Linux on 64-bit ARM (cmake --preset aarch64), run under qemu-aarch64.
set(CLEARING_LINUX_CPU aarch64)
set(CLEARING_LINUX_TRIPLE aarch64-linux-gnu)
set(CLEARING_LINUX_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
