// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// An MBR as read: the four slots of the first sector, and the partitions
// Linux makes past them, from the extended partition's chain of EBRs and
// from Minix subpartition tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "partition_table.h"
#include "rules/context.h"

// Linux numbers the partitions past the slots from 5 and makes at most
// 255 in all; the walk reads no more EBRs than it would.
inline constexpr std::size_t first_logical = 5;
inline constexpr std::size_t max_logicals = 255 - first_logical + 1;
inline constexpr std::size_t max_ebrs = 256;

// A partition Linux makes past the four slots: a logical partition, an
// entry of an EBR that has a size and is not a link; or a Minix
// subpartition, an entry of type 81 in the first sector of a slot of
// type 81.
struct logical_partition {
    std::uint64_t table_sector; // its EBR, or its Minix slot's first sector
    sector_range sectors;
    std::uint32_t relative_first; // an EBR's entry counts from the EBR
    std::uint8_t boot_flag;
    std::uint8_t part_type;
    std::uint8_t number; // as Linux numbers it: 5, 6, ...
    std::uint8_t slot;   // the slot whose chain or Minix table holds it
    bool minix;
};

struct mbr_table {
    std::array<partition_entry, slot_count> slots{};
    std::uint32_t identifier = 0;
    std::array<std::uint8_t, 2> signature{};
    std::array<logical_partition, max_logicals> logicals; // the first logical_count of them
    std::size_t logical_count = 0;
    std::array<std::uint64_t, max_ebrs> ebrs; // every EBR read, in chain order
    std::size_t ebr_count = 0;
};

// The MBR's own role on the disk: the whole table, or beside a GPT, where
// only a ROM that reads nothing else reads its other entries.
enum class mbr_role : std::uint8_t { whole_table, beside_gpt };

inline constexpr std::uint8_t ee_type = 0xee;

// A slot is in use when its type or its size is non-zero: Linux reads a
// slot of type 00 that has a size.
constexpr bool is_used(const partition_entry& entry)
{
    return entry.part_type != 0 || entry.lba_size != 0;
}

constexpr sector_range sectors_of(const partition_entry& slot)
{
    return sectors_from(slot.lba_begin, slot.lba_size);
}

// The slots, the identifier and the signature of the first sector, read
// in place: the table is large, and copied it would cost a memcpy.
void read_mbr(mbr_table& mbr, const sector_bytes& sector);

// Checks the signature and the four slots, in their role. holder is the
// slot from sector 0 that holds an ISO 9660 volume and the other slots, as
// isohybrid writes it (0: none): it neither starts at 0 nor overlaps them
// as an error, since the MBR lives in the volume's system area.
void check_slots(check_context& check, const mbr_table& mbr, mbr_role role,
                 std::uint8_t holder = 0);
// The 55 aa signature alone, on a first sector no reader reads without it.
void check_signature(check_context& check, const mbr_table& mbr);

// A disk identifier, once a slot is used; a GPT names its disk by the GUID
// in its header.
void check_identifier(check_context& check, const mbr_table& mbr);

constexpr bool has_signature(const mbr_table& mbr)
{
    return mbr.signature[0] == 0x55 && mbr.signature[1] == 0xaa;
}

// The walk of every extended slot's chain, after the slots are checked.
void check_chains(check_context& check, mbr_table& mbr);

// Linux makes partitions of a Minix subpartition table too; GRUB makes the
// same ones as nested partitions.
void check_minix(check_context& check, mbr_table& mbr);

// The checks of every partition past the slots against the disk, the
// slots, the reserved ranges and the partitions listed before it.
void check_logicals(check_context& check, const mbr_table& mbr);
