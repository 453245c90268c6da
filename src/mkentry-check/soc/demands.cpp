// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Each ROM's demands on the card, as the ROMs' documentation states them:
// the Raspberry Pi 0-3 ROM reads only the MBR's first slot, the Pi 4's
// boot loader the first FAT partition of an MBR or a GPT, or a
// superfloppy; the AM335x ROM the one active FAT partition of the MBR
// (or a superfloppy) when no raw MLO is found; the Amlogic ROM its loader
// from sector 1, the i.MX 5/6/7 ROM its IVT from byte 1024.
#include <algorithm>
#include <span>

#include "c_text.h"
#include "gpt/gpt.h"
#include "soc/demands.h"

namespace {

// A Pi 4 card's FAT is looked for in the first entries of a GPT only.
constexpr std::size_t gpt_entries_looked_at = 8;
constexpr std::uint64_t ivt_byte = 1024;

constexpr bool is_pi_fat(std::uint8_t type) { return type == 0x0b || type == 0x0c; }

constexpr bool is_unverified_pi_fat(std::uint8_t type)
{
    return type == 0x04 || type == 0x06 || type == 0x0e;
}

// The FAT12, FAT16 and FAT32 types of the AM335x ROM's MBR reading.
constexpr bool is_ti_fat(std::uint8_t type)
{
    return type == 0x01 || is_unverified_pi_fat(type) || is_pi_fat(type);
}

void add_rom(checked_table& table, finding found)
{
    found.wanted = static_cast<std::uint64_t>(table.rom.soc);
    add(table.check, found);
}

// A superfloppy's file system is the disk's.
sector_range whole_disk(const checked_table& table) { return {0, table.check.disk.sectors - 1}; }

void note_load(rom_view& rom, rom_file file, const place& at, const sector_range& sectors,
               bool found)
{
    const rom_table table = at.kind == subject::slot            ? rom_table::mbr
                            : at.kind == subject::gpt_partition ? rom_table::gpt
                                                                : rom_table::none;
    if (rom.load_count < rom.loads.size()) {
        rom.loads[rom.load_count++] = {file, table, at.number, sectors, found};
    }
}

// Each file in the root of the FAT at sectors, and a finding for each
// missing one.
void find_files(checked_table& table, const place& at, const sector_range& sectors,
                const fat_volume& volume, std::span<const rom_file> files)
{
    for (const rom_file file : files) {
        const bool found = fat_has_file(table.check, volume,
                                        text_of(rom_file_name(static_cast<std::uint64_t>(file))));
        note_load(table.rom, file, at, sectors, found);
        if (!found) {
            add_rom(table, {.what = rule::rom_file_missing,
                            .at = at,
                            .value = static_cast<std::uint64_t>(file)});
        }
    }
}

// The same from a partition's FAT, which must be there.
void load_from(checked_table& table, const place& at, const sector_range& sectors,
               std::span<const rom_file> files)
{
    fat_volume volume{};
    if (read_fat(table.check, sectors, volume)) {
        find_files(table, at, sectors, volume, files);
        return;
    }
    for (const rom_file file : files) {
        note_load(table.rom, file, at, sectors, false);
    }
    add_rom(table, {.what = rule::rom_no_fat_file_system,
                    .at = at,
                    .value = static_cast<std::uint64_t>(files[0])});
}

// A hybrid's entries but ee, each as a partition of the GPT.
void demand_mirrored(checked_table& table)
{
    const gpt_table& gpt = table.gpt;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.mbr.slots[slot - 1];
        if (entry.part_type == ee_type || !is_used(entry)) {
            continue;
        }
        const sector_range sectors = sectors_of(entry);
        if (!mirrors_a_partition(gpt, entry)) {
            add_rom(table,
                    {.what = rule::rom_hybrid_mismatch, .at = at_slot(slot), .sectors = sectors});
        }
    }
}

void demand_rpi(checked_table& table)
{
    constexpr std::array<rom_file, 2> files = {rom_file::bootcode_bin, rom_file::start_elf};
    if (table.format == disk_format::gpt) {
        if (!is_hybrid(table.mbr)) {
            add_rom(table, {.what = rule::rom_needs_mbr, .at = at_disk()});
            return;
        }
        demand_mirrored(table);
    }
    const partition_entry& first = table.mbr.slots[0];
    if (!is_pi_fat(first.part_type) && !is_unverified_pi_fat(first.part_type)) {
        add_rom(table,
                {.what = rule::rom_not_fat_type, .at = at_slot(1), .value = first.part_type});
        return;
    }
    if (is_unverified_pi_fat(first.part_type)) {
        add_rom(
            table,
            {.what = rule::rom_fat_type_unverified, .at = at_slot(1), .value = first.part_type});
    }
    load_from(table, at_slot(1), sectors_of(first), files);
}

// The first partition that holds a FAT file system, as the boot loader
// takes it.
void demand_rpi4(checked_table& table)
{
    constexpr std::array<rom_file, 1> files = {rom_file::start4_elf};
    if (table.superfloppy.kind != fat_kind::none) {
        find_files(table, at_disk(), whole_disk(table), table.superfloppy, files);
        return;
    }
    fat_volume volume{};
    if (table.format == disk_format::gpt) {
        const std::size_t count = std::min(table.gpt.count, gpt_entries_looked_at);
        for (std::size_t i = 0; i < count; ++i) {
            const gpt_partition& partition = table.gpt.partitions[i];
            if (read_fat(table.check, sectors_of(partition.entry), volume)) {
                find_files(table, at_gpt_partition(partition.number), sectors_of(partition.entry),
                           volume, files);
                return;
            }
        }
    } else {
        for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
            const partition_entry& entry = table.mbr.slots[slot - 1];
            if (is_used(entry) && !is_extended(entry.part_type) &&
                read_fat(table.check, sectors_of(entry), volume)) {
                find_files(table, at_slot(slot), sectors_of(entry), volume, files);
                return;
            }
        }
    }
    add_rom(table, {.what = rule::rom_no_fat_partition,
                    .at = at_disk(),
                    .value = static_cast<std::uint64_t>(rom_file::start4_elf)});
}

// Whether the ROM finds a raw MLO, for the integrator of the loaders'
// module: a boot_loader of kind mlo in the loader_set find_loaders fills.
// Until the loaders are read none is assumed, and the card is held to
// what the ROM's FAT mode demands.
// The loaders of the ROMs that read raw sectors, as soc_family numbers
// them; the Pi ROMs read none.
constexpr std::array<loader_family, 9> loader_families = {
    loader_family::allwinner, loader_family::allwinner, loader_family::rockchip,
    loader_family::imx6,      loader_family::imx8m,     loader_family::ti,
    loader_family::ti,        loader_family::ti,        loader_family::amlogic,
};

// Notes the first stage of the family's ROM found where it looks, if any.
bool note_loader(checked_table& table)
{
    const loader_family family = loader_families[static_cast<std::size_t>(table.rom.soc)];
    for (std::size_t i = 0; i < table.loaders.count; ++i) {
        const boot_loader& loader = table.loaders.found[i];
        if (loader.first_stage && loader.family == family) {
            table.rom.loader = static_cast<std::uint8_t>(i + 1);
            return true;
        }
    }
    return false;
}

bool has_raw_mlo(checked_table& table) { return note_loader(table); }

void demand_am335x(checked_table& table)
{
    constexpr std::array<rom_file, 1> files = {rom_file::mlo};
    if (has_raw_mlo(table)) {
        return;
    }
    if (table.superfloppy.kind != fat_kind::none) {
        find_files(table, at_disk(), whole_disk(table), table.superfloppy, files);
        return;
    }
    std::uint8_t active = 0;
    bool several = false;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.mbr.slots[slot - 1];
        if (entry.boot_flag != 0x80 || !is_ti_fat(entry.part_type)) {
            continue;
        }
        if (active != 0) {
            add_rom(table,
                    {.what = rule::rom_several_active, .at = at_slot(slot), .other = active});
            several = true;
        } else {
            active = slot;
        }
    }
    if (active == 0) {
        add_rom(table, {.what = rule::rom_no_active_fat, .at = at_disk()});
    } else if (!several) {
        load_from(table, at_slot(active), sectors_of(table.mbr.slots[active - 1]), files);
    }
}

void demand_no_gpt(checked_table& table)
{
    if (table.format == disk_format::gpt) {
        add_rom(table, {.what = rule::rom_gpt_at_loader,
                        .at = at_gpt(gpt_part::primary_header),
                        .sectors = {1, 1}});
    }
}

void demand_array_moved(checked_table& table)
{
    const gpt_header_read& primary = table.gpt.primary;
    if (table.format != disk_format::gpt || primary.problem != gpt_field::none) {
        return;
    }
    const std::uint32_t sector_size = table.check.disk.sector_size;
    const sector_range array = array_range(primary.header, sector_size);
    if (!is_empty(array) && array.first * sector_size <= ivt_byte &&
        ivt_byte < (array.last + 1) * sector_size) {
        add_rom(table, {.what = rule::rom_array_at_ivt,
                        .at = at_gpt(gpt_part::primary_array),
                        .sectors = array});
    }
}

// The loader demand, for the integrator of the loaders' module: a loader
// of table.rom.soc's family where this ROM looks. Take the loader_set
// find_loaders(check, loaders) fills, add a finding where no first-stage
// loader of the family is found, and note it in table.rom for the JSON's
// "rom" object. Until then no raw loader is demanded.
// A ROM that reads raw sectors starts nothing without its first stage.
void demand_loader(checked_table& table)
{
    if (!note_loader(table)) {
        add_rom(table, {.what = rule::rom_no_loader, .at = at_disk()});
    }
}

} // namespace

void check_rom(checked_table& table)
{
    const std::size_t before = table.check.findings.errors + table.check.findings.warnings;
    switch (table.rom.soc) {
    case soc_family::rpi:
        demand_rpi(table);
        break;
    case soc_family::rpi4:
        demand_rpi4(table);
        break;
    case soc_family::am335x:
        demand_am335x(table);
        break;
    case soc_family::amlogic:
        demand_no_gpt(table);
        demand_loader(table);
        break;
    case soc_family::imx6:
        demand_array_moved(table);
        demand_loader(table);
        break;
    case soc_family::allwinner:
    case soc_family::rockchip:
    case soc_family::imx8m:
        demand_loader(table);
        break;
    case soc_family::none:
        return;
    }
    // The ROM then does not read the card as it is written.
    if (table.check.findings.errors + table.check.findings.warnings != before) {
        table.differing |= static_cast<unsigned>(reader::rom);
    }
}
