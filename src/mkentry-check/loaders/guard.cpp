// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Each loader against the table: the partitions over it, which destroy
// it when written unless made for it, and the structures of the table
// over it (EBRs, GPT headers and arrays), which it and they destroy.
#include "gpt/gpt.h"
#include "loaders/loader_rules.h"

namespace {

// Whether a partition starting at first starts where a loader does, or
// where a first stage of its family does: a partition for the loader, or
// for the whole chain of them.
bool starts_a_loader(const loader_set& loaders, const boot_loader& loader, std::uint64_t first)
{
    for (std::size_t i = 0; i < loaders.count; ++i) {
        const boot_loader& each = loaders.found[i];
        if ((&each == &loader || (each.first_stage && each.family == loader.family)) &&
            each.sectors.first == first) {
            return true;
        }
    }
    return false;
}

// A partition against a loader: one that starts where the loader (or its
// first stage) does and holds it whole is made for it (Rockchip's loader1
// and loader2); any other over it destroys it, such as a file system that
// starts before U-Boot proper and holds it.
void check_partition(check_context& check, const loader_set& loaders, boot_loader& loader,
                     const place& where, const sector_range& sectors)
{
    const sector_range both = shared_sectors(sectors, loader.sectors);
    if (is_empty(both)) {
        return;
    }
    if (both.first == loader.sectors.first && both.last == loader.sectors.last &&
        starts_a_loader(loaders, loader, sectors.first)) {
        if (loader.held_by == 0) {
            loader.held_by = where.number;
        }
        return;
    }
    add(check, {.what = rule::loader_under_partition,
                .at = where,
                .sectors = both,
                .bounds = loader.sectors,
                .value = loader_code(loader),
                .wanted = loader.offset});
}

// The slots a table of partitions holds, but the extended ones (their EBRs
// are checked) and a GPT's ee entry.
void check_slots_over(check_context& check, const loader_set& loaders, boot_loader& loader,
                      const mbr_table& mbr)
{
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        if (entry.lba_size != 0 && entry.part_type != ee_type && !is_extended(entry.part_type)) {
            check_partition(check, loaders, loader, at_slot(slot), sectors_of(entry));
        }
    }
}

std::uint8_t extended_slot_of(const mbr_table& mbr, std::uint64_t ebr)
{
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        const sector_range sectors = sectors_of(entry);
        if (is_extended(entry.part_type) && ebr >= sectors.first && ebr <= sectors.last) {
            return slot;
        }
    }
    return 0;
}

void check_mbr_over(check_context& check, const loader_set& loaders, boot_loader& loader,
                    const mbr_table& mbr)
{
    if (!has_signature(mbr)) {
        return;
    }
    check_slots_over(check, loaders, loader, mbr);
    for (std::size_t i = 0; i < mbr.logical_count; ++i) {
        const logical_partition& logical = mbr.logicals[i];
        check_partition(check, loaders, loader,
                        {subject::logical, logical.number, logical.minix ? 0 : logical.table_sector,
                         logical.minix ? std::uint8_t{0} : logical.slot, 0, gpt_part::none},
                        logical.sectors);
    }
    for (std::size_t i = 0; i < mbr.ebr_count; ++i) {
        const std::uint64_t ebr = mbr.ebrs[i];
        if (ebr >= loader.sectors.first && ebr <= loader.sectors.last) {
            add(check, {.what = rule::loader_under_table,
                        .at = {subject::ebr, 0, ebr, extended_slot_of(mbr, ebr), 0, gpt_part::none},
                        .sectors = {ebr, ebr},
                        .bounds = loader.sectors,
                        .value = loader_code(loader),
                        .wanted = loader.offset});
        }
    }
}

// A primary array whose CRC fails where a loader's header lies, while
// the backup holds: the loader was written over it.
bool written_over(const check_context& check, const boot_loader& loader, const gpt_table& gpt,
                  const sector_range& array)
{
    const std::uint64_t header = loader.offset / check.disk.sector_size;
    return gpt.primary.problem == gpt_field::array_crc && gpt.from_backup &&
           header >= array.first && header <= array.last;
}

void check_gpt_over(check_context& check, const boot_loader& loader, const gpt_table& gpt)
{
    const std::uint32_t size = check.disk.sector_size;
    const bool primary_laid_out =
        gpt.primary.problem == gpt_field::none || gpt.primary.problem == gpt_field::array_crc;
    const std::array<std::pair<gpt_part, sector_range>, 4> pieces = {{
        {gpt_part::primary_header, {1, 1}},
        {gpt_part::primary_array,
         primary_laid_out ? array_range(gpt.primary.header, size) : no_sectors},
        {gpt_part::backup_header,
         gpt.backup.read ? sector_range{gpt.backup.sector, gpt.backup.sector} : no_sectors},
        {gpt_part::backup_array,
         gpt.backup.problem == gpt_field::none ? array_range(gpt.backup.header, size) : no_sectors},
    }};
    for (const auto& [part, sectors] : pieces) {
        const sector_range both = shared_sectors(sectors, loader.sectors);
        if (is_empty(both)) {
            continue;
        }
        const bool over =
            part == gpt_part::primary_array && written_over(check, loader, gpt, sectors);
        add(check, {.what = over ? rule::loader_over_gpt_array : rule::loader_under_table,
                    .at = at_gpt(part),
                    .sectors = both,
                    .bounds = loader.sectors,
                    .value = loader_code(loader),
                    .wanted = loader.offset});
    }
}

void check_gpt_partitions_over(check_context& check, const loader_set& loaders, boot_loader& loader,
                               const gpt_table& gpt)
{
    for (std::size_t i = 0; i < gpt.count; ++i) {
        check_partition(check, loaders, loader, at_gpt_partition(gpt.partitions[i].number),
                        sectors_of(gpt.partitions[i].entry));
    }
}

} // namespace

void check_loaders(check_context& check, loader_set& loaders, const mbr_table& mbr,
                   const gpt_table& gpt, disk_format format)
{
    for (std::size_t i = 0; i < loaders.count; ++i) {
        boot_loader& loader = loaders.found[i];
        if (loader.problem != loader_problem::none) {
            add(check, {.what = rule::loader_invalid,
                        .at = at_disk(),
                        .sectors = loader.sectors,
                        .bounds = loader.sectors,
                        .value = loader_code(loader),
                        .wanted = loader.offset});
        }
        if (format == disk_format::gpt) {
            check_gpt_partitions_over(check, loaders, loader, gpt);
            // A hybrid MBR's slots are partitions for a ROM that reads only the MBR.
            check_slots_over(check, loaders, loader, mbr);
            check_gpt_over(check, loader, gpt);
        } else {
            check_mbr_over(check, loaders, loader, mbr);
        }
    }
}

bool array_leaves_room(const loader_set& loaders, const gpt_table& gpt, std::uint32_t sector_size)
{
    if (gpt.primary.problem != gpt_field::none) {
        return false;
    }
    const sector_range standard = {2, 1 + 16384 / sector_size};
    const sector_range array = array_range(gpt.primary.header, sector_size);
    for (std::size_t i = 0; i < loaders.count; ++i) {
        const boot_loader& loader = loaders.found[i];
        if (loader.first_stage && overlap(loader.sectors, standard) &&
            !overlap(loader.sectors, array)) {
            return true;
        }
    }
    return false;
}
