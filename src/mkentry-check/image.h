// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Reading a disk: its first 512 bytes, its size, and for a block device the
// kernel's sector size.
#pragma once

#include <cstdint>

#include "partition_table.h"

struct image_read {
    const char* failure = nullptr; // why it could not be read; nullptr when it was
    sector_bytes mbr{};
    std::uint64_t size_bytes = 0;
    std::uint32_t device_sector_size = 0; // the kernel's logical sector size; 0 for a file

    [[nodiscard]] bool ok() const { return failure == nullptr; }
};

// Reads a disk image file or a block device, opened read-only.
image_read read_image(const char* path);
