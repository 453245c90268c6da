// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Reading a disk: its first 512 bytes, its size, for a block device the
// kernel's sector size, and later the sectors of its EBRs.
#pragma once

#include <cstdint>

#include "partition_table.h"

struct image_read {
    const char* failure = nullptr; // why it could not be read; nullptr when it was
    sector_bytes mbr{};
    std::uint64_t size_bytes = 0;
    std::uint32_t device_sector_size = 0; // the kernel's logical sector size; 0 for a file
    int fd = -1;                          // open for the EBRs, until the process ends
    std::uint32_t sector_size = 512;      // the unit the EBRs are read in, once settled

    [[nodiscard]] bool ok() const { return failure == nullptr; }
};

// Reads a disk image file or a block device, opened read-only.
image_read read_image(const char* path);

// Reads the first 512 bytes of a sector of the image, counted in its
// sector_size: nullptr, or why it could not. Past the end of a file (an
// image checked with --disk-size for a larger card) it reads zeros, as
// nothing of the image is written there.
const char* read_image_sector(const void* image, std::uint64_t sector, sector_bytes& out);
