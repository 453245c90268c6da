// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Reading a GPT as the board's readers do: the primary header at sector 1
// in the disk's own sector size, its entry array, and the backup at the
// primary's alternate LBA (or, where the primary is invalid, at the disk's
// last sector, where U-Boot and EDK2 look). Nothing outside the disk is
// read, and the array is read in pieces: no heap.
#include <algorithm>
#include <cstring>

#include "gpt/gpt.h"

namespace {

// Linux allocates the array with kmalloc, which takes at most 4 MiB.
constexpr std::uint64_t max_array_bytes = std::uint64_t{4} * 1024 * 1024;
constexpr std::size_t max_sector_size = 4096;
// The array is read this much at a time: a 128-entry array at once.
constexpr std::size_t piece_size = 16384;
using piece = std::array<std::uint8_t, piece_size>;

// The first rule of the header alone that it breaks; the array's CRC is
// checked once the array is read.
gpt_field header_problem(std::span<const std::uint8_t> sector, const gpt_header& header,
                         std::uint64_t at, const disk_geometry& disk)
{
    if (const gpt_field form = form_problem(sector, header, disk.sector_size);
        form != gpt_field::none) {
        return form;
    }
    if (header.my_lba != at) {
        return gpt_field::my_lba;
    }
    if (header.first_usable > header.last_usable) {
        return gpt_field::usable_range;
    }
    if (header.last_usable >= disk.sectors) {
        return gpt_field::last_usable;
    }
    if (header.entry_size != gpt_entry_bytes) {
        return gpt_field::entry_length;
    }
    if (header.entry_count == 0) {
        return gpt_field::entry_count;
    }
    if (array_bytes(header) > max_array_bytes) {
        return gpt_field::array_size;
    }
    if (header.entries_lba >= disk.sectors ||
        array_sectors(header, disk.sector_size) > disk.sectors - header.entries_lba) {
        return gpt_field::array_place;
    }
    return gpt_field::none;
}

// An unused entry of zeros, the most of every array: tested a word at a
// time.
bool is_zero_entry(std::span<const std::uint8_t> entry)
{
    std::uint64_t any = 0;
    for (std::size_t at = 0; at < gpt_entry_bytes; at += sizeof any) {
        std::uint64_t word = 0;
        std::memcpy(&word, entry.data() + at, sizeof word);
        any |= word;
    }
    return any == 0;
}

// Keeps a used entry, numbered as Linux numbers it; Linux makes
// partitions of the first 255 entries, used or not, and none past them.
void keep(gpt_table& gpt, std::uint64_t index, std::span<const std::uint8_t> bytes)
{
    if ((get_le64(bytes, 0) | get_le64(bytes, 8)) == 0) { // no type: unused
        return;
    }
    const auto number = static_cast<std::uint32_t>(index + 1);
    if (number <= max_gpt_partitions) {
        gpt_partition& kept = gpt.partitions[gpt.count++];
        kept.number = static_cast<std::uint16_t>(number);
        kept.entry = decode_gpt_entry(bytes);
    } else if (gpt.first_number_past_kept == 0) {
        gpt.first_number_past_kept = number;
    }
}

// Whether any entry kept lies in the header's usable range, first to
// last: an array overwritten by a loader holds none.
bool any_in_range(const gpt_table& gpt, const gpt_header& header)
{
    return std::any_of(gpt.partitions.begin(),
                       gpt.partitions.begin() + static_cast<std::ptrdiff_t>(gpt.count),
                       [&header](const gpt_partition& partition) {
                           const gpt_entry& entry = partition.entry;
                           return entry.first_lba >= header.first_usable &&
                                  entry.first_lba <= entry.last_lba &&
                                  entry.last_lba <= header.last_usable;
                       });
}

// Reads a valid header's array and takes its CRC, keeping its used entries
// when asked; a run of zero entries is passed at once. False when a piece
// cannot be read.
bool scan_array(check_context& check, gpt_table* keep_in, const gpt_header& header,
                std::uint32_t& crc)
{
    static piece bytes;
    const std::uint64_t total = array_bytes(header);
    const std::uint64_t start = header.entries_lba * check.disk.sector_size;
    crc = 0;
    std::uint64_t zeros = 0;
    for (std::uint64_t done = 0; done < total; done += piece_size) {
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece_size, total - done));
        if (!read_disk(check, start + done, "the GPT's entries", {bytes.data(), size})) {
            return false;
        }
        for (std::size_t at = 0; at < size; at += gpt_entry_bytes) {
            const std::span<const std::uint8_t> entry(bytes.data() + at, gpt_entry_bytes);
            if (is_zero_entry(entry)) {
                zeros += gpt_entry_bytes;
                continue;
            }
            crc = crc32(crc32_zeros(crc, zeros), entry);
            zeros = 0;
            if (keep_in != nullptr) {
                keep(*keep_in, (done + at) / gpt_entry_bytes, entry);
            }
        }
    }
    crc = crc32_zeros(crc, zeros);
    return true;
}

// Whether the two arrays hold the same bytes; false too when a piece
// cannot be read (the failure is then set).
bool same_arrays(check_context& check, const gpt_header& one, const gpt_header& other)
{
    static piece mine;
    static piece theirs;
    const std::uint64_t total = array_bytes(one);
    if (array_bytes(other) != total) {
        return false;
    }
    for (std::uint64_t done = 0; done < total; done += piece_size) {
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece_size, total - done));
        if (!read_disk(check, one.entries_lba * check.disk.sector_size + done, "the GPT's entries",
                       {mine.data(), size}) ||
            !read_disk(check, other.entries_lba * check.disk.sector_size + done,
                       "the GPT's backup entries", {theirs.data(), size}) ||
            std::memcmp(mine.data(), theirs.data(), size) != 0) {
            return false;
        }
    }
    return true;
}

// The sector of the header read last.
std::array<std::uint8_t, max_sector_size> header_sector;

// Reads the header at a sector and holds it to the readers' rules for the
// header alone. False when the sector cannot be read.
bool read_header(check_context& check, std::uint64_t at, const char* what, gpt_header_read& out)
{
    const std::span<std::uint8_t> bytes(header_sector.data(), check.disk.sector_size);
    out.sector = at;
    if (!read_table_sector(check, at, what, bytes)) {
        return false;
    }
    out.read = true;
    out.header = decode_header(bytes);
    out.problem = header_problem(bytes, out.header, at, check.disk);
    return true;
}

// Holds a valid header's array to its CRC, keeping its used entries when
// asked: none are kept of an array whose CRC is wrong. False when a piece
// cannot be read.
bool check_array(check_context& check, gpt_table* keep_in, gpt_header_read& read)
{
    std::uint32_t crc = 0;
    if (read.problem != gpt_field::none) {
        return true;
    }
    if (!scan_array(check, keep_in, read.header, crc)) {
        return false;
    }
    read.crc_taken = true;
    read.array_crc = crc;
    if (crc != read.header.entries_crc) {
        read.problem = gpt_field::array_crc;
        if (keep_in != nullptr) {
            keep_in->primary_holds_entries = any_in_range(*keep_in, read.header);
            keep_in->count = 0;
            keep_in->first_number_past_kept = 0;
        }
    }
    return true;
}

// The CRC of bytes from an offset, read in pieces. False when a piece
// cannot be read.
bool crc_of_bytes(check_context& check, std::uint64_t offset, std::uint64_t total,
                  std::uint32_t& crc)
{
    static piece bytes;
    crc = 0;
    for (std::uint64_t done = 0; done < total; done += piece_size) {
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece_size, total - done));
        if (!read_disk(check, offset + done, "the GPT's backup entries", {bytes.data(), size})) {
            return false;
        }
        crc = crc32(crc, {bytes.data(), size});
    }
    return true;
}

// Whether EDK2 takes the header read last as it is (PartitionValidGptTable):
// its signature, a CRC over a header size of 1 to the sector's, its own
// LBA, an entry size of 128 or more and the CRC of its entries, their
// count times their size; EDK2 checks nothing else. The usable range, an
// array over 4 MiB and the alternate LBA are Linux's rules alone.
bool edk2_takes(check_context& check, const gpt_header_read& read)
{
    const gpt_header& header = read.header;
    const std::uint32_t size = check.disk.sector_size;
    if (header.signature != gpt_signature || header.header_size == 0 || header.header_size > size ||
        header_crc_of({header_sector.data(), size}, header.header_size) != header.header_crc ||
        header.my_lba != read.sector || header.entry_size < gpt_entry_bytes) {
        return false;
    }
    const std::uint64_t bytes = array_bytes(header);
    std::uint32_t crc = 0;
    return bytes <= max_array_bytes && header.entries_lba < check.disk.sectors &&
           bytes <= (check.disk.sectors - header.entries_lba) * size &&
           crc_of_bytes(check, header.entries_lba * size, bytes, crc) && crc == header.entries_crc;
}

// A header whose entries are listed where it is valid.
bool read_listed(check_context& check, gpt_table& gpt, std::uint64_t at, gpt_header_read& out)
{
    return read_header(check, at, "the GPT header", out) && check_array(check, &gpt, out);
}

// Where the primary is not at sector 1 in the disk's sector size, the
// sector size whose sector 1 holds a header (a 512-byte layout on a
// 4096-byte disk, or the reverse); 0 for none.
std::uint32_t laid_out_for(check_context& check)
{
    for (const std::uint32_t size : {512U, 1024U, 2048U, 4096U}) {
        std::array<std::uint8_t, 8> signature{};
        if (size == check.disk.sector_size ||
            std::uint64_t{size} + signature.size() > check.disk.sectors * check.disk.sector_size ||
            !read_disk(check, size, "the GPT header", signature)) {
            continue;
        }
        if (signature == gpt_signature) {
            return size;
        }
    }
    return 0;
}

// The backup's header mirrors the primary's: the same disk and usable
// range, and its alternate LBA the primary's own. It was read at the
// primary's alternate LBA, which is its own LBA too, or it is not valid;
// whether the arrays are the same is asked of the arrays.
bool mirrors(const gpt_header& primary, const gpt_header& backup)
{
    return backup.disk_guid == primary.disk_guid && backup.first_usable == primary.first_usable &&
           backup.last_usable == primary.last_usable && backup.alternate_lba == primary.my_lba;
}

} // namespace

gpt_field form_problem(std::span<const std::uint8_t> sector, const gpt_header& header,
                       std::uint32_t sector_size)
{
    if (header.signature != gpt_signature) {
        return gpt_field::signature;
    }
    if (header.header_size < gpt_header_bytes || header.header_size > sector_size) {
        return gpt_field::header_size;
    }
    if (header_crc_of(sector, header.header_size) != header.header_crc) {
        return gpt_field::header_crc;
    }
    return gpt_field::none;
}

void read_gpt(check_context& check, gpt_table& gpt)
{
    gpt.primary.sector = 1; // where it belongs, on a disk of one sector too
    if (check.disk.sectors < 2 || !read_listed(check, gpt, 1, gpt.primary)) {
        return;
    }
    if (gpt.primary.problem == gpt_field::signature) {
        gpt.laid_out_for = laid_out_for(check);
    }
    if (gpt.primary.problem != gpt_field::none) {
        // U-Boot and EDK2 then take the backup at the disk's last sector.
        if (read_listed(check, gpt, check.disk.sectors - 1, gpt.backup)) {
            gpt.from_backup = gpt.backup.problem == gpt_field::none;
        }
        return;
    }
    const gpt_header& primary = gpt.primary.header;
    gpt_header_read& backup = gpt.backup;
    backup.sector = primary.alternate_lba;
    if (primary.alternate_lba >= check.disk.sectors) {
        backup.problem = gpt_field::alternate_lba;
        return;
    }
    if (!read_header(check, primary.alternate_lba, "the GPT's backup header", backup)) {
        return;
    }
    if (backup.problem != gpt_field::none) {
        gpt.edk2_takes_backup = edk2_takes(check, backup);
        return;
    }
    // The backup's array is taken its CRC only where it is not the
    // primary's, byte for byte.
    const bool same = backup.header.entries_crc == primary.entries_crc &&
                      same_arrays(check, primary, backup.header);
    if (check.failure.reason != nullptr || (!same && !check_array(check, nullptr, backup))) {
        return;
    }
    if (same) {
        backup.crc_taken = gpt.primary.crc_taken;
        backup.array_crc = gpt.primary.array_crc;
    }
    gpt.backup_differs = !same || !mirrors(primary, backup.header);
}
