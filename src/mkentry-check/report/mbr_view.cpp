// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// An MBR disk's part of the report: the slots, then the partitions Linux
// makes past them with their EBRs; in JSON as sfdisk --json lists them.
#include <array>
#include <cinttypes>
#include <cstring>

#include "report/escape.h"
#include "report/row.h"
#include "report/views.h"

namespace {

// A partition as the report shows it: a slot, or one Linux makes past them.
struct partition_view {
    std::uint16_t number;
    std::uint64_t first;
    std::uint64_t size;
    std::uint8_t boot_flag;
    std::uint8_t part_type;
    std::uint64_t table_sector; // 0 for a slot
    bool has_partuuid;
};

partition_view slot_view(const mbr_table& mbr, std::uint8_t slot)
{
    const partition_entry& entry = mbr.slots[slot - 1];
    return {slot, entry.lba_begin,    entry.lba_size, entry.boot_flag, entry.part_type,
            0,    entry.lba_size != 0};
}

// The kernel gives a Minix subpartition no PARTUUID.
partition_view logical_view(const logical_partition& logical)
{
    return {logical.number,    logical.sectors.first, size_of(logical.sectors),
            logical.boot_flag, logical.part_type,     logical.table_sector,
            !logical.minix};
}

void put_row(row_text& row, std::string_view partuuid_prefix, const partition_view& view)
{
    put_column(row, view.number, 4);
    put(row, "   ");
    put_hex_byte(row, view.boot_flag);
    put(row, "   ");
    put_hex_byte(row, view.part_type);
    put_column(row, view.first, 11);
    put_column(row, view.size, 11);
    if (view.size == 0) {
        put(row, "          -");
    } else {
        put_column(row, view.first + view.size - 1, 11);
    }
    if (view.has_partuuid) {
        put(row, partuuid_prefix);
        put_hex_byte(row, view.number);
    } else if (view.size != 0 && view.table_sector != 0) {
        put(row, "            ");
    }
    if (view.table_sector != 0) {
        put_column(row, view.table_sector, 15);
    }
    put(row, "\n");
}

// A partition as sfdisk --json lists it, its node named as the kernel
// names it.
void print_json_partition(std::FILE* out, const mbr_table& mbr, std::string_view device,
                          const partition_view& view, bool first, const loader_set& loaders)
{
    std::fputs(first ? "\n         {\n            \"node\": \"" : ",{\n            \"node\": \"",
               out);
    put_json_chars(out, device);
    std::fprintf(out,
                 "%s%u\",\n            \"start\": %" PRIu64 ",\n            \"size\": %" PRIu64
                 ",\n            \"type\": \"%x\"",
                 partition_infix(device).data(), view.number, view.first, view.size,
                 view.part_type);
    if (view.has_partuuid) {
        std::fprintf(out, ",\n            \"partuuid\": \"%08" PRIx32 "-%02x\"", mbr.identifier,
                     view.number);
    }
    if (const char* family = held_loader(loaders, view.number); family != nullptr) {
        std::fprintf(out, ",\n            \"holds-loader\": \"%s\"", family);
    }
    std::fputs(view.boot_flag == 0x80 ? ",\n            \"bootable\": true\n         }"
                                      : "\n         }",
               out);
}

} // namespace

void print_mbr_table(std::FILE* out, const mbr_table& mbr)
{
    // " 5eed0022-": the PARTUUID of each row, but for its number.
    std::array<char, 10> prefix{' ', 0, 0, 0, 0, 0, 0, 0, 0, '-'};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto byte = (mbr.identifier >> (24 - 8 * i)) & 0xff;
        std::memcpy(prefix.data() + 1 + 2 * i, hex_pairs_lower[byte].data(), 2);
    }
    const std::string_view partuuid_prefix(prefix.data(), prefix.size());
    row_text rows;
    rows.out = out;
    put(rows, "disk identifier: ");
    put(rows, partuuid_prefix.substr(1, 8));
    put(rows,
        mbr.logical_count == 0
            ? "\npart boot type      first    sectors       last partuuid\n"
            : "\npart boot type      first    sectors       last partuuid               ebr\n");
    // Without 55 aa the slots are no partitions, and are not listed.
    for (std::uint8_t slot = 1; slot <= slot_count && has_signature(mbr); ++slot) {
        put_row(rows, partuuid_prefix, slot_view(mbr, slot));
    }
    for (std::size_t i = 0; i < mbr.logical_count; ++i) {
        put_row(rows, partuuid_prefix, logical_view(mbr.logicals[i]));
    }
    flush(rows);
}

// A hybrid MBR's entries: what a ROM that reads only the MBR reads. Linux
// reads the GPT, so they have no device and no PARTUUID.
void print_hybrid_table(std::FILE* out, const mbr_table& mbr)
{
    std::fputs("hybrid MBR, for a ROM that reads only the MBR:\n"
               "slot boot type      first    sectors       last\n",
               out);
    row_text rows;
    rows.out = out;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        partition_view view = slot_view(mbr, slot);
        view.has_partuuid = false;
        put_row(rows, "", view);
    }
    flush(rows);
}

void print_hybrid_json(std::FILE* out, const mbr_table& mbr)
{
    const char* separator = "\n";
    std::fputs(",\n   \"hybrid\": [", out);
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        if (!is_used(entry)) {
            continue;
        }
        std::fprintf(out,
                     "%s      {\n         \"slot\": %u,\n         \"start\": %" PRIu32
                     ",\n         \"size\": %" PRIu32 ",\n         \"type\": \"%x\"%s\n      }",
                     separator, slot, entry.lba_begin, entry.lba_size, entry.part_type,
                     entry.boot_flag == 0x80 ? ",\n         \"bootable\": true" : "");
        separator = ",\n";
    }
    std::fputs("\n   ]", out);
}

// Laid out as sfdisk --json lays out its own, so that what reads one reads
// the other.
void put_json_grain(std::FILE* out, const disk_geometry& disk)
{
    constexpr std::uint64_t small_disk_bytes = std::uint64_t{4} << 20;
    if (disk.sectors <= small_disk_bytes / disk.sector_size) {
        std::fprintf(out, "      \"grain\": \"%" PRIu32 "\",\n", disk.sector_size);
    }
}

void print_mbr_json_table(std::FILE* out, const mbr_table& mbr, const disk_geometry& disk,
                          std::string_view device, const loader_set& loaders)
{
    std::fprintf(out,
                 "{\n   \"partitiontable\": {\n      \"label\": \"dos\",\n      \"id\": "
                 "\"0x%08" PRIx32 "\",\n      \"device\": \"",
                 mbr.identifier);
    put_json_chars(out, device);
    std::fputs("\",\n      \"unit\": \"sectors\",\n", out);
    put_json_grain(out, disk);
    std::fprintf(out, "      \"sectorsize\": %" PRIu32 ",\n      \"partitions\": [",
                 disk.sector_size);
    bool first = true;
    for (std::uint8_t slot = 1; slot <= slot_count && has_signature(mbr); ++slot) {
        if (is_used(mbr.slots[slot - 1])) {
            print_json_partition(out, mbr, device, slot_view(mbr, slot), first, loaders);
            first = false;
        }
    }
    for (std::size_t i = 0; i < mbr.logical_count; ++i) {
        print_json_partition(out, mbr, device, logical_view(mbr.logicals[i]), first, loaders);
        first = false;
    }
    std::fputs(first ? "]\n   }" : "\n      ]\n   }", out);
}
