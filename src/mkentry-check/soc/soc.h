// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The boot ROM of a SoC family as a reader of the card: what it loads and
// from where, and what it demands of the partition table. Asked for with
// --soc; without it no ROM is assumed and no FAT is read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fat/fat.h"
#include "mbr/mbr.h"

enum class soc_family : std::uint8_t {
    none,
    allwinner,
    rockchip,
    imx6, // i.MX 5/6/7
    imx8m,
    am335x,
    rpi,  // Raspberry Pi 0-3
    rpi4, // Raspberry Pi 4 and 400
    amlogic,
};

// The --soc argument: one of the families' keys.
bool parse_soc(std::string_view arg, soc_family& soc);

// "rpi", for the JSON report; "the Raspberry Pi 0-3 ROM", for messages
// (any value, so that a message never reads out of bounds).
std::string_view soc_key(soc_family soc);
const char* rom_name(std::uint64_t soc);

// The files the ROMs load from a FAT file system.
enum class rom_file : std::uint8_t { bootcode_bin, start_elf, start4_elf, mlo };

// "bootcode.bin" (any value).
const char* rom_file_name(std::uint64_t file);

// The table a file is looked for in: a superfloppy has none.
enum class rom_table : std::uint8_t { none, mbr, gpt };

// A file the ROM loads, where it looks for it.
struct rom_load {
    rom_file file;
    rom_table table;
    std::uint16_t partition; // the slot or GPT partition; 0: the superfloppy at sector 0
    sector_range sectors;    // where the file system was looked for
    bool found;
};

struct rom_view {
    soc_family soc = soc_family::none;
    std::array<rom_load, 2> loads{};
    std::size_t load_count = 0;
    std::uint8_t loader = 0; // the first stage it loads from raw sectors: 1 + its index
                             // among the loaders found; 0: none
};

// A FAT file system at sector 0 and no partition table: a FAT boot sector
// with 55 aa whose slots are no table, as Linux's msdos.c and blkid take
// it: a boot flag other than 00 and 80, or no slot used.
bool is_superfloppy(const mbr_table& mbr, const sector_bytes& sector, fat_volume& volume);
