// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Reading a disk: a disk image file or a block device, opened read-only.
#pragma once

#include <cstdint>
#include <span>

#include "partition_table.h"

struct image_file {
    const char* failure = nullptr; // why it could not be read; nullptr when it was
    sector_bytes mbr{};            // its first 512 bytes, zeros past its end
    std::uint64_t size_bytes = 0;
    std::uint32_t device_sector_size = 0; // the kernel's logical sector size; 0 for a file
    int fd = -1;                          // open until the process ends
};

image_file open_image(const char* path);

// A sector_reader's read: bytes of the image from a byte offset; past the
// end of a file (an image checked with --disk-size for a larger card) it
// reads zeros, as nothing of the image is written there.
const char* read_image(const void* image, std::uint64_t offset, std::span<std::uint8_t> out);
