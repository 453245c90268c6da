// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// U-Boot 2023.01's disk/part.c, part_efi.c and part_dos.c, as `part list`
// shows a disk: part.c tries the EFI driver, then the DOS one, then the
// ISO one (u_boot_iso.cpp), each in the order of their names. Debian's
// qemu_arm build is 32-bit: it counts a disk's blocks in 32 bits.
#include "readers/access.h"

namespace {

constexpr std::uint8_t ee_type = 0xee;
// part_dos.c stops a chain nested deeper than this many partitions.
constexpr std::uint32_t max_ext_parts = 256;
// The walk's own bounds: a path this deep has overflowed U-Boot's stack,
// and a chain that forks this often is followed no further.
constexpr std::size_t max_depth = 1024;
constexpr std::size_t max_visits = 4096;

std::uint64_t block_count(const model_disk& disk) { return disk.disk.sectors & 0xffffffffU; }

// test_block_type: 55 aa and boot flags of 00 or 80 make a DOS MBR (a
// FAT boot sector is not one).
bool is_dos_mbr(const sector_bytes& sector)
{
    if (!has_signature(sector)) {
        return false;
    }
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const std::uint8_t flag = read_slot(sector, slot).boot_flag;
        if (flag != 0 && flag != 0x80) {
            return false;
        }
    }
    return true;
}

bool is_protective(const sector_bytes& first)
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

// is_gpt_valid: the header's CRC over its own size, my LBA, the usable
// range within the block count (one past the last block passes), and the
// entries' CRC; the entry size is not checked.
bool gpt_valid(const model_disk& disk, std::uint64_t at, gpt_header& header)
{
    header_sector read{};
    if (at >= disk.disk.sectors || !read_header_sector(disk, at, read)) {
        return false;
    }
    header = read.header;
    const std::uint64_t blocks = block_count(disk);
    // The entries' size in bytes is a 32-bit size_t.
    const std::uint32_t bytes = header.entry_count * header.entry_size;
    std::uint32_t crc = 0;
    return header.signature == gpt_signature && header_crc_right(read) && header.my_lba == at &&
           header.first_usable <= blocks && header.last_usable <= blocks && bytes != 0 &&
           array_crc(disk, header.entries_lba, bytes, crc) && crc == header.entries_crc;
}

// part_print_efi: entries at a fixed 128-byte stride, inside the bytes
// read; any with a type is made.
void efi_partitions(const model_disk& disk, reader_view& view)
{
    gpt_header header{};
    if (!gpt_valid(disk, 1, header) &&
        !gpt_valid(disk, (block_count(disk) - 1) & 0xffffffffU, header)) {
        return;
    }
    view.scheme = reader_scheme::gpt;
    const std::uint32_t bytes = header.entry_count * header.entry_size;
    const std::uint64_t count =
        std::min<std::uint64_t>(header.entry_count, bytes / gpt_entry_bytes);
    const std::uint64_t base = header.entries_lba * disk.disk.sector_size;
    const auto entries = read_entries(disk, base, gpt_entry_bytes, count);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const model_entry& entry = entries[i];
        if (entry.used) {
            make(view, {static_cast<std::uint32_t>(i + 1), 0, entry.first_lba,
                        entry.last_lba - entry.first_lba + 1});
        }
    }
}

// One level of print_partition_extended's recursion.
struct dos_level {
    std::uint64_t sector;
    std::uint64_t relative;
    std::uint32_t entered_with; // the number its first partition would take
    std::uint32_t part_num;     // past this level's own partitions
    std::size_t next_slot;      // the next entry to follow as a link
    // The table's links, kept rather than read again at each return to
    // this level: 0 where an entry is no link.
    std::array<std::uint32_t, slot_count> link_begin;
    std::array<bool, slot_count> is_link;
};

// The levels of the recursion, kept apart from the walk: only those below
// its depth are read, and 32 KiB of them are not cleared for every disk.
std::array<dos_level, max_depth> levels;

struct dos_walk {
    const model_disk& disk;
    reader_view& view;
    std::array<dos_level, max_depth>& path = levels;
    std::size_t depth = 0;
    std::size_t visits = 0;
};

// A level that calls itself with nothing numbered in between never ends:
// U-Boot recurses until its stack overflows.
bool loops_back(const dos_walk& walk, std::uint64_t sector, std::uint64_t relative,
                std::uint32_t part_num)
{
    for (std::size_t i = 0; i < walk.depth; ++i) {
        const dos_level& level = walk.path[i];
        if (level.sector == sector && level.relative == relative &&
            level.entered_with == part_num) {
            return true;
        }
    }
    return false;
}

// Prints one table's partitions and pushes its level; false where the
// table is not read.
bool enter(dos_walk& walk, std::uint64_t sector, std::uint64_t relative, std::uint32_t part_num)
{
    const std::uint32_t entered_with = part_num;
    const sector_bytes* read = part_num > max_ext_parts ? nullptr : read_table(walk.disk, sector);
    if (read == nullptr || !is_dos_mbr(*read)) {
        return false;
    }
    const sector_bytes& table = *read;
    dos_level& level = walk.path[walk.depth];
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry entry = read_slot(table, slot);
        level.is_link[slot - 1] = is_extended(entry.part_type);
        level.link_begin[slot - 1] = entry.lba_begin;
        const bool data = entry.part_type != 0 && !is_extended(entry.part_type);
        if (entry.part_type != 0 && (sector == 0 || data)) {
            make(walk.view, {part_num, 0, sector + entry.lba_begin, entry.lba_size});
        }
        if (sector == 0 || data) {
            ++part_num;
        }
    }
    level.sector = sector;
    level.relative = relative;
    level.entered_with = entered_with;
    level.part_num = part_num;
    level.next_slot = 1;
    ++walk.depth;
    return true;
}

void dos_partitions(const model_disk& disk, reader_view& view)
{
    dos_walk walk{disk, view};
    if (!enter(walk, 0, 0, 1)) {
        return;
    }
    view.scheme = reader_scheme::dos;
    while (walk.depth != 0 && ++walk.visits <= max_visits) {
        dos_level& level = walk.path[walk.depth - 1];
        while (level.next_slot <= slot_count && !level.is_link[level.next_slot - 1]) {
            ++level.next_slot;
        }
        if (level.next_slot > slot_count) {
            --walk.depth;
            continue;
        }
        const std::uint32_t link_begin = level.link_begin[level.next_slot++ - 1];
        const std::uint64_t start = (std::uint64_t{link_begin} + level.relative) & 0xffffffffU;
        const std::uint64_t relative = level.sector == 0 ? start : level.relative;
        if (loops_back(walk, start, relative, level.part_num) || walk.depth == max_depth) {
            view.fails = reader_fails::crashes;
            return;
        }
        (void)enter(walk, start, relative, level.part_num);
    }
}

} // namespace

void read_as_u_boot(const model_disk& disk, reader_view& view)
{
    const sector_bytes* first = read_table(disk, 0);
    if (first == nullptr) {
        return;
    }
    if (is_protective(*first)) {
        efi_partitions(disk, view);
    } else if (is_dos_mbr(*first)) {
        dos_partitions(disk, view);
    } else {
        read_iso_as_u_boot(disk, view);
    }
    if (view.count == 0) {
        view.scheme = reader_scheme::none;
    }
}
