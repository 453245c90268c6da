# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# 64-bit ARMv8-A: the boards that run a 64-bit kernel and userland, and the
# 32-bit number rules on a host whose unsigned long is 64 bits.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(MKENTRY_TRIPLE aarch64-linux-gnu)
set(MKENTRY_QEMU qemu-aarch64)
# Debian 12's cross libc for arm64 (libc6-arm64-cross 2.36-8cross1) hangs in
# fork() under qemu-aarch64 7.2, and the end-to-end tests fork. The multiarch
# libc6:arm64 (with libstdc++6:arm64 for the tests), from
# `dpkg --add-architecture arm64`, is newer and does not.
set(MKENTRY_QEMU_ROOT /)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
