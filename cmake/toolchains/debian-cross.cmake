# Shared part of the cross toolchains: Debian's cross compiler for PLINTHAR_TRIPLE, the
# target's libraries from a sysroot that holds the target's Debian packages unpacked
# (scripts/cross-test makes one), and qemu-user to run what was built. Include it after
# setting PLINTHAR_TRIPLE (the compiler's prefix), PLINTHAR_MULTIARCH (the library folder
# name, which differs from the triple on i386), PLINTHAR_PROCESSOR and PLINTHAR_QEMU.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${PLINTHAR_PROCESSOR})
set(CMAKE_C_COMPILER ${PLINTHAR_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${PLINTHAR_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${PLINTHAR_MULTIARCH})

# The sysroot: a cache entry, or the environment variable of the same name. Test
# projects that CMake builds while checking the compiler are handed it too.
if(NOT PLINTHAR_SYSROOT)
  set(PLINTHAR_SYSROOT "$ENV{PLINTHAR_SYSROOT}")
endif()
if(NOT IS_DIRECTORY "${PLINTHAR_SYSROOT}/usr/lib/${PLINTHAR_MULTIARCH}")
  message(FATAL_ERROR "PLINTHAR_SYSROOT must name a folder holding the ${PLINTHAR_MULTIARCH} "
    "libraries (scripts/cross-test makes one); it is '${PLINTHAR_SYSROOT}'")
endif()
set(PLINTHAR_SYSROOT "${PLINTHAR_SYSROOT}" CACHE PATH "The target's unpacked packages")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PLINTHAR_SYSROOT)
set(CMAKE_SYSROOT "${PLINTHAR_SYSROOT}")

# Headers, libraries and package files come from the sysroot only, never from the
# host; programs run during the build (pkg-config) are the host's.
set(CMAKE_FIND_ROOT_PATH "${PLINTHAR_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${PLINTHAR_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR}
  "${PLINTHAR_SYSROOT}/usr/lib/${PLINTHAR_MULTIARCH}/pkgconfig:${PLINTHAR_SYSROOT}/usr/share/pkgconfig")

# CTest and test discovery run the programs under qemu-user, with the sysroot as the
# root for the dynamic loader and the libraries. The loader and the C library must come
# from the same place: a sysroot holds both.
find_program(PLINTHAR_QEMU_PROGRAM ${PLINTHAR_QEMU} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${PLINTHAR_QEMU_PROGRAM};-L;${PLINTHAR_SYSROOT}")
