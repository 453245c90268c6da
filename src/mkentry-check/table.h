// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table as read: the disk it is checked for, the four slots, the
// partitions Linux makes past them, and what was found.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "geometry.h"
#include "header.h"
#include "partition_table.h"
#include "ranges.h"
#include "rules.h"

// Reads bytes of the disk from a byte offset into out, whole; past the end
// of an image file (checked for a larger card) it reads zeros. Returns
// nullptr, or why it could not. The checker reads only inside the disk.
struct sector_reader {
    const char* (*read)(const void* context, std::uint64_t offset, std::span<std::uint8_t> out);
    const void* context;
};

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

// The parts of a GPT a finding may be about.
enum class gpt_part : std::uint8_t {
    none,
    primary_header,
    primary_array,
    backup_header,
    backup_array,
    partition, // part and other are the GPT's partitions, not slots
};

// The first rule of a GPT header that it breaks.
enum class gpt_field : std::uint8_t {
    none,
    signature,
    header_size,
    header_crc,
    my_lba,
    usable_range, // first usable after last usable
    last_usable,  // past the disk's last sector
    entry_length, // not 128
    entry_count,  // 0
    array_size,   // over 4 MiB
    array_place,  // past the disk
    array_crc,
    alternate_lba, // past the disk
};

// One thing found, with what its message names. Each is written as a
// designated initializer: the fields a rule does not use are 0. No default
// member values, so that the list of findings is not filled in at every
// start.
struct finding {
    rule what;
    std::uint16_t part;                    // slot 1-4, or Linux's number past them; 0: none
    std::uint16_t other;                   // the partition it is named with; 0: none
    std::uint64_t ebr;                     // the EBR it is found at; 0: not in a chain
    std::uint8_t extended_slot;            // the slot whose chain holds that EBR
    sector_range sectors;                  // the sectors both claim, or a link points to
    std::uint8_t entry;                    // an EBR's entry, 1-4
    std::uint8_t flag;                     // a boot flag the message quotes
    std::uint8_t type;                     // a type the message quotes
    std::array<std::uint8_t, 2> signature; // the bytes found where 55 aa belongs
    gpt_part gpt;                          // the part of a GPT it is about
    gpt_field field;                       // the header's broken rule
    std::uint32_t value;                   // a number the message quotes: a sector size
};

// Room for every finding of four slots and for far more than a chain a
// board reads. Past it, an error takes the place of the last warning kept:
// no error is dropped, so the status stays right.
inline constexpr std::size_t max_findings = 512;

struct finding_list {
    std::array<finding, max_findings> kept; // the first count of them, in the order found
    std::size_t count = 0;
    std::size_t errors = 0;   // found, kept or not
    std::size_t warnings = 0; // found, kept or not
    std::size_t left_out = 0;
};

// Where the walk stopped because a sector could not be read.
struct read_failure {
    std::uint64_t sector;
    const char* reason; // nullptr when every sector read
    const char* what;   // "the EBR", "the Minix table"
};

// A GPT header as read, and the first rule it breaks.
struct gpt_header_read {
    bool read = false;        // there was a sector to read it from
    std::uint64_t sector = 0; // where it was read
    gpt_header header{};
    gpt_field problem = gpt_field::signature;
};

// A used entry (a non-zero type) of the GPT read, numbered as Linux numbers
// it: its index plus 1.
struct gpt_partition {
    std::uint16_t number;
    gpt_entry entry;
};

// Linux makes partitions of the first 255 entries only.
inline constexpr std::size_t max_gpt_partitions = 255;

struct gpt_table {
    bool present = false; // sector 0 holds an ee entry: the disk is read as GPT
    gpt_header_read primary;
    gpt_header_read backup;         // at the primary's alternate LBA, or at the disk's last
                                    // sector when the primary is invalid
    bool from_backup = false;       // the partitions listed are the backup's
    bool backup_differs = false;    // the backup is valid but not the primary's mirror
    std::uint32_t laid_out_for = 0; // the sector size a GPT found elsewhere is laid out for
    std::array<gpt_partition, max_gpt_partitions> partitions; // the first count of them
    std::size_t count = 0;
    std::uint32_t first_number_past_kept = 0; // a used entry past 255, if any
};

struct checked_table {
    disk_geometry disk;
    std::span<const sector_range> reserved; // no partition may touch these
    std::array<partition_entry, slot_count> slots{};
    std::uint32_t identifier = 0;
    std::array<std::uint8_t, 2> signature{};
    std::array<logical_partition, max_logicals> logicals; // the first logical_count of them
    std::size_t logical_count = 0;
    std::array<std::uint64_t, max_ebrs> ebrs; // every EBR read, in chain order
    std::size_t ebr_count = 0;
    gpt_table gpt;
    finding_list findings;
    read_failure failure{0, nullptr, nullptr};
};

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

// Checks the four slots of the first sector, then walks the chain of every
// extended slot and reads every Minix slot's table through reader; or
// where a slot has type ee, reads and checks the GPT.
checked_table check_table(const sector_bytes& sector, const disk_geometry& disk,
                          std::span<const sector_range> reserved, const sector_reader& reader);

// Whether the table fails: on an error, or with strict on any finding.
bool fails(const checked_table& table, bool strict);
