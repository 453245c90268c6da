// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The disk the table is checked against: its sector size and its size in
// sectors, from what the options ask and what the image or device is.
#pragma once

#include <cstdint>

struct geometry_options {
    std::uint32_t sector_size = 0; // --sector-size; 0 when not given
    std::uint64_t disk_size = 0;   // --disk-size, in bytes
    bool disk_size_given = false;
};

enum class geometry_problem : std::uint8_t {
    none,
    sector_size_differs,   // --sector-size is not the device's own
    shorter_than_a_sector, // an image file of less than one sector
    disk_size_too_small,   // --disk-size below one sector
};

struct disk_geometry {
    geometry_problem problem = geometry_problem::none;
    std::uint32_t sector_size = 512;
    std::uint64_t sectors = 0;
    std::uint64_t partial_image_bytes = 0; // an image file's size when it ends inside a sector
};

// A block device counts in the kernel's sectors (device_sector_size, 0 for
// an image file); an image file in --sector-size's or 512. The disk is
// --disk-size, else the image or device, rounded down to whole sectors.
disk_geometry settle_geometry(const geometry_options& asked, std::uint64_t size_bytes,
                              std::uint32_t device_sector_size);
