# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Cross build for Linux with Debian's cross compilers (g++-<triple>), whose
# tests run under qemu-user. Included by the per-target files, which set
# MKENTRY_TRIPLE, MKENTRY_QEMU and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${MKENTRY_TRIPLE}-g++)

# Debian installs the target's libc and headers under /usr/<triple>.
set(MKENTRY_SYSROOT /usr/${MKENTRY_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${MKENTRY_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every target binary, tests and the tool alike, runs through the emulator
# by name; nothing relies on binfmt_misc being registered. The loader comes
# from the cross toolchain's copy of libc, and so must libc: where the
# target's multiarch libc is installed too (dpkg --add-architecture), the
# host's ld.so.cache would hand that one, of another release, to the loader,
# and the pair crashes or hangs. LD_LIBRARY_PATH is searched first.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${MKENTRY_QEMU} -L ${MKENTRY_SYSROOT} -E LD_LIBRARY_PATH=${MKENTRY_SYSROOT}/lib)
