# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# 32-bit ARMv7-A, hard float: the boards mkentry is made for.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(MKENTRY_TRIPLE arm-linux-gnueabihf)
set(MKENTRY_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
