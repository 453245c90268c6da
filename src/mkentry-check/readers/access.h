// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// How the models read the disk, and what they share: the first 512 bytes
// of a sector (an MBR or an EBR), a GPT header, an entry array's CRC.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "header.h"
#include "partition_table.h"
#include "readers/readers.h"

inline constexpr std::size_t max_sector_bytes = 4096;

// Reads out's bytes from a byte offset; false where they do not all lie
// on the disk, or cannot be read.
bool read_bytes(const model_disk& disk, std::uint64_t offset, std::span<std::uint8_t> out);

// The first 512 bytes of a sector (an MBR, an EBR, a Minix table), or
// null where the sector cannot be read. Each table is read once for all
// the models, which follow the same chain one after another: what this
// gives holds until the next call, but sector 0's holds for the disk.
const sector_bytes* read_table(const model_disk& disk, std::uint64_t sector);

// A GPT header's sector, whole, in a buffer the call's next use reuses.
struct header_sector {
    std::uint64_t sector;
    gpt_header header;
    std::span<const std::uint8_t> bytes;
};
bool read_header_sector(const model_disk& disk, std::uint64_t sector, header_sector& out);

// Whether the header's CRC, over its header_size bytes, is right; a size
// of 0 or past the sector is not. Three models take the same two
// headers' CRCs: each is taken once.
bool header_crc_right(const header_sector& read);

// Linux takes an array of at most 4 MiB (kmalloc's limit); U-Boot and
// EDK2 allocate theirs whole too, and the models read no larger one.
inline constexpr std::uint64_t max_array_bytes = std::uint64_t{4} << 20;

// The CRC of an array of bytes at a sector; false where the array does
// not lie whole on the disk, or is larger than max_array_bytes. The last few are remembered: three
// readers take the same array's CRC.
bool array_crc(const model_disk& disk, std::uint64_t first_sector, std::uint64_t bytes,
               std::uint32_t& crc);

// Forgets what the models read of the last disk, before they read another,
// and remembers the CRCs this one comes with.
void forget_reads(const model_disk& disk);

// What the models take of a GPT entry: whether its type is other than
// zero, none of them reads more of the type, its GUID or its name.
struct model_entry {
    bool used;
    std::uint64_t first_lba;
    std::uint64_t last_lba;
    std::uint64_t attributes;
};

// The entries of an array from a byte offset, one each stride bytes: as
// many of the first count (at most max_entries_read) as can be read before
// the first that cannot. Every model reads the same array, which is read
// once: the span holds until the next call.
std::span<const model_entry> read_entries(const model_disk& disk, std::uint64_t offset,
                                          std::uint64_t stride, std::uint64_t count);

// A made partition kept in the view, or counted past its room.
inline void make(reader_view& view, const made_partition& made)
{
    if (view.count < view.partitions.size()) {
        view.partitions[view.count++] = made;
    } else {
        ++view.not_kept;
    }
}
void note_write(reader_view& view, const sector_range& sectors, const char* what);

// U-Boot's ISO driver, on a disk without a DOS MBR.
void read_iso_as_u_boot(const model_disk& disk, reader_view& view);

// The models read at most this many entries of an array, and follow at
// most this many EBRs: every reader's own limits lie below.
inline constexpr std::uint64_t max_entries_read = 4096;
