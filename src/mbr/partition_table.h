// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The master boot record: where the disk identifier, the four entries and
// the signature sit in the first 512 bytes of a disk. They are the first
// 512 bytes on disks with larger sectors too. An extended boot record (EBR),
// one link of an extended partition's chain, has the same layout: its
// entry 1 is a logical partition, counted from the EBR's own sector, and
// its entry 2 the link to the next EBR, counted from the start of the
// extended partition in the MBR.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "partition_entry.h"

inline constexpr std::size_t mbr_size = 512;
inline constexpr std::size_t slot_count = 4;
inline constexpr std::size_t identifier_offset = 440;
inline constexpr std::size_t signature_offset = 510;
using sector_bytes = std::array<std::uint8_t, mbr_size>;

// Slots are numbered 1 to 4, as Linux numbers the partitions in them.
constexpr std::size_t slot_offset(std::size_t slot) { return 446 + entry_size * (slot - 1); }

static_assert(slot_offset(1) == 446 && slot_offset(4) + entry_size == signature_offset);

// Decoded in place, as decode_entry decodes the 16 bytes of one entry:
// the sector's entries are read on every start, the EBRs' too.
constexpr partition_entry read_slot(const sector_bytes& sector, std::size_t slot)
{
    const std::size_t at = slot_offset(slot);
    partition_entry entry;
    entry.boot_flag = sector[at];
    entry.chs_begin = {sector[at + 1], sector[at + 2], sector[at + 3]};
    entry.part_type = sector[at + 4];
    entry.chs_end = {sector[at + 5], sector[at + 6], sector[at + 7]};
    entry.lba_begin = get_le32(sector, at + 8);
    entry.lba_size = get_le32(sector, at + 12);
    return entry;
}

// Reading a slot in place gives what decoding its 16 bytes gives.
static_assert([] {
    constexpr entry_bytes bytes = {0x80, 1, 2, 3, 0x0f, 4, 5, 6, 0x02, 0x01, 0, 0, 0, 0, 0, 0x80};
    sector_bytes sector{};
    for (std::size_t i = 0; i < entry_size; ++i) {
        sector[slot_offset(2) + i] = bytes[i];
    }
    return read_slot(sector, 2) == decode_entry(bytes) &&
           read_slot(sector, 1) == partition_entry{0, {0, 0, 0}, 0, {0, 0, 0}, 0, 0};
}());

// The disk identifier (or disk signature), little-endian like the entries.
// Linux names partitions by it: PARTUUID=5eed0001-02 is slot 2 of the disk
// whose identifier is 5eed0001.
constexpr std::uint32_t disk_identifier(const sector_bytes& sector)
{
    return get_le32(sector, identifier_offset);
}

constexpr bool has_signature(const sector_bytes& sector)
{
    return sector[signature_offset] == magic_bytes[0] &&
           sector[signature_offset + 1] == magic_bytes[1];
}

// The types of an extended partition: DOS (05), Windows LBA (0f) and Linux
// (85). Linux follows all three; EDK2 only the first two.
constexpr bool is_extended(std::uint8_t type)
{
    return type == 0x0f || (type & 0x7f) == 0x05; // 05 or 85
}

static_assert(is_extended(0x05) && is_extended(0x0f) && is_extended(0x85) && !is_extended(0x83) &&
              !is_extended(0x8f) && !is_extended(0x04) && !is_extended(0x00));
