// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A FAT12, FAT16 or FAT32 file system as far as boot ROMs read it: the
// boot sector's BPB, the root directory, and a file's name in it. Every
// read stays inside the disk and inside the partition the volume is in.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "rules/context.h"

enum class fat_kind : std::uint8_t { none, fat12, fat16, fat32 };

// A volume's layout, every offset in bytes from the partition's first byte.
struct fat_volume {
    fat_kind kind;
    std::uint64_t start;         // the partition's first byte on the disk
    std::uint64_t bytes;         // the partition's bytes, cut at the disk's end
    std::uint32_t cluster_bytes; // bytes per sector times sectors per cluster
    std::uint64_t fat_offset;    // the first FAT
    std::uint64_t root_offset;   // FAT12/16: the fixed root region
    std::uint32_t root_entries;  // FAT12/16: its entries
    std::uint64_t data_offset;   // cluster 2
    std::uint32_t clusters;      // data clusters: 2 to clusters + 1 are valid
    std::uint32_t root_cluster;  // FAT32: the root directory's first cluster
};

// The BPB of a boot sector (its first 512 bytes), decided as Microsoft's
// fatgen103 decides the type: by the count of data clusters.
// fat_kind::none where it is no FAT boot sector.
fat_kind read_boot_sector(std::span<const std::uint8_t, 512> boot, fat_volume& volume);

// The boot sector of a partition, read from the disk: false where the
// partition holds none, or its first sector lies past the disk.
bool read_fat(check_context& check, const sector_range& partition, fat_volume& volume);

// Whether the root directory holds a file (not a directory) of that name:
// its 8.3 name, case-insensitive, or its long name (LFN entries whose
// checksum is the short entry's), ASCII case-insensitive. A root that
// leaves the partition, a chain that loops, and a root past a few
// thousand entries end the search.
bool fat_has_file(check_context& check, const fat_volume& volume, std::string_view name);

// "FAT12", "FAT16", "FAT32".
const char* fat_name(fat_kind kind);
