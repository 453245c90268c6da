// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// GRUB 2.06's partmap/msdos.c and gpt.c. The msdos map gives way to the
// GPT on any ee entry ("dummy mbr"), and the GPT map wants one, so one of
// them reads a disk. GRUB counts in 512-byte units; the partitions it
// makes inside partitions (a Minix table's, a BSD label's) are not
// modelled.
#include "readers/access.h"

namespace {

constexpr std::uint8_t ee_type = 0xee;
// GRUB looks for the GPT header at 512-byte sectors 1, 2, 4 ... 128.
constexpr unsigned header_probes = 8;
constexpr std::size_t max_tables = 4096;

bool has_ee_entry(const sector_bytes& first)
{
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        if (read_slot(first, slot).part_type == ee_type) {
            return true;
        }
    }
    return false;
}

// The 512-byte sector shift at whose sector the header's signature
// stands; header_probes for none.
unsigned find_header(const model_disk& disk, gpt_header& header)
{
    for (unsigned shift = 0; shift < header_probes; ++shift) {
        std::array<std::uint8_t, gpt_header_bytes> bytes{};
        if (!read_bytes(disk, std::uint64_t{512} << shift, bytes)) {
            return header_probes; // a read error ends the map
        }
        header = decode_header(bytes);
        if (header.signature == gpt_signature) {
            return shift;
        }
    }
    return header_probes;
}

// No CRC, no my LBA, no usable range, no backup: every entry with a type,
// at the header's entry size apart, until a read fails.
void gpt_map(const model_disk& disk, reader_view& view)
{
    gpt_header header{};
    const unsigned shift = find_header(disk, header);
    if (shift == header_probes) {
        return;
    }
    view.scheme = reader_scheme::gpt;
    const std::uint64_t units = disk.disk.sector_size / 512;
    const std::uint64_t base = (header.entries_lba << shift) * 512;
    const auto entries = read_entries(disk, base, header.entry_size, header.entry_count);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const model_entry& entry = entries[i];
        if (entry.used) {
            const std::uint64_t start = entry.first_lba << shift;
            const std::uint64_t length = (entry.last_lba - entry.first_lba + 1) << shift;
            make(view, {static_cast<std::uint32_t>(i + 1), 0, start / units, length / units});
        }
    }
}

// Whether a table stops the map: no 55 aa, or a boot flag other than 00
// and 80.
bool table_refused(const sector_bytes& table)
{
    if (!has_signature(table)) {
        return true;
    }
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        if ((read_slot(table, slot).boot_flag & 0x7f) != 0) {
            return true;
        }
    }
    return false;
}

// The MBR and the chain of EBRs, each table's every entry with a type
// but no extended one a partition; the slots keep numbers 1 to 4.
void msdos_map(const model_disk& disk, reader_view& view)
{
    std::uint64_t offset = 0;
    std::uint64_t ext_offset = 0;
    std::uint64_t last_address = 1;
    int number = -1;
    for (std::size_t label = 0; label < max_tables; ++label) {
        const sector_bytes* read = read_table(disk, offset);
        if (read == nullptr) {
            return;
        }
        const sector_bytes& table = *read;
        // GRUB's loop check: the address last saved at a power of two.
        if (label != 0 && last_address == offset) {
            return;
        }
        if (((label + 1) & (label + 1 - 1)) == 0) {
            last_address = offset;
        }
        if (table_refused(table)) {
            return;
        }
        view.scheme = reader_scheme::dos;
        for (std::size_t slot = 1; slot <= slot_count; ++slot) {
            const partition_entry entry = read_slot(table, slot);
            if (entry.part_type != 0 && !is_extended(entry.part_type)) {
                ++number;
                make(view, {static_cast<std::uint32_t>(number + 1), 0, offset + entry.lba_begin,
                            entry.lba_size});
            } else if (number < 3) {
                ++number;
            }
        }
        std::size_t slot = 1;
        while (slot <= slot_count && !is_extended(read_slot(table, slot).part_type)) {
            ++slot;
        }
        if (slot > slot_count) {
            return;
        }
        offset = ext_offset + read_slot(table, slot).lba_begin;
        if (ext_offset == 0) {
            ext_offset = offset;
        }
    }
}

} // namespace

void read_as_grub(const model_disk& disk, reader_view& view)
{
    const sector_bytes* first = read_table(disk, 0);
    if (first == nullptr) {
        return;
    }
    if (has_ee_entry(*first)) {
        if (has_signature(*first)) {
            gpt_map(disk, view);
        }
    } else {
        msdos_map(disk, view);
    }
    if (view.count == 0) {
        view.scheme = reader_scheme::none;
    }
}
