// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// An ISO 9660 volume as a disk holds it, and its El Torito boot catalog:
// what isohybrid and xorriso write, an MBR in the volume's system area.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "mbr/mbr.h"
#include "rules/context.h"

// ISO 9660 counts in blocks of 2048 bytes, El Torito's image counts in
// virtual sectors of 512.
inline constexpr std::uint32_t iso_block = 2048;
inline constexpr std::uint32_t virtual_sector = 512;

// EDK2 reads the catalog's first 512 bytes only, whatever the sector size
// (BlockSize / 32 records): the validation entry and 15 more.
inline constexpr std::size_t max_boot_images = 15;

enum class boot_platform : std::uint8_t { bios = 0x00, uefi = 0xef };

// A bootable catalog entry (indicator 88) with a start, as EDK2 takes it.
struct boot_image {
    std::uint32_t entry;   // EDK2's boot entry: 0 for the initial one, then 1, 2, ...
    std::uint8_t platform; // of the validation entry or the section header before it
    std::uint8_t media;    // 0 no emulation, 1-3 diskettes, 4 hard disk
    std::uint32_t block;   // its first 2048-byte block
    std::uint16_t count;   // its size in 512-byte virtual sectors, as written
    sector_range written;  // in the disk's sectors: the count, or to the volume's end below 2
    sector_range as_edk2;  // in the disk's sectors, as EDK2 sizes it
};

// What is wrong with a catalog or the descriptors that lead to it.
enum class catalog_fault : std::uint8_t {
    none,
    descriptors_endless, // no terminator within the descriptors read
    catalog_past_disk,   // the boot record names a block past the disk
    catalog_invalid,     // no validation entry, or its checksum is wrong
    past_its_block,      // section headers count entries past the catalog's block
};

struct iso_volume {
    bool present = false;            // CD001 at byte 32769
    std::uint32_t volume_blocks = 0; // the primary descriptor's volume space size
    bool has_catalog = false;        // a valid El Torito catalog was read
    std::uint32_t catalog_block = 0;
    catalog_fault fault = catalog_fault::none;
    std::array<boot_image, max_boot_images> images{};
    std::size_t image_count = 0;
};

// Reads the volume descriptors and the boot catalog: one 8-byte read on a
// disk that holds no ISO 9660 volume, at most a few blocks on one that does.
void read_iso(check_context& check, iso_volume& iso);

// The slot (1-4) from sector 0 that holds the whole volume with every
// other used slot inside it, as isohybrid writes it; 0 for none.
std::uint8_t isohybrid_slot(const mbr_table& mbr, const iso_volume& iso, std::uint32_t sector_size);

// The volume's sectors on the disk, from sector 0.
sector_range volume_sectors(const iso_volume& iso, std::uint32_t sector_size);

// Whether EDK2 reads El Torito on this disk: it wants 2048-byte blocks
// made of whole sectors, and at least one boot image.
bool edk2_reads_el_torito(const iso_volume& iso, std::uint32_t sector_size);

// The catalog's findings and, on an MBR disk EDK2 reads as El Torito, the
// warning that says so.
void check_iso(check_context& check, const iso_volume& iso, std::uint8_t holder);
