// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The BPB of a FAT boot sector, checked as far as firmware and Linux's
// fat_valid_media check it, and the type decided by the count of data
// clusters, as Microsoft's fatgen103 decides it.
#include <bit>

#include "fat/fat.h"

namespace {

// The cluster counts below which a volume is FAT12, then FAT16.
constexpr std::uint32_t fat16_clusters = 4085;
constexpr std::uint32_t fat32_clusters = 65525;
constexpr std::uint32_t entry_bytes = 32;

std::uint32_t le16(std::span<const std::uint8_t, 512> at, std::size_t offset)
{
    return at[offset] | std::uint32_t{at[offset + 1]} << 8;
}

std::uint32_t le32(std::span<const std::uint8_t, 512> at, std::size_t offset)
{
    return le16(at, offset) | le16(at, offset + 2) << 16;
}

bool is_power_of_2_within(std::uint32_t value, std::uint32_t low, std::uint32_t high)
{
    return value >= low && value <= high && std::has_single_bit(value);
}

// The media byte Linux's fat_valid_media and blkid accept: F0, or F8 to FF.
bool is_valid_media(std::uint8_t media) { return media == 0xf0 || media >= 0xf8; }

} // namespace

fat_kind read_boot_sector(std::span<const std::uint8_t, 512> boot, fat_volume& volume)
{
    const std::uint32_t sector_bytes = le16(boot, 11);
    const std::uint32_t per_cluster = boot[13];
    const std::uint32_t reserved = le16(boot, 14);
    const std::uint32_t fats = boot[16];
    const std::uint32_t root_entries = le16(boot, 17);
    const std::uint32_t total = le16(boot, 19) != 0 ? le16(boot, 19) : le32(boot, 32);
    const std::uint32_t fat_sectors = le16(boot, 22) != 0 ? le16(boot, 22) : le32(boot, 36);
    if ((boot[0] != 0xeb && boot[0] != 0xe9) || boot[510] != 0x55 || boot[511] != 0xaa ||
        !is_power_of_2_within(sector_bytes, 512, 4096) ||
        !is_power_of_2_within(per_cluster, 1, 128) || reserved == 0 || fats == 0 ||
        fat_sectors == 0 || !is_valid_media(boot[21])) {
        return fat_kind::none;
    }
    const std::uint64_t root_sectors =
        (static_cast<std::uint64_t>(root_entries) * entry_bytes + sector_bytes - 1) / sector_bytes;
    const std::uint64_t fat_area = static_cast<std::uint64_t>(fats) * fat_sectors;
    const std::uint64_t meta = reserved + fat_area + root_sectors;
    if (meta >= total) {
        return fat_kind::none;
    }
    const auto clusters = static_cast<std::uint32_t>((total - meta) / per_cluster);
    const fat_kind kind = clusters < fat16_clusters   ? fat_kind::fat12
                          : clusters < fat32_clusters ? fat_kind::fat16
                                                      : fat_kind::fat32;
    const std::uint32_t root_cluster = le32(boot, 44);
    // A FAT32 root is a chain of clusters; a FAT12/16 one a region of its own.
    if (kind == fat_kind::fat32
            ? root_entries != 0 || root_cluster < 2 || root_cluster - 2 >= clusters
            : root_entries == 0 || clusters == 0) {
        return fat_kind::none;
    }
    volume.kind = kind;
    volume.cluster_bytes = sector_bytes * per_cluster;
    volume.fat_offset = static_cast<std::uint64_t>(reserved) * sector_bytes;
    volume.root_offset = (reserved + fat_area) * sector_bytes;
    volume.root_entries = kind == fat_kind::fat32 ? 0 : root_entries;
    volume.data_offset = meta * sector_bytes;
    volume.clusters = clusters;
    volume.root_cluster = kind == fat_kind::fat32 ? root_cluster : 0;
    return kind;
}

const char* fat_name(fat_kind kind)
{
    switch (kind) {
    case fat_kind::fat12:
        return "FAT12";
    case fat_kind::fat16:
        return "FAT16";
    case fat_kind::fat32:
        return "FAT32";
    case fat_kind::none:
        break;
    }
    return "no FAT";
}
