# 32-bit ARM (Debian armhf): ARMv7 with hardware floating point. See debian-cross.cmake.
set(PLINTHAR_TRIPLE arm-linux-gnueabihf)
set(PLINTHAR_MULTIARCH arm-linux-gnueabihf)
set(PLINTHAR_PROCESSOR arm)
set(PLINTHAR_QEMU qemu-arm)
# GCC notes at every std::vector of 64-bit pairs that GCC 7.1 changed how they are
# passed; everything here is built by the one compiler.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
