// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Linux 6.1's block/partitions, as Debian's armmp kernel runs them:
// check_part tries efi.c before msdos.c. The parsers it tries before efi
// (cmdline, only with blkdevparts= on the kernel's command line) and
// between efi and msdos (sgi, which wants its magic at byte 0, and ldm,
// which wants a partition of type 42) find nothing on the disks modelled
// here; those after msdos run only when msdos finds nothing. msdos.c's
// BSD, Solaris and UnixWare subpartitions are not modelled; its Minix
// ones are.
#include "readers/access.h"

namespace {

constexpr std::uint8_t ee_type = 0xee;
constexpr std::uint8_t minix_type = 0x81;
// The partitions are numbered 1 to 255.
constexpr std::uint32_t number_limit = 256;
// efi.c reads the array with one kmalloc, which fails above its ceiling:
// 4 MiB with 4 KiB pages and MAX_ORDER 11.
constexpr std::uint64_t linux_max_array_bytes = std::uint64_t{4} << 20;

struct linux_state {
    const model_disk& disk;
    reader_view& view;
    std::uint32_t next = 5; // the next logical partition's number
};

// add_partition drops a partition that starts past the disk and clips one
// that runs past it; a partition of size 0 is not made.
void put(linux_state& state, std::uint32_t number, std::uint64_t start, std::uint64_t size)
{
    const std::uint64_t sectors = state.disk.disk.sectors;
    if (size == 0 || start >= sectors) {
        return;
    }
    if (start + size > sectors) { // wraps, as Linux's sum does, for a reversed GPT entry
        size = sectors - start;
    }
    make(state.view, {number, 0, start, size});
}

// One EBR's data entries: the 3rd and 4th only where they lie inside
// both the link's region and the extended partition.
void put_data_entries(linux_state& state, const sector_bytes& ebr, std::uint64_t here,
                      std::uint64_t here_size, const sector_range& extended, int& loops)
{
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry entry = read_slot(ebr, slot);
        if (entry.lba_size == 0 || is_extended(entry.part_type)) {
            continue;
        }
        const std::uint64_t next = here + entry.lba_begin;
        if (slot >= 3 && (std::uint64_t{entry.lba_begin} + entry.lba_size > here_size ||
                          next < extended.first || next + entry.lba_size > extended.last + 1)) {
            continue;
        }
        put(state, state.next, next, entry.lba_size);
        loops = 0;
        if (++state.next == number_limit) {
            return;
        }
    }
}

// parse_extended: the chain, until an EBR without 55 aa or a link, 100
// links without a data partition, or partition 255.
void parse_extended(linux_state& state, const sector_range& extended)
{
    std::uint64_t here = extended.first;
    std::uint64_t here_size = size_of(extended);
    int loops = 0;
    while (++loops <= 100 && state.next != number_limit) {
        const sector_bytes* read = read_table(state.disk, here);
        if (read == nullptr || !has_signature(*read)) {
            return;
        }
        const sector_bytes& ebr = *read;
        put_data_entries(state, ebr, here, here_size, extended, loops);
        if (state.next == number_limit) {
            return;
        }
        std::size_t slot = 1;
        while (slot <= slot_count && !(read_slot(ebr, slot).lba_size != 0 &&
                                       is_extended(read_slot(ebr, slot).part_type))) {
            ++slot;
        }
        if (slot > slot_count) {
            return;
        }
        here = extended.first + read_slot(ebr, slot).lba_begin;
        here_size = read_slot(ebr, slot).lba_size;
    }
}

// parse_minix: a first sector of 55 aa whose first entry is of type 81
// holds up to four subpartitions, in 512-byte units from the disk's start.
void parse_minix(linux_state& state, std::uint64_t first)
{
    const sector_bytes* read = read_table(state.disk, first);
    if (read == nullptr || !has_signature(*read) || read_slot(*read, 1).part_type != minix_type) {
        return;
    }
    const sector_bytes& table = *read;
    const std::uint32_t units = state.disk.disk.sector_size / 512;
    for (std::size_t slot = 1; slot <= slot_count && state.next != number_limit; ++slot) {
        const partition_entry entry = read_slot(table, slot);
        if (entry.part_type == minix_type) {
            put(state, state.next++, entry.lba_begin / units, entry.lba_size / units);
        }
    }
}

void msdos_partition(linux_state& state, const sector_bytes& first)
{
    if (!has_signature(first)) {
        return;
    }
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const std::uint8_t flag = read_slot(first, slot).boot_flag;
        if (flag != 0 && flag != 0x80) {
            return; // a FAT file system, or no table: no partition either way
        }
    }
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        if (read_slot(first, slot).part_type == ee_type) {
            return; // a GPT disk, whose GPT failed: msdos steps aside
        }
    }
    state.view.scheme = reader_scheme::dos;
    const std::uint64_t node = state.disk.disk.sector_size == 512 ? 2 : 1;
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry entry = read_slot(first, slot);
        if (entry.lba_size == 0) {
            continue;
        }
        const auto number = static_cast<std::uint32_t>(slot);
        if (is_extended(entry.part_type)) {
            // A node of 2 sectors (one logical sector past 512 bytes) keeps
            // mkfs off the extended partition.
            put(state, number, entry.lba_begin, std::min<std::uint64_t>(entry.lba_size, node));
            parse_extended(state, sectors_from(entry.lba_begin, entry.lba_size));
        } else {
            put(state, number, entry.lba_begin, entry.lba_size);
        }
    }
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry entry = read_slot(first, slot);
        if (entry.lba_size != 0 && entry.part_type == minix_type) {
            parse_minix(state, entry.lba_begin);
        }
    }
}

// is_gpt_valid, for the primary at sector 1.
bool primary_valid(const model_disk& disk, gpt_header& header)
{
    header_sector read{};
    if (!read_header_sector(disk, 1, read)) {
        return false;
    }
    header = read.header;
    const std::uint64_t last = disk.disk.sectors - 1;
    const bool usable_on_disk = header.first_usable <= last && header.last_usable <= last &&
                                header.last_usable >= header.first_usable;
    const std::uint64_t array_bytes = std::uint64_t{header.entry_count} * gpt_entry_bytes;
    std::uint32_t crc = 0;
    return header.signature == gpt_signature && header.header_size >= gpt_header_bytes &&
           header_crc_right(read) && header.my_lba == 1 && usable_on_disk &&
           header.entry_size == gpt_entry_bytes && header.entry_count != 0 &&
           array_bytes <= linux_max_array_bytes &&
           array_crc(disk, header.entries_lba, array_bytes, crc) && crc == header.entries_crc;
}

// is_pmbr_valid: 55 aa and an ee entry starting at sector 1.
bool protective(const sector_bytes& first)
{
    if (!has_signature(first)) {
        return false;
    }
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry entry = read_slot(first, slot);
        if (entry.part_type == ee_type && entry.lba_begin == 1) {
            return true;
        }
    }
    return false;
}

// efi_partition: the primary's first 255 entries; one with a null type,
// or starting or ending past the disk, is not made.
bool efi_partition(linux_state& state, const sector_bytes& first)
{
    gpt_header header{};
    if (state.disk.disk.sectors < 2 || !protective(first) || !primary_valid(state.disk, header)) {
        return false;
    }
    state.view.scheme = reader_scheme::gpt;
    const std::uint64_t last = state.disk.disk.sectors - 1;
    const std::uint64_t base = header.entries_lba * state.disk.disk.sector_size;
    const std::uint32_t count = std::min<std::uint32_t>(header.entry_count, number_limit - 1);
    const auto entries = read_entries(state.disk, base, gpt_entry_bytes, count);
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        const model_entry& entry = entries[i];
        if (!entry.used || entry.first_lba > last || entry.last_lba > last) {
            continue;
        }
        put(state, i + 1, entry.first_lba, entry.last_lba - entry.first_lba + 1);
    }
    return true;
}

} // namespace

void read_as_linux(const model_disk& disk, reader_view& view)
{
    linux_state state{disk, view};
    const sector_bytes* first = read_table(disk, 0);
    if (first == nullptr) {
        return;
    }
    if (!efi_partition(state, *first)) {
        msdos_partition(state, *first);
    }
    if (view.count == 0) {
        view.scheme = reader_scheme::none;
    }
}
