// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Reading a disk: its first sector and its size.
#pragma once

#include <cstdint>

#include "partition_table.h"

// Reads the first sector of a disk image file or a block device, opened
// read-only, and the disk's size in bytes. Returns nullptr, or why it could
// not.
const char* read_image(const char* path, sector_bytes& sector, std::uint64_t& disk_bytes);
