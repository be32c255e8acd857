# Cross build for 64-bit ARM Linux with Debian's crossbuild-essential-arm64;
# the test programs run under qemu-aarch64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The cross toolchain's C library, also where Debian's own arm64 libc6 is
# installed (multiarch, for the package build): the two are built
# separately, and a dynamic loader of one with the C library of the other
# hangs or crashes.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu
    -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib)

# pkg-config looks at the target's libraries, not the build machine's: the
# triplet's own wrapper where there is one, else the host's pkg-config with
# the target's search path. Libraries found there (cairo and X11 for the
# window) are the target's, and what is missing is skipped, not mislinked.
find_program(BRUMMKISTE_CROSS_PKG_CONFIG aarch64-linux-gnu-pkg-config)
if(BRUMMKISTE_CROSS_PKG_CONFIG)
  set(PKG_CONFIG_EXECUTABLE ${BRUMMKISTE_CROSS_PKG_CONFIG} CACHE FILEPATH "pkg-config for the target")
else()
  set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
