// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// EDK2 2022.11's PartitionDxe, as OVMF runs it: Partition.c tries Gpt.c,
// then Udf.c, which reads ElTorito.c's boot images first, then Mbr.c, and
// runs them again on every partition it makes, which is how an extended
// partition's first EBR becomes a table of its own (2.1, 2.2). That second
// pass is modelled on the MBR's extended partitions only (EDK2 runs it on
// every partition, and finds a table in any whose first sector passes for
// an MBR); a UDF file system is not looked for.
#include <algorithm>

#include "iso/iso.h"
#include "readers/access.h"

namespace {

constexpr std::uint8_t ee_type = 0xee;
// Mbr.c follows links of these two types only.
constexpr std::uint8_t extended_dos = 0x05;
constexpr std::uint8_t extended_windows = 0x0f;
constexpr std::uint64_t attribute_os_specific = 2; // attribute bit 1
// The used entries EDK2's overlap check compares, as far as the model
// keeps them, and the EBRs a chain is followed through.
constexpr std::size_t max_used_entries = 1024;
constexpr std::size_t max_links = 512;

// PartitionValidGptTable: signature, a CRC over 0 < size <= the block,
// my LBA, an entry size of 128 or more, and the entries' CRC. The usable
// range and the alternate LBA are not checked.
bool gpt_valid(const model_disk& disk, std::uint64_t at, gpt_header& header)
{
    header_sector read{};
    if (at >= disk.disk.sectors || !read_header_sector(disk, at, read)) {
        return false;
    }
    if (read.header.signature != gpt_signature || !header_crc_right(read) ||
        read.header.my_lba != at || read.header.entry_size < gpt_entry_bytes) {
        return false;
    }
    header = read.header; // copied before the entries are read, as EDK2 does
    std::uint32_t crc = 0;
    return array_crc(disk, header.entries_lba,
                     std::uint64_t{header.entry_count} * header.entry_size, crc) &&
           crc == header.entries_crc;
}

std::uint64_t array_sectors_of(const gpt_header& header, std::uint32_t sector_size)
{
    const std::uint64_t bytes = std::uint64_t{header.entry_count} * header.entry_size;
    return (bytes + sector_size - 1) / sector_size;
}

// PartitionRestoreGptTable: the other header at the source's alternate
// LBA, then the source's entries beside it (at sector 2 for a primary, past
// the last usable sector for a backup). A write that does not fit on the
// disk writes nothing, and the entries are not written then either.
bool restore(const model_disk& disk, reader_view& view, const gpt_header& source)
{
    const std::uint64_t sectors = disk.disk.sectors;
    const bool makes_backup = source.my_lba == 1;
    const std::uint64_t header_at = source.alternate_lba;
    const std::uint64_t entries_at = makes_backup ? source.last_usable + 1 : 2;
    const std::uint64_t count = array_sectors_of(source, disk.disk.sector_size);
    if (header_at >= sectors) {
        return false;
    }
    const bool entries_fit = entries_at < sectors && count <= sectors - entries_at;
    const sector_range entries = entries_fit ? sectors_from(entries_at, count) : no_sectors;
    if (!is_empty(entries) && entries.first == header_at + 1) {
        note_write(view, {header_at, entries.last}, "a primary GPT header and its entries");
    } else if (!is_empty(entries) && entries.last + 1 == header_at) {
        note_write(view, {entries.first, header_at}, "a backup GPT's entries and header");
    } else {
        note_write(view, {header_at, header_at},
                   makes_backup ? "a backup GPT header" : "a primary GPT header");
        if (!is_empty(entries)) {
            note_write(view, entries,
                       makes_backup ? "a backup GPT's entries" : "a primary GPT's entries");
        }
    }
    return entries_fit;
}

struct used_entry {
    std::uint32_t index;
    std::uint64_t first;
    std::uint64_t last;
    bool out_of_range;
    bool os_specific;
    bool overlap;
};

// Each entry in the range against every entry after it, in range or not.
void mark_overlaps(std::span<used_entry> used)
{
    for (std::size_t one = 0; one < used.size(); ++one) {
        if (used[one].out_of_range) {
            continue; // never compared with the entries after it
        }
        for (std::size_t other = one + 1; other < used.size(); ++other) {
            if (used[other].last >= used[one].first && used[other].first <= used[one].last) {
                used[one].overlap = used[other].overlap = true;
            }
        }
    }
}

void make_unless_dropped(reader_view& view, const used_entry& entry)
{
    if (!entry.out_of_range && !entry.overlap && !entry.os_specific) {
        make(view, {entry.index + 1, 0, entry.first, entry.last - entry.first + 1});
    }
}

// PartitionCheckGptEntry, then a partition of each entry neither out of
// the usable range, overlapping another, nor OS-specific.
void make_gpt_partitions(const model_disk& disk, reader_view& view, const gpt_header& header)
{
    static std::array<used_entry, max_used_entries> used;
    std::size_t count = 0;
    bool in_order = true;
    const std::size_t made_before = view.count;
    const std::size_t not_kept_before = view.not_kept;
    const std::uint64_t base = header.entries_lba * disk.disk.sector_size;
    const auto entries = read_entries(disk, base, header.entry_size, header.entry_count);
    for (std::size_t i = 0; i < entries.size() && count < used.size(); ++i) {
        const model_entry& entry = entries[i];
        if (!entry.used) {
            continue;
        }
        const bool out =
            entry.first_lba > entry.last_lba || entry.first_lba < header.first_usable ||
            entry.first_lba > header.last_usable || entry.last_lba < header.first_usable ||
            entry.last_lba > header.last_usable;
        // Entries one after another, each ending before the next starts:
        // no two overlap, and each is made at once.
        in_order = in_order && entry.first_lba <= entry.last_lba &&
                   (count == 0 || entry.first_lba > used[count - 1].last);
        used[count++] = {static_cast<std::uint32_t>(i),
                         entry.first_lba,
                         entry.last_lba,
                         out,
                         (entry.attributes & attribute_os_specific) != 0,
                         false};
        if (in_order) {
            make_unless_dropped(view, used[count - 1]);
        }
    }
    if (in_order) {
        return;
    }
    // Out of order: what was made is made again, once every pair is compared.
    view.count = made_before;
    view.not_kept = not_kept_before;
    mark_overlaps({used.data(), count});
    for (std::size_t i = 0; i < count; ++i) {
        make_unless_dropped(view, used[i]);
    }
}

bool has_protective_entry(const sector_bytes& first)
{
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry entry = read_slot(first, slot);
        if (entry.part_type == ee_type && entry.lba_begin == 1) {
            return true;
        }
    }
    return false;
}

// PartitionInstallGptChildHandles: false where the disk has no GPT that
// EDK2 takes, and the next routine tries.
bool gpt_routine(const model_disk& disk, reader_view& view, const sector_bytes& first)
{
    if (!has_protective_entry(first) || disk.disk.sectors < 2) {
        return false;
    }
    gpt_header primary{};
    gpt_header backup{};
    if (!gpt_valid(disk, 1, primary)) {
        if (!gpt_valid(disk, disk.disk.sectors - 1, backup)) {
            return false;
        }
        if (restore(disk, view, backup)) {
            // The new primary holds the backup's entries: read them where
            // they were, as the model does not write.
            primary = backup;
            primary.my_lba = backup.alternate_lba;
            primary.alternate_lba = backup.my_lba;
        }
    } else if (!gpt_valid(disk, primary.alternate_lba, backup)) {
        (void)restore(disk, view, primary);
    }
    view.scheme = reader_scheme::gpt;
    make_gpt_partitions(disk, view, primary);
    return true;
}

// PartitionValidMbr: 55 aa, an entry with a type and a size, none ending
// past the device's last block (in 32 bits, as EDK2 adds) and no two
// overlapping.
bool mbr_valid(const sector_bytes& table, std::uint64_t last_block)
{
    if (!has_signature(table)) {
        return false;
    }
    bool any = false;
    for (std::size_t one = 1; one <= slot_count; ++one) {
        const partition_entry entry = read_slot(table, one);
        if (entry.part_type == 0 || entry.lba_size == 0) {
            continue;
        }
        any = true;
        const std::uint32_t first = entry.lba_begin;
        const std::uint32_t last = entry.lba_begin + entry.lba_size - 1;
        if (last > last_block) {
            return false;
        }
        for (std::size_t other = one + 1; other <= slot_count; ++other) {
            const partition_entry next = read_slot(table, other);
            if (next.part_type == 0 || next.lba_size == 0) {
                continue;
            }
            const std::uint32_t next_last = next.lba_begin + next.lba_size - 1;
            if (next_last >= first && next.lba_begin <= last) {
                return false;
            }
        }
    }
    return any;
}

bool is_link_type(std::uint8_t type) { return type == extended_dos || type == extended_windows; }

bool seen_before(std::span<const std::uint64_t> seen, std::uint64_t at)
{
    return std::find(seen.begin(), seen.end(), at) != seen.end();
}

// Mbr.c on a partition of the MBR whose first sector is a valid MBR: the
// chain of EBRs through it, each one's first entry a logical partition and
// its second the link. A chain that comes back to an EBR never ends.
void follow_chain(const model_disk& disk, reader_view& view, const made_partition& parent)
{
    const sector_bytes* table = read_table(disk, parent.start);
    if (table == nullptr || !mbr_valid(*table, parent.size - 1)) {
        return;
    }
    // Only the first seen_count are read: none need clearing.
    static std::array<std::uint64_t, max_links> seen;
    std::size_t seen_count = 0;
    std::uint32_t number = 0;
    std::uint64_t ext = 0;
    do {
        if (seen_before({seen.data(), seen_count}, ext)) {
            view.fails = reader_fails::hangs;
            return;
        }
        table = seen_count == seen.size() ? nullptr : read_table(disk, parent.start + ext);
        if (table == nullptr) {
            return;
        }
        seen[seen_count++] = ext;
        const partition_entry data = read_slot(*table, 1);
        if (data.lba_size == 0) {
            return;
        }
        if (is_link_type(data.part_type)) {
            ext = data.lba_begin;
            continue;
        }
        const std::uint64_t start = std::uint64_t{data.lba_begin} + ext + parent.start;
        if (start + data.lba_size - 1 >= parent.start + parent.size || start <= parent.start) {
            return;
        }
        make(view, {parent.number, ++number, start, data.lba_size});
        const partition_entry link = read_slot(*table, 2);
        if (!is_link_type(link.part_type) || link.lba_begin == 0) {
            return;
        }
        ext = link.lba_begin;
    } while (ext < parent.size);
}

// PartitionInstallMbrChildHandles on the disk: a partition of each entry
// with a type and a size but ee, then the same routine on each of them.
void mbr_routine(const model_disk& disk, reader_view& view, const sector_bytes& first)
{
    if (!mbr_valid(first, disk.disk.sectors - 1)) {
        return;
    }
    view.scheme = reader_scheme::dos;
    std::array<made_partition, slot_count> slots{};
    std::size_t count = 0;
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry entry = read_slot(first, slot);
        if (entry.part_type == 0 || entry.lba_size == 0 || entry.part_type == ee_type) {
            continue;
        }
        slots[count++] = {static_cast<std::uint32_t>(slot), 0, entry.lba_begin, entry.lba_size};
    }
    for (std::size_t i = 0; i < count && view.fails == reader_fails::none; ++i) {
        make(view, slots[i]);
        if (is_extended(read_slot(first, slots[i].number).part_type)) {
            follow_chain(disk, view, slots[i]);
        }
    }
}

// ElTorito.c, from the catalog as the checks read it the same way: a
// partition of each boot image, numbered by its boot entry, and no MBR.
bool el_torito_routine(const model_disk& disk, reader_view& view)
{
    if (disk.iso == nullptr || !edk2_reads_el_torito(*disk.iso, disk.disk.sector_size)) {
        return false;
    }
    view.scheme = reader_scheme::cdrom;
    for (std::size_t i = 0; i < disk.iso->image_count; ++i) {
        const boot_image& image = disk.iso->images[i];
        make(view, {image.entry, 0, image.as_edk2.first, size_of(image.as_edk2)});
    }
    return true;
}

} // namespace

void read_as_edk2(const model_disk& disk, reader_view& view)
{
    const sector_bytes* first = read_table(disk, 0);
    if (first == nullptr) {
        return;
    }
    if (!gpt_routine(disk, view, *first) && !el_torito_routine(disk, view)) {
        mbr_routine(disk, view, *first);
    }
    if (view.count == 0 && view.fails == reader_fails::none) {
        view.scheme = reader_scheme::none;
    }
}
