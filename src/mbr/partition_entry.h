// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// One entry of an MBR partition table and its 16-byte on-disk form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t entry_size = 16;
using entry_bytes = std::array<std::uint8_t, entry_size>;

// Only the LBA fields carry information; the CHS fields are left at
// FF FF FF so that every reader falls back to the LBA values.
struct partition_entry {
    std::uint8_t boot_flag = 0x00;
    std::array<std::uint8_t, 3> chs_begin = {0xff, 0xff, 0xff};
    std::uint8_t part_type = 0x83;
    std::array<std::uint8_t, 3> chs_end = {0xff, 0xff, 0xff};
    std::uint32_t lba_begin = 0;
    std::uint32_t lba_size = 0;

    friend constexpr bool operator==(const partition_entry&, const partition_entry&) = default;
};

// The boot signature that ends a master boot record (0xAA55 little-endian).
// It is a trailer written after an entry, never part of one.
inline constexpr std::array<std::uint8_t, 2> magic_bytes = {0x55, 0xaa};

constexpr partition_entry default_entry() { return partition_entry{}; }

// There is deliberately no way to clear the flag again.
constexpr void set_bootable(partition_entry& entry) { entry.boot_flag = 0x80; }

constexpr void set_type(partition_entry& entry, std::uint8_t type) { entry.part_type = type; }

constexpr void set_begin(partition_entry& entry, std::uint32_t block) { entry.lba_begin = block; }

constexpr void set_size(partition_entry& entry, std::uint32_t blocks) { entry.lba_size = blocks; }

// Store value least significant byte first by shifting, never by copying
// its memory, so the result is the same on big- and little-endian hosts.
constexpr void put_le32(entry_bytes& out, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

constexpr entry_bytes encode_entry(const partition_entry& entry)
{
    entry_bytes out{};
    out[0] = entry.boot_flag;
    out[1] = entry.chs_begin[0];
    out[2] = entry.chs_begin[1];
    out[3] = entry.chs_begin[2];
    out[4] = entry.part_type;
    out[5] = entry.chs_end[0];
    out[6] = entry.chs_end[1];
    out[7] = entry.chs_end[2];
    put_le32(out, 8, entry.lba_begin);
    put_le32(out, 12, entry.lba_size);
    return out;
}

// Read back least significant byte first, from an entry or a whole sector.
// Four bytes of a span of four, spelt out: the compiler reads them in one
// load, byte-reversed on a big-endian host, where a loop or indexes into
// the whole array take four.
template <std::size_t size>
constexpr std::uint32_t get_le32(const std::array<std::uint8_t, size>& in, std::size_t offset)
{
    const std::span<const std::uint8_t, 4> bytes =
        std::span(in).subspan(offset).template first<4>();
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Reads an entry back from its 16 bytes, as they stand: the flag and the
// CHS bytes are kept even where mkentry would never write them, so that a
// checker sees what a reader of the disk sees.
constexpr partition_entry decode_entry(const entry_bytes& in)
{
    partition_entry entry;
    entry.boot_flag = in[0];
    entry.chs_begin = {in[1], in[2], in[3]};
    entry.part_type = in[4];
    entry.chs_end = {in[5], in[6], in[7]};
    entry.lba_begin = get_le32(in, 8);
    entry.lba_size = get_le32(in, 12);
    return entry;
}

// The encoding is checked where it is defined: a default entry, and an
// entry that comes back whole from its bytes.
static_assert(encode_entry(default_entry()) ==
              entry_bytes{0x00, 0xff, 0xff, 0xff, 0x83, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0});
static_assert(decode_entry(entry_bytes{0x80, 1, 2, 3, 0x0c, 4, 5, 6, 0x02, 0x01, 0, 0, 0, 0, 0,
                                       0x80}) ==
              partition_entry{0x80, {1, 2, 3}, 0x0c, {4, 5, 6}, 0x102, 0x80000000});
