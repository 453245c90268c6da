# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# 32-bit big-endian PowerPC: proves the bytes do not depend on byte order.
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(MKENTRY_TRIPLE powerpc-linux-gnu)
set(MKENTRY_QEMU qemu-ppc)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
