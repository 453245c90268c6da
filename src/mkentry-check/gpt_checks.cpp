// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules of a GPT disk: its MBR (protective, or hybrid for a ROM that
// reads only the MBR), its two headers and their arrays, and its entries,
// each as Linux, U-Boot, EDK2 and GRUB read them.
#include <algorithm>

#include "gpt.h"

namespace {

// The largest size an MBR entry can hold.
constexpr std::uint64_t max_mbr_size = 0xffffffff;
// The least array UEFI asks for: 128 entries of 128 bytes.
constexpr std::uint64_t least_array_bytes = 16384;
// U-Boot's lookups by name or UUID stop at entry 128.
constexpr std::uint16_t last_entry_u_boot_finds = 128;
// U-Boot's boot scan looks at partitions 1 to 29.
constexpr std::uint16_t last_partition_u_boot_scans = 29;

finding at_partition(rule what, std::uint16_t number, std::uint16_t other = 0)
{
    return {.what = what, .part = number, .other = other, .gpt = gpt_part::partition};
}

// cppcheck-suppress constParameter ; add() changes it, from a designated initializer
void check_protective_mbr(checked_table& table)
{
    std::uint8_t first_ee = 0;
    bool ee_at_sector_1 = false;
    bool hybrid = false;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.slots[slot - 1];
        if (entry.part_type != ee_type) {
            hybrid = hybrid || is_used(entry);
            continue;
        }
        // A second ee entry may protect the same sectors: both do.
        if (slot != 1 && first_ee == 0) {
            add(table, {.what = rule::ee_not_first, .part = slot});
        } else if (first_ee != 0) {
            add(table, {.what = rule::ee_not_first, .part = slot, .other = first_ee});
        }
        first_ee = first_ee == 0 ? slot : first_ee;
        ee_at_sector_1 = ee_at_sector_1 || entry.lba_begin == 1;
        if (entry.boot_flag != 0) {
            add(table, {.what = rule::ee_boot_flag, .part = slot, .flag = entry.boot_flag});
        }
    }
    if (!ee_at_sector_1) {
        add(table, {.what = rule::ee_not_at_sector_1, .part = first_ee});
    }
    if (hybrid) {
        add(table, {.what = rule::hybrid});
        return;
    }
    // The sectors a protective ee entry covers: all but the MBR, as far as
    // an MBR can name them. A hybrid's covers only the GPT's own.
    const std::uint64_t want = std::min(table.disk.sectors - 1, max_mbr_size);
    const partition_entry& ee = table.slots[first_ee - 1];
    if (ee.lba_size != want && ee.lba_size != max_mbr_size) {
        add(table, {.what = rule::ee_size, .part = first_ee, .sectors = {1, want}});
    }
}

// Each entry of a hybrid MBR but ee must be one of the GPT's partitions, or
// a ROM that reads only the MBR reads other sectors than Linux mounts.
void check_hybrid(checked_table& table)
{
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.slots[slot - 1];
        if (entry.part_type == ee_type || !is_used(entry)) {
            continue;
        }
        const auto begin = table.gpt.partitions.begin();
        const auto end = begin + static_cast<std::ptrdiff_t>(table.gpt.count);
        const bool mirrored = std::any_of(begin, end, [&](const gpt_partition& partition) {
            return partition.entry.first_lba == entry.lba_begin &&
                   partition.entry.last_lba - partition.entry.first_lba + 1 == entry.lba_size;
        });
        if (!mirrored) {
            add(table, {.what = rule::hybrid_mismatch, .part = slot});
        }
    }
}

// cppcheck-suppress constParameter ; add() changes it, from a designated initializer
void check_header(checked_table& table, const gpt_header_read& read, rule invalid)
{
    if (read.problem == gpt_field::none) {
        return;
    }
    if (read.problem == gpt_field::signature && table.gpt.laid_out_for != 0 &&
        invalid == rule::gpt_primary_invalid) {
        add(table, {.what = rule::gpt_sector_size, .value = table.gpt.laid_out_for});
        return;
    }
    add(table, {.what = invalid,
                .gpt = invalid == rule::gpt_primary_invalid ? gpt_part::primary_header
                                                            : gpt_part::backup_header,
                .field = read.problem});
}

// The headers and arrays, each a part of the GPT with its sectors.
struct gpt_piece {
    gpt_part part;
    sector_range sectors;
};

// The pieces of the GPT as written: the primary's header and array, and
// the backup's where the primary's alternate LBA names it.
std::array<gpt_piece, 4> pieces_of(const checked_table& table)
{
    const gpt_table& gpt = table.gpt;
    const std::uint32_t size = table.disk.sector_size;
    std::array<gpt_piece, 4> pieces = {{{gpt_part::primary_header, {1, 1}},
                                        {gpt_part::primary_array, no_sectors},
                                        {gpt_part::backup_header, no_sectors},
                                        {gpt_part::backup_array, no_sectors}}};
    if (gpt.primary.problem == gpt_field::none) {
        pieces[1].sectors = array_range(gpt.primary.header, size);
    }
    if (gpt.backup.read && gpt.backup.problem != gpt_field::alternate_lba) {
        pieces[2].sectors = {gpt.backup.sector, gpt.backup.sector};
    }
    if (gpt.backup.read && gpt.backup.problem == gpt_field::none) {
        pieces[3].sectors = array_range(gpt.backup.header, size);
    }
    return pieces;
}

// No partition, no reserved range over a header or an array; the primary
// array not over the MBR, its header or the backup header.
// cppcheck-suppress constParameter ; add() changes it, from a designated initializer
void check_pieces(checked_table& table)
{
    const std::array<gpt_piece, 4> pieces = pieces_of(table);
    for (const gpt_piece& piece : pieces) {
        for (std::size_t i = 0; i < table.gpt.count; ++i) {
            const gpt_partition& partition = table.gpt.partitions[i];
            const sector_range both = shared_sectors(piece.sectors, sectors_of(partition.entry));
            if (!is_empty(both)) {
                add(table, {.what = rule::gpt_over_partition,
                            .other = partition.number,
                            .sectors = both,
                            .gpt = piece.part});
            }
        }
        for (const sector_range& reserved : table.reserved) {
            const sector_range both = shared_sectors(piece.sectors, reserved);
            if (!is_empty(both)) {
                add(table, {.what = rule::over_reserved, .sectors = both, .gpt = piece.part});
            }
        }
    }
    for (const sector_range& kept_clear : {sector_range{0, 1}, pieces[2].sectors}) {
        const sector_range both = shared_sectors(pieces[1].sectors, kept_clear);
        if (!is_empty(both)) {
            add(table, {.what = rule::gpt_over_partition,
                        .sectors = both,
                        .gpt = gpt_part::primary_array});
        }
    }
}

// What only UEFI's layout or a desktop tool minds of the headers.
// cppcheck-suppress constParameter ; add() changes it, from a designated initializer
void check_layout(checked_table& table)
{
    const gpt_table& gpt = table.gpt;
    const gpt_header* listed = listed_header(gpt);
    if (listed == nullptr) {
        return;
    }
    const gpt_part which = gpt.from_backup ? gpt_part::backup_header : gpt_part::primary_header;
    if (listed->header_size != gpt_header_bytes) {
        add(table, {.what = rule::gpt_header_size, .gpt = which, .value = listed->header_size});
    }
    if (listed->revision != gpt_revision_1_0) {
        add(table, {.what = rule::gpt_revision, .gpt = which, .value = listed->revision});
    }
    const gpt_header& primary = gpt.primary.header;
    const sector_range array = array_range(primary, table.disk.sector_size);
    if (!gpt.from_backup && (array_bytes(primary) < least_array_bytes || primary.entries_lba != 2 ||
                             array.last >= primary.first_usable)) {
        add(table,
            {.what = rule::gpt_array_placement, .sectors = array, .gpt = gpt_part::primary_array});
    }
    if (!gpt.from_backup && gpt.backup.read && gpt.backup.problem == gpt_field::none) {
        const sector_range backup = array_range(gpt.backup.header, table.disk.sector_size);
        if (backup.first <= primary.last_usable || backup.last >= gpt.backup.sector) {
            add(table, {.what = rule::gpt_array_placement,
                        .sectors = backup,
                        .gpt = gpt_part::backup_array});
        }
    }
    if (!gpt.from_backup && gpt.backup.problem == gpt_field::none) {
        if (gpt.backup_differs) {
            add(table, {.what = rule::gpt_backup_differs, .gpt = gpt_part::backup_header});
        }
        if (gpt.backup.sector != table.disk.sectors - 1) {
            add(table, {.what = rule::gpt_backup_not_at_end,
                        .sectors = {gpt.backup.sector, gpt.backup.sector},
                        .gpt = gpt_part::backup_header});
        }
    }
}

void check_entry(checked_table& table, const gpt_header& header, std::size_t index)
{
    const gpt_partition& partition = table.gpt.partitions[index];
    const gpt_entry& entry = partition.entry;
    const sector_range sectors = sectors_of(entry);
    const std::uint16_t number = partition.number;
    if (is_empty(sectors)) {
        add(table, at_partition(rule::gpt_entry_reversed, number));
    } else if (entry.first_lba < header.first_usable || entry.last_lba > header.last_usable) {
        add(table, at_partition(rule::gpt_entry_outside_usable, number));
    }
    // Linux drops an entry whose start or end lies past the disk.
    if (std::max(entry.first_lba, entry.last_lba) >= table.disk.sectors) {
        add(table, at_partition(rule::past_disk_end, number));
    }
    if (number > last_entry_u_boot_finds) {
        add(table, at_partition(rule::gpt_entry_past_128, number));
    }
    for (const sector_range& reserved : table.reserved) {
        const sector_range both = shared_sectors(sectors, reserved);
        if (!is_empty(both)) {
            finding found = at_partition(rule::over_reserved, number);
            found.sectors = both;
            add(table, found);
        }
    }
    for (std::size_t i = 0; i < index; ++i) {
        const gpt_partition& earlier = table.gpt.partitions[i];
        const sector_range both = shared_sectors(sectors_of(earlier.entry), sectors);
        if (!is_empty(both)) {
            finding found = at_partition(rule::overlap, earlier.number, number);
            found.sectors = both;
            add(table, found);
        }
        if (!is_zero(entry.unique) && entry.unique == earlier.entry.unique) {
            add(table, at_partition(rule::gpt_guid, number, earlier.number));
        }
    }
    if ((entry.attributes & attribute_no_block_io) != 0) {
        add(table, at_partition(rule::gpt_hidden, number));
    }
    if (is_zero(entry.unique) || entry.unique == header.disk_guid) {
        add(table, at_partition(rule::gpt_guid, number));
    }
    if (!is_empty(sectors) && sectors.first % (mib / table.disk.sector_size) != 0) {
        add(table, at_partition(rule::unaligned, number));
    }
}

void check_entries(checked_table& table)
{
    const gpt_table& gpt = table.gpt;
    const gpt_header* header = listed_header(gpt);
    if (header == nullptr) {
        return;
    }
    if (is_zero(header->disk_guid)) {
        add(table, {.what = rule::gpt_guid,
                    .gpt = gpt.from_backup ? gpt_part::backup_header : gpt_part::primary_header});
    }
    bool boot_partition = false;
    for (std::size_t i = 0; i < gpt.count; ++i) {
        check_entry(table, *header, i);
        const gpt_partition& partition = gpt.partitions[i];
        boot_partition =
            boot_partition || (partition.number <= last_partition_u_boot_scans &&
                               ((partition.entry.attributes & attribute_legacy_bootable) != 0 ||
                                partition.entry.type == efi_system_type));
    }
    if (gpt.first_number_past_kept != 0) {
        add(table, at_partition(rule::gpt_entry_past_128,
                                static_cast<std::uint16_t>(gpt.first_number_past_kept)));
    }
    if (!boot_partition) {
        add(table, {.what = rule::gpt_no_boot_partition});
    }
}

} // namespace

void check_gpt(checked_table& table)
{
    check_protective_mbr(table);
    check_header(table, table.gpt.primary, rule::gpt_primary_invalid);
    if (table.gpt.primary.problem == gpt_field::none) {
        check_header(table, table.gpt.backup, rule::gpt_backup_invalid);
    }
    check_pieces(table);
    check_layout(table);
    check_entries(table);
    check_hybrid(table);
}

void check_stale_gpt(checked_table& table, const sector_reader& reader)
{
    if (table.disk.sectors < 2) {
        return;
    }
    std::array<std::uint8_t, 4096> sector;
    const std::span<std::uint8_t> bytes(sector.data(), table.disk.sector_size);
    if (read_table_sector(table, reader, 1, "the GPT header", bytes) &&
        form_problem(bytes, decode_header(bytes), table.disk.sector_size) == gpt_field::none) {
        add(table, {.what = rule::stale_gpt});
    }
}
