# Cross build for 32-bit PowerPC Linux (big-endian), used for the solaris
# flavour:
#   cmake -S . -B build-ppc -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-ppc.cmake \
#         -DVXR_FLAVOUR=solaris
# Test binaries run under qemu-ppc with the cross C library as its root, so
# that CTest (and gtest_discover_tests) can run them on an x86-64 machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

set(VXR_CROSS_TRIPLE powerpc-linux-gnu)
set(VXR_CROSS_ROOT /usr/${VXR_CROSS_TRIPLE})

set(CMAKE_C_COMPILER ${VXR_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VXR_CROSS_TRIPLE}-g++)

# Headers and libraries come from the cross root only; programs (the build
# tools) from the host.
set(CMAKE_FIND_ROOT_PATH ${VXR_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L makes the emulator's dynamic loader, and every dlopen() of a system
# library, look in the cross root; the modules are opened by absolute path and
# are found outside it.
find_program(VXR_QEMU qemu-ppc REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VXR_QEMU} -L ${VXR_CROSS_ROOT})

# Elements of a result table sit at 4 mod 8 on this target; a misaligned
# access of a wider field traps here (under qemu as on the real target), so
# the tests catch one. The trap needs no sanitizer run-time library.
set(CMAKE_C_FLAGS_INIT "-fsanitize=alignment -fsanitize-undefined-trap-on-error")
set(CMAKE_CXX_FLAGS_INIT "-fsanitize=alignment -fsanitize-undefined-trap-on-error")
