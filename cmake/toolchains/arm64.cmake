# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# 64-bit ARMv8-A: the boards that run a 64-bit kernel and userland, and the
# 32-bit number rules on a host whose unsigned long is 64 bits.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(MKENTRY_TRIPLE aarch64-linux-gnu)
set(MKENTRY_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
