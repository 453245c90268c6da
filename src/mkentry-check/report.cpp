// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "report.h"

#include <cinttypes>

#include "escape.h"

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

partition_view slot_view(const checked_table& table, std::uint8_t slot)
{
    const partition_entry& entry = table.slots[slot - 1];
    return {slot, entry.lba_begin,    entry.lba_size, entry.boot_flag, entry.part_type,
            0,    entry.lba_size != 0};
}

// The kernel gives a Minix subpartition no PARTUUID.
partition_view logical_view(const logical_partition& logical)
{
    return {
        logical.number,    logical.sectors.first, logical.sectors.last - logical.sectors.first + 1,
        logical.boot_flag, logical.part_type,     logical.table_sector,
        !logical.minix};
}

void print_row(std::FILE* out, const checked_table& table, const partition_view& view)
{
    std::fprintf(out, "%4u   %02x   %02x %10" PRIu64 " %10" PRIu64, view.number, view.boot_flag,
                 view.part_type, view.first, view.size);
    if (view.size == 0) {
        std::fputs("          -", out);
    } else {
        std::fprintf(out, " %10" PRIu64, view.first + view.size - 1);
    }
    if (view.has_partuuid) {
        std::fprintf(out, " %08" PRIx32 "-%02x", table.identifier, view.number);
    } else if (view.size != 0) {
        std::fputs("            ", out);
    }
    if (view.table_sector != 0) {
        std::fprintf(out, " %14" PRIu64, view.table_sector);
    }
    std::fputc('\n', out);
}

// Partition devices are named as the kernel names them: sda1, but
// mmcblk0p1 and loop0p1 after a digit.
void print_json_partition(std::FILE* out, const checked_table& table, std::string_view device,
                          const partition_view& view, bool first)
{
    const bool digit_last = !device.empty() && device.back() >= '0' && device.back() <= '9';
    std::fputs(first ? "\n         {\n            \"node\": \"" : ",{\n            \"node\": \"",
               out);
    put_json_chars(out, device);
    std::fprintf(out,
                 "%s%u\",\n            \"start\": %" PRIu64 ",\n            \"size\": %" PRIu64
                 ",\n            \"type\": \"%x\"",
                 digit_last ? "p" : "", view.number, view.first, view.size, view.part_type);
    if (view.has_partuuid) {
        std::fprintf(out, ",\n            \"partuuid\": \"%08" PRIx32 "-%02x\"", table.identifier,
                     view.number);
    }
    std::fputs(view.boot_flag == 0x80 ? ",\n            \"bootable\": true\n         }"
                                      : "\n         }",
               out);
}

// The partitions a finding names, all of which exist.
void print_json_slots(std::FILE* out, const finding& found)
{
    std::fputs("[", out);
    if (found.part != 0) {
        std::fprintf(out, "%u", found.part);
    }
    if (found.other != 0) {
        std::fprintf(out, found.part != 0 ? ", %u" : "%u", found.other);
    }
    std::fputs("]", out);
}

} // namespace

void print_report(std::FILE* out, const checked_table& table, size_source source)
{
    std::fprintf(out, "disk: %" PRIu64 " sectors of %" PRIu32 " bytes%s\n", table.disk.sectors,
                 table.disk.sector_size,
                 source == size_source::option ? ", as given by --disk-size" : "");
    std::fprintf(out, "disk identifier: %08" PRIx32 "\n", table.identifier);
    std::fputs(table.logical_count == 0
                   ? "part boot type      first    sectors       last partuuid\n"
                   : "part boot type      first    sectors       last partuuid               ebr\n",
               out);
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        print_row(out, table, slot_view(table, slot));
    }
    for (std::size_t i = 0; i < table.logical_count; ++i) {
        print_row(out, table, logical_view(table.logicals[i]));
    }
    for_each_finding(table, [&](const finding& found) {
        std::fputs(is_error(found.what) ? "error: " : "warning: ", out);
        print_message(out, table, found);
        std::fputc('\n', out);
    });
    if (table.findings.left_out != 0) {
        std::fprintf(out, "and %zu more findings\n", table.findings.left_out);
    }
}

// Laid out as sfdisk --json lays out its own, so that what reads one reads
// the other; the findings follow the table.
void print_json(std::FILE* out, const checked_table& table, std::string_view device)
{
    std::fprintf(out,
                 "{\n   \"partitiontable\": {\n      \"label\": \"dos\",\n      \"id\": "
                 "\"0x%08" PRIx32 "\",\n      \"device\": \"",
                 table.identifier);
    put_json_chars(out, device);
    std::fprintf(out,
                 "\",\n      \"unit\": \"sectors\",\n      \"sectorsize\": %" PRIu32
                 ",\n      \"partitions\": [",
                 table.disk.sector_size);
    bool first = true;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        if (is_used(table.slots[slot - 1])) {
            print_json_partition(out, table, device, slot_view(table, slot), first);
            first = false;
        }
    }
    for (std::size_t i = 0; i < table.logical_count; ++i) {
        print_json_partition(out, table, device, logical_view(table.logicals[i]), first);
        first = false;
    }
    std::fputs(first ? "]\n   },\n   \"findings\": [" : "\n      ]\n   },\n   \"findings\": [",
               out);
    const char* separator = "\n";
    for_each_finding(table, [&](const finding& found) {
        std::fprintf(out,
                     "%s      {\n         \"severity\": \"%s\",\n         \"slots\": ", separator,
                     is_error(found.what) ? "error" : "warning");
        separator = ",\n";
        print_json_slots(out, found);
        if (found.ebr != 0) {
            std::fprintf(out, ",\n         \"ebr\": %" PRIu64, found.ebr);
        }
        std::fprintf(out, ",\n         \"rule\": \"%.*s\",\n         \"message\": \"",
                     static_cast<int>(info(found.what).name.size()), info(found.what).name.data());
        // The messages are plain ASCII: nothing in them needs escaping.
        print_message(out, table, found);
        std::fputs("\"\n      }", out);
    });
    std::fputs(table.findings.count == 0 ? "]\n}\n" : "\n   ]\n}\n", out);
}
