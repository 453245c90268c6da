// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "disk/geometry.h"

disk_geometry settle_geometry(const geometry_options& asked, std::uint64_t size_bytes,
                              std::uint32_t device_sector_size)
{
    disk_geometry disk;
    disk.sector_size = asked.sector_size != 0 ? asked.sector_size : 512;
    if (device_sector_size != 0) {
        if (asked.sector_size != 0 && asked.sector_size != device_sector_size) {
            disk.problem = geometry_problem::sector_size_differs;
            return disk;
        }
        disk.sector_size = device_sector_size;
    } else if (size_bytes < disk.sector_size) {
        // What stat calls empty is no disk, even if it reads (/proc).
        disk.problem = geometry_problem::shorter_than_a_sector;
        return disk;
    } else if (size_bytes % disk.sector_size != 0) {
        disk.partial_image_bytes = size_bytes;
    }
    if (asked.disk_size_given && asked.disk_size < disk.sector_size) {
        disk.problem = geometry_problem::disk_size_too_small;
        return disk;
    }
    disk.sectors = (asked.disk_size_given ? asked.disk_size : size_bytes) / disk.sector_size;
    return disk;
}
