// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Each format's part of the report: its tables in text, and in JSON the
// partitiontable object as sfdisk --json prints it.
#pragma once

#include <array>
#include <cstdio>
#include <string_view>

#include "table.h"

// What stands between a device's name and a partition's number, as the
// kernel names partition devices: sda1, but mmcblk0p1 and loop0p1.
constexpr std::string_view partition_infix(std::string_view device)
{
    return !device.empty() && device.back() >= '0' && device.back() <= '9' ? "p" : "";
}

// A name in UTF-8: its UTF-16LE code units up to the first zero, a
// surrogate without its pair as U+FFFD.
struct utf8_name {
    std::array<char, std::size_t{36} * 3> chars; // a unit takes at most 3 bytes, a pair 4
    std::size_t size = 0;

    [[nodiscard]] std::string_view view() const { return {chars.data(), size}; }
};

utf8_name name_of(const gpt_entry& entry);

// An MBR disk's slots and the partitions past them.
void print_mbr_table(std::FILE* out, const mbr_table& mbr);
void print_mbr_json_table(std::FILE* out, const mbr_table& mbr, const disk_geometry& disk,
                          std::string_view device, const loader_set& loaders);
// sfdisk's "grain", its alignment in bytes, where not 1 MiB: on a disk of
// at most 4 MiB, one sector.
void put_json_grain(std::FILE* out, const disk_geometry& disk);

// A hybrid MBR's entries: what a ROM that reads only the MBR reads.
void print_hybrid_table(std::FILE* out, const mbr_table& mbr);
void print_hybrid_json(std::FILE* out, const mbr_table& mbr);

// An MBR disk's ISO 9660 volume and its El Torito boot images, if any.
void print_iso_text(std::FILE* out, const iso_volume& iso);
void print_iso_json(std::FILE* out, const iso_volume& iso);

// A GPT disk's headers and partitions.
void print_gpt_table(std::FILE* out, const checked_table& table);
void print_gpt_json_table(std::FILE* out, const checked_table& table, std::string_view device);

// The boot loaders found, a line each and as a JSON list; the family of
// the loader a partition (an MBR's slot or logical, or a GPT's entry) is
// made for, nullptr for none.
void print_loaders_text(std::FILE* out, const checked_table& table);
void print_loaders_json(std::FILE* out, const loader_set& loaders);
const char* held_loader(const loader_set& loaders, std::uint16_t number);

// What each board reader makes: a line for each that does not make the
// partitions as written; every reader's view, for the JSON; a finding's
// readers as a JSON list.
void print_readers_text(std::FILE* out, const checked_table& table);
void print_readers_json(std::FILE* out, const checked_table& table);
void print_reader_list(std::FILE* out, reader readers);

// The ROM --soc names: what it loads and from where.
void print_rom_text(std::FILE* out, const rom_view& rom, const loader_set& loaders);
void print_rom_json(std::FILE* out, const rom_view& rom, const loader_set& loaders);

// A FAT file system at sector 0 in place of a partition table.
void print_superfloppy_text(std::FILE* out, const fat_volume& volume);
void print_superfloppy_json(std::FILE* out, const fat_volume& volume);
