// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The one place that decides which formats a disk holds, and checks each.
#include <algorithm>

#include "disk/cache.h"
#include "gpt/gpt_rules.h"
#include "loaders/loader_rules.h"
#include "readers/as_written.h"
#include "soc/demands.h"
#include "table.h"

namespace {

// A GPT disk is one whose MBR has an ee entry: every board reader then
// reads the GPT, and the MBR's other entries only a ROM that reads nothing
// else.
disk_format format_of(const mbr_table& mbr)
{
    return std::any_of(mbr.slots.begin(), mbr.slots.end(),
                       [](const partition_entry& entry) { return entry.part_type == ee_type; })
               ? disk_format::gpt
               : disk_format::mbr;
}

void check_mbr_disk(checked_table& table)
{
    check_context& check = table.check;
    // An isohybrid ISO's MBR lies in the volume's system area, the
    // volume's first 32 KiB.
    read_iso(check, table.iso);
    const std::uint8_t holder = isohybrid_slot(table.mbr, table.iso, check.disk.sector_size);
    // Without 55 aa no reader reads the slots, which are then bytes of
    // whatever the disk holds (a file that is no disk image): one error,
    // and no slot is held to a partition's rules.
    if (has_signature(table.mbr)) {
        check_slots(check, table.mbr, mbr_role::whole_table, holder);
        check_chains(check, table.mbr);
        check_minix(check, table.mbr);
        check_logicals(check, table.mbr);
    } else {
        check_signature(check, table.mbr);
    }
    if (check.failure.reason == nullptr) {
        check_stale_gpt(check);
    }
    if (has_signature(table.mbr)) {
        check_identifier(check, table.mbr);
    }
    check_iso(check, table.iso, holder);
}

void check_gpt_disk(checked_table& table)
{
    check_context& check = table.check;
    check_slots(check, table.mbr, mbr_role::beside_gpt);
    // EDK2 reads a GPT whatever the MBR's signature.
    read_gpt(check, table.gpt);
    table.gpt.room_for_loader = array_leaves_room(table.loaders, table.gpt, check.disk.sector_size);
    if (check.failure.reason == nullptr) {
        check_gpt(check, table.mbr, table.gpt);
    }
}

bool makes_some(const reader_view& view)
{
    return view.scheme == reader_scheme::gpt && view.count != 0;
}

// An invalid primary's finding says what the readers then make, as their
// models make it: whether U-Boot and EDK2 make partitions, what EDK2
// writes, and how many GRUB makes of a broken array's entries.
void quote_the_models(checked_table& table)
{
    finding_list& findings = table.check.findings;
    for (std::size_t i = 0; i < findings.count; ++i) {
        finding& found = findings.kept[i];
        if (found.what != rule::gpt_primary_invalid) {
            continue;
        }
        const reader_view& edk2 = view_of(table.readers, board::edk2);
        const reader_view& grub = view_of(table.readers, board::grub);
        if (makes_some(view_of(table.readers, board::u_boot))) {
            found.other |= u_boot_makes_some;
        }
        if (makes_some(edk2)) {
            found.other |= edk2_makes_some;
        }
        if (makes_some(grub)) {
            found.other |= grub_makes_some;
        }
        if (edk2.write_count != 0) {
            found.bounds = edk2.writes[0].sectors;
        }
        if (found.field == gpt_field::array_crc) {
            found.value = makes_some(grub) ? grub.count + grub.not_kept : 0;
        }
    }
}

// A superfloppy's boot sector is no table: its bytes where the slots lie
// are kept out of the slots' checks. A reader that still makes partitions
// of them is named.
void read_superfloppy(checked_table& table, const sector_bytes& sector)
{
    if (table.format == disk_format::mbr && is_superfloppy(table.mbr, sector, table.superfloppy)) {
        // An unused slot, all zero as an empty slot is written.
        constexpr partition_entry unused = {0, {0, 0, 0}, 0, {0, 0, 0}, 0, 0};
        table.mbr.slots.fill(unused);
        table.mbr.identifier = 0;
        table.superfloppy.start = 0;
        table.superfloppy.bytes = table.check.disk.sectors * table.check.disk.sector_size;
    }
}

void check_superfloppy_views(checked_table& table)
{
    unsigned making = 0;
    for (const board which : boards) {
        if (view_of(table.readers, which).count != 0) {
            making |= 1U << static_cast<unsigned>(which);
        }
    }
    if (making != 0) {
        add(table.check, {.what = rule::superfloppy_read_as_mbr, .at = at_disk(), .value = making});
    }
}

// The CRC of an array the checks took, for the models to take as read.
known_crc known_of(const gpt_header_read& read)
{
    if (!read.crc_taken) {
        return {};
    }
    return {read.header.entries_lba, array_bytes(read.header), read.array_crc};
}

} // namespace

checked_table check_table(const sector_bytes& sector, const disk_geometry& disk,
                          std::span<const sector_range> reserved, const sector_reader& reader,
                          soc_family soc)
{
    checked_table table;
    table.check.disk = disk;
    table.check.reserved = reserved;
    table.check.reader = caching_reader(reader, disk.sector_size);
    read_mbr(table.mbr, sector);
    table.format = format_of(table.mbr);
    read_superfloppy(table, sector);
    // First, so that a GPT laid out around a loader is known as such.
    find_loaders(table.check, table.loaders);
    if (table.format == disk_format::gpt) {
        check_gpt_disk(table);
    } else {
        check_mbr_disk(table);
    }
    if (table.check.failure.reason == nullptr) {
        check_loaders(table.check, table.loaders, table.mbr, table.gpt, table.format);
    }
    if (disk.partial_image_bytes != 0) {
        add(table.check, {.what = rule::partial_sector,
                          .at = at_disk(),
                          .value = disk.partial_image_bytes,
                          .wanted = disk.sector_size});
    }
    if (table.check.failure.reason == nullptr) {
        const model_disk model = {disk,
                                  table.check.reader,
                                  &sector,
                                  {known_of(table.gpt.primary), known_of(table.gpt.backup)},
                                  &table.iso};
        read_as_each(model, table.readers);
        quote_the_models(table);
        table.differing = differing_readers(table);
        if (table.superfloppy.kind != fat_kind::none) {
            check_superfloppy_views(table);
        }
    }
    table.rom.soc = soc;
    if (soc != soc_family::none && table.check.failure.reason == nullptr) {
        check_rom(table);
    }
    return table;
}

reader readers_of(const checked_table& table, const finding& found)
{
    return static_cast<reader>(static_cast<unsigned>(info(found.what).level.readers) &
                               table.differing);
}

bool fails(const checked_table& table, bool strict)
{
    const finding_list& findings = table.check.findings;
    return findings.errors != 0 || (strict && findings.warnings != 0);
}
