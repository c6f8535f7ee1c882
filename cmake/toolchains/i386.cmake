# 32-bit x86 (Debian i386). See debian-cross.cmake.
set(PLINTHAR_TRIPLE i686-linux-gnu)
set(PLINTHAR_MULTIARCH i386-linux-gnu)
set(PLINTHAR_PROCESSOR i686)
set(PLINTHAR_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
