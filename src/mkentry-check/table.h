// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table as read, in each of the formats the disk holds, and what was
// found.
#pragma once

#include <span>

#include "gpt/gpt.h"
#include "iso/iso.h"
#include "loaders/loaders.h"
#include "mbr/mbr.h"
#include "readers/readers.h"
#include "rules/context.h"
#include "soc/soc.h"

// The formats a disk holds, decided once from its first sector.
enum class disk_format : std::uint8_t {
    mbr, // the slots, the chains of their extended partitions, Minix tables
    gpt, // an ee entry: a GPT behind a protective or hybrid MBR
};

struct checked_table {
    disk_format format = disk_format::mbr;
    check_context check;
    mbr_table mbr;
    gpt_table gpt;
    iso_volume iso;           // an MBR disk's ISO 9660 volume and El Torito catalog
    reader_views readers;     // what each board reader makes of the disk
    unsigned differing = 0;   // the readers (as rules name them) that do not make it as written
    fat_volume superfloppy{}; // a FAT file system at sector 0 in place of a table, if kind says so
    loader_set loaders;       // the boot loaders where the ROMs look for them
    rom_view rom;             // what the ROM --soc names loads, and from where
};

// Reads the first sector's table and everything it leads to through
// reader, and checks it for the disk, with the reserved ranges kept clear;
// and for the ROM of a SoC family, if one is named.
checked_table check_table(const sector_bytes& sector, const disk_geometry& disk,
                          std::span<const sector_range> reserved, const sector_reader& reader,
                          soc_family soc = soc_family::none);

// The readers a finding names: those its rule can concern whose model
// does not make the disk as written.
reader readers_of(const checked_table& table, const finding& found);

// Whether the table fails: on an error, or with strict on any finding.
bool fails(const checked_table& table, bool strict);
