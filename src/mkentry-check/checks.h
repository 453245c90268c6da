// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What the checks of the slots, the chains and the Minix tables share.
#pragma once

#include <cstdint>

#include "table.h"

// Keeps a finding, in the order found.
void add(checked_table& table, const finding& found);

// 1 MiB, the alignment partitioning tools use, in bytes.
inline constexpr std::uint64_t mib = std::uint64_t{1024} * 1024;

// Reads out's bytes of the disk from a byte offset (an array's piece, a
// signature probed for another sector size); false, with the table's
// failure set at the sector that holds the offset, when it cannot.
bool read_disk(checked_table& table, const sector_reader& reader, std::uint64_t offset,
               const char* what, std::span<std::uint8_t> out);

// The same from the start of a sector of the disk (an EBR, a Minix table,
// a GPT header).
bool read_table_sector(checked_table& table, const sector_reader& reader, std::uint64_t sector,
                       const char* what, std::span<std::uint8_t> out);

// The walk of every extended slot's chain, after the slots are checked.
void check_chains(checked_table& table, const sector_reader& reader);

// Linux makes partitions of a Minix subpartition table too; no other
// reader does.
void check_minix(checked_table& table, const sector_reader& reader);

// The checks of a partition past the slots against the disk, the slots,
// the reserved ranges and the partitions listed before it.
void check_logical(checked_table& table, std::size_t index);
