// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules of a GPT's two headers and their arrays, as Linux, U-Boot,
// EDK2 and GRUB read them, and what makes EDK2 write.
#include "gpt/gpt.h"
#include "gpt/gpt_rules.h"

namespace {

// The least array UEFI asks for: 128 entries of 128 bytes.
constexpr std::uint64_t least_array_bytes = 16384;

// The numbers a header's broken rule quotes: what the field holds, and
// what it should be or is quoted with.
finding invalid_header(const check_context& check, const gpt_header_read& read, rule what,
                       gpt_part structure, const gpt_header& primary)
{
    const gpt_header& header = read.header;
    finding found = {.what = what,
                     .at = at_gpt(structure),
                     .sectors = {read.sector, read.sector},
                     .field = read.problem};
    const std::uint64_t last = check.disk.sectors - 1;
    switch (read.problem) {
    case gpt_field::header_size:
        found.value = header.header_size;
        break;
    case gpt_field::my_lba:
        found.value = header.my_lba;
        found.wanted = read.sector;
        break;
    case gpt_field::usable_range:
        found.value = header.first_usable;
        found.wanted = header.last_usable;
        break;
    case gpt_field::last_usable:
        found.value = header.last_usable;
        found.wanted = last;
        break;
    case gpt_field::entry_length:
        found.value = header.entry_size;
        break;
    case gpt_field::array_size:
        found.value = array_bytes(header);
        break;
    case gpt_field::array_place:
        found.value = header.entries_lba;
        break;
    case gpt_field::alternate_lba:
        found.value = primary.alternate_lba;
        found.wanted = last;
        break;
    default:
        break;
    }
    return found;
}

void check_headers(check_context& check, const gpt_table& gpt)
{
    const gpt_header_read& primary = gpt.primary;
    // Only a primary without a signature is looked for elsewhere.
    if (gpt.laid_out_for != 0) {
        add(check, {.what = rule::gpt_sector_size,
                    .at = at_disk(),
                    .value = gpt.laid_out_for,
                    .wanted = check.disk.sector_size});
    } else if (primary.problem != gpt_field::none) {
        finding found = invalid_header(check, primary, rule::gpt_primary_invalid,
                                       gpt_part::primary_header, primary.header);
        if (primary.problem == gpt_field::array_crc && !gpt.primary_holds_entries) {
            found.other = array_holds_no_entries;
        }
        add(check, found);
    } else if (gpt.backup.problem != gpt_field::none) {
        // EDK2 writes a new backup where it finds none it takes, on the
        // disk: at an alternate LBA past it, it writes nothing.
        const bool edk2_writes = gpt.backup.read && !gpt.edk2_takes_backup;
        add(check, invalid_header(check, gpt.backup,
                                  edk2_writes ? rule::gpt_backup_invalid : rule::gpt_backup_flawed,
                                  gpt_part::backup_header, primary.header));
    }
}

// The headers and arrays, each a structure of the GPT with its sectors.
struct gpt_piece {
    gpt_part part;
    sector_range sectors;
};

// The structures of the GPT as written: the primary's header and array,
// and the backup's where the primary's alternate LBA names it.
std::array<gpt_piece, 4> pieces_of(const check_context& check, const gpt_table& gpt)
{
    const std::uint32_t size = check.disk.sector_size;
    std::array<gpt_piece, 4> pieces = {{{gpt_part::primary_header, {1, 1}},
                                        {gpt_part::primary_array, no_sectors},
                                        {gpt_part::backup_header, no_sectors},
                                        {gpt_part::backup_array, no_sectors}}};
    if (gpt.primary.problem == gpt_field::none) {
        pieces[1].sectors = array_range(gpt.primary.header, size);
    }
    // No backup is read at an alternate LBA past the disk.
    if (gpt.backup.read) {
        pieces[2].sectors = {gpt.backup.sector, gpt.backup.sector};
    }
    if (gpt.backup.problem == gpt_field::none) {
        pieces[3].sectors = array_range(gpt.backup.header, size);
    }
    return pieces;
}

// From the first sector of any partition to the last of any.
sector_range partitions_span(const gpt_table& gpt)
{
    sector_range span = no_sectors;
    for (std::size_t i = 0; i < gpt.count; ++i) {
        const sector_range sectors = sectors_of(gpt.partitions[i].entry);
        if (!is_empty(sectors)) {
            span = is_empty(span) ? sectors
                                  : sector_range{std::min(span.first, sectors.first),
                                                 std::max(span.last, sectors.last)};
        }
    }
    return span;
}

// No partition over a piece. One outside the partitions' span, as the
// headers and arrays mostly are, is not held to each partition in turn: a
// full array's 128 partitions times 4 pieces.
void check_piece_under_partitions(check_context& check, const gpt_table& gpt,
                                  const gpt_piece& piece, const sector_range& span)
{
    if (!overlap(piece.sectors, span)) {
        return;
    }
    for (std::size_t i = 0; i < gpt.count; ++i) {
        const gpt_partition& partition = gpt.partitions[i];
        check_overlap(check, rule::gpt_over_partition, at_gpt(piece.part), piece.sectors,
                      partition.number, sectors_of(partition.entry));
    }
}

// No partition, no reserved range over a header or an array; the primary
// array not over the MBR, its header or the backup header.
void check_pieces(check_context& check, const gpt_table& gpt)
{
    const std::array<gpt_piece, 4> pieces = pieces_of(check, gpt);
    const sector_range span = partitions_span(gpt);
    for (const gpt_piece& piece : pieces) {
        check_piece_under_partitions(check, gpt, piece, span);
        check_reserved(check, at_gpt(piece.part), piece.sectors);
    }
    for (const sector_range& kept_clear : {sector_range{0, 1}, pieces[2].sectors}) {
        check_overlap(check, rule::gpt_over_partition, at_gpt(gpt_part::primary_array),
                      pieces[1].sectors, 0, kept_clear);
    }
}

// A valid header's size and revision, which no reader checks but EDK2's
// newer versions.
void check_header_fields(check_context& check, const gpt_header& header, gpt_part which)
{
    if (header.header_size != gpt_header_bytes) {
        add(check,
            {.what = rule::gpt_header_size, .at = at_gpt(which), .value = header.header_size});
    }
    if (header.revision != gpt_revision_1_0) {
        add(check, {.what = rule::gpt_revision, .at = at_gpt(which), .value = header.revision});
    }
}

// What only UEFI's layout or a desktop tool minds of the headers.
void check_layout(check_context& check, const gpt_table& gpt)
{
    const gpt_header* listed = listed_header(gpt);
    if (listed == nullptr) {
        return;
    }
    check_header_fields(check, *listed,
                        gpt.from_backup ? gpt_part::backup_header : gpt_part::primary_header);
    if (gpt.from_backup) {
        return;
    }
    if (gpt.backup.problem == gpt_field::none) {
        check_header_fields(check, gpt.backup.header, gpt_part::backup_header);
    }
    const gpt_header& primary = gpt.primary.header;
    const sector_range array = array_range(primary, check.disk.sector_size);
    // An array made small or moved for a boot loader is laid out as it must be.
    if (!gpt.room_for_loader && (array_bytes(primary) < least_array_bytes ||
                                 primary.entries_lba != 2 || array.last >= primary.first_usable)) {
        add(check, {.what = rule::gpt_array_placement,
                    .at = at_gpt(gpt_part::primary_array),
                    .sectors = array});
    }
    if (gpt.backup.problem != gpt_field::none) {
        return;
    }
    const sector_range backup = array_range(gpt.backup.header, check.disk.sector_size);
    const sector_range backup_header = {gpt.backup.sector, gpt.backup.sector};
    if (backup.first <= primary.last_usable || backup.last >= gpt.backup.sector) {
        add(check, {.what = rule::gpt_array_placement,
                    .at = at_gpt(gpt_part::backup_array),
                    .sectors = backup});
    }
    if (gpt.backup_differs) {
        add(check, {.what = rule::gpt_backup_differs,
                    .at = at_gpt(gpt_part::backup_header),
                    .sectors = backup_header});
    }
    if (gpt.backup.sector != check.disk.sectors - 1) {
        add(check, {.what = rule::gpt_backup_not_at_end,
                    .at = at_gpt(gpt_part::backup_header),
                    .sectors = backup_header,
                    .wanted = check.disk.sectors - 1});
    }
}

} // namespace

void check_gpt(check_context& check, const mbr_table& mbr, const gpt_table& gpt)
{
    check_protective_mbr(check, mbr);
    // U-Boot's lbaint_t is an unsigned long without CONFIG_SYS_64BIT_LBA:
    // 32 bits on 32-bit ARM, where the block count wraps.
    if (check.disk.sectors > 0xffffffffU) {
        add(check, {.what = rule::gpt_blocks_past_32_bits,
                    .at = at_disk(),
                    .value = check.disk.sectors,
                    .wanted = check.disk.sectors & 0xffffffffU});
    }
    check_headers(check, gpt);
    check_pieces(check, gpt);
    check_layout(check, gpt);
    check_entries(check, gpt);
    check_hybrid(check, mbr, gpt);
}
