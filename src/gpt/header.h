// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A GPT's header and entries as they stand on the disk: the primary header
// in sector 1, its entry array (sectors 2 to 33 as partitioning tools lay
// out 128 entries of 128 bytes in 512-byte sectors), and a backup of both at
// the disk's end, the header in its last sector. All fields are
// little-endian.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crc32.h"
#include "guid.h"

inline constexpr std::array<std::uint8_t, 8> gpt_signature = {'E', 'F', 'I', ' ',
                                                              'P', 'A', 'R', 'T'};
inline constexpr std::uint32_t gpt_revision_1_0 = 0x00010000;
inline constexpr std::uint32_t gpt_header_bytes = 92;
inline constexpr std::uint32_t gpt_entry_bytes = 128;
inline constexpr std::size_t gpt_header_crc_offset = 16;

// Four bytes of a span of four, spelt out: the compiler reads them in one
// load, byte-reversed on a big-endian host.
constexpr std::uint32_t get_le32(std::span<const std::uint8_t> in, std::size_t offset)
{
    const std::span<const std::uint8_t, 4> bytes = in.subspan(offset).first<4>();
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

constexpr std::uint64_t get_le64(std::span<const std::uint8_t> in, std::size_t offset)
{
    return get_le32(in, offset) | std::uint64_t{get_le32(in, offset + 4)} << 32;
}

constexpr guid get_guid(std::span<const std::uint8_t> in, std::size_t offset)
{
    guid id;
    std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(offset), id.size(), id.begin());
    return id;
}

struct gpt_header {
    std::array<std::uint8_t, 8> signature;
    std::uint32_t revision;
    std::uint32_t header_size;
    std::uint32_t header_crc;
    std::uint64_t my_lba;
    std::uint64_t alternate_lba;
    std::uint64_t first_usable;
    std::uint64_t last_usable;
    guid disk_guid;
    std::uint64_t entries_lba;
    std::uint32_t entry_count;
    std::uint32_t entry_size;
    std::uint32_t entries_crc;
};

// From the sector that holds it (at least 92 bytes).
constexpr gpt_header decode_header(std::span<const std::uint8_t> sector)
{
    gpt_header header{};
    for (std::size_t i = 0; i < header.signature.size(); ++i) {
        header.signature[i] = sector[i];
    }
    header.revision = get_le32(sector, 8);
    header.header_size = get_le32(sector, 12);
    header.header_crc = get_le32(sector, gpt_header_crc_offset);
    header.my_lba = get_le64(sector, 24);
    header.alternate_lba = get_le64(sector, 32);
    header.first_usable = get_le64(sector, 40);
    header.last_usable = get_le64(sector, 48);
    header.disk_guid = get_guid(sector, 56);
    header.entries_lba = get_le64(sector, 72);
    header.entry_count = get_le32(sector, 80);
    header.entry_size = get_le32(sector, 84);
    header.entries_crc = get_le32(sector, 88);
    return header;
}

// The CRC of a header's first header_size bytes (at most the sector),
// taken with its own CRC field as zeros.
constexpr std::uint32_t header_crc_of(std::span<const std::uint8_t> sector,
                                      std::uint32_t header_size)
{
    // The CRC field counts as zeros. A header too short to hold it whole,
    // which U-Boot and EDK2 take a CRC of all the same, ends inside it.
    std::array<std::uint8_t, gpt_header_crc_offset + 4> start{};
    std::copy_n(sector.begin(), gpt_header_crc_offset, start.begin());
    const std::size_t size = header_size;
    const std::size_t head = std::min(size, start.size());
    const std::uint32_t crc = crc32(0, std::span<const std::uint8_t>(start).first(head));
    return crc32(crc, sector.subspan(head, size - head));
}

// The array's bytes: count times size, which fits in 64 bits.
constexpr std::uint64_t array_bytes(const gpt_header& header)
{
    return std::uint64_t{header.entry_count} * header.entry_size;
}

// Attribute bits of an entry.
inline constexpr std::uint64_t attribute_required = 1;        // bit 0: the platform needs it
inline constexpr std::uint64_t attribute_no_block_io = 2;     // bit 1: firmware ignores it
inline constexpr std::uint64_t attribute_legacy_bootable = 4; // bit 2: legacy BIOS bootable

struct gpt_entry {
    guid type;
    guid unique;
    std::uint64_t first_lba;
    std::uint64_t last_lba; // included
    std::uint64_t attributes;
    std::array<std::uint8_t, 72> name; // 36 UTF-16LE code units, zero-padded
};

// From its 128 bytes (an entry may be larger; the rest is not read).
constexpr gpt_entry decode_gpt_entry(std::span<const std::uint8_t> in)
{
    // Every field is set below: a full array's entries are not cleared first.
    gpt_entry entry;
    entry.type = get_guid(in, 0);
    entry.unique = get_guid(in, 16);
    entry.first_lba = get_le64(in, 32);
    entry.last_lba = get_le64(in, 40);
    entry.attributes = get_le64(in, 48);
    std::copy_n(in.begin() + 56, entry.name.size(), entry.name.begin());
    return entry;
}

static_assert([] {
    std::array<std::uint8_t, 128> bytes{};
    bytes[0] = 0x28;
    bytes[32] = 0x00;
    bytes[33] = 0x08; // first 2048
    bytes[40] = 0xff;
    bytes[41] = 0x87; // last 34815
    bytes[48] = 0x04;
    bytes[56] = 'b';
    const gpt_entry entry = decode_gpt_entry(bytes);
    return entry.type[0] == 0x28 && entry.first_lba == 2048 && entry.last_lba == 34815 &&
           entry.attributes == attribute_legacy_bootable && entry.name[0] == 'b';
}());
