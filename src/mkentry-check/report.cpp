// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "report.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cinttypes>

#include "escape.h"
#include "gpt.h"
#include "row.h"

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

void print_row(std::FILE* out, std::string_view partuuid_prefix, const partition_view& view)
{
    row_text row;
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
    std::fwrite(row.chars.data(), 1, row.size, out);
}

// A partition as sfdisk --json lists it, its node named as the kernel
// names it.
void print_json_partition(std::FILE* out, const checked_table& table, std::string_view device,
                          const partition_view& view, bool first)
{
    std::fputs(first ? "\n         {\n            \"node\": \"" : ",{\n            \"node\": \"",
               out);
    put_json_chars(out, device);
    std::fprintf(out,
                 "%s%u\",\n            \"start\": %" PRIu64 ",\n            \"size\": %" PRIu64
                 ",\n            \"type\": \"%x\"",
                 partition_infix(device), view.number, view.first, view.size, view.part_type);
    if (view.has_partuuid) {
        std::fprintf(out, ",\n            \"partuuid\": \"%08" PRIx32 "-%02x\"", table.identifier,
                     view.number);
    }
    std::fputs(view.boot_flag == 0x80 ? ",\n            \"bootable\": true\n         }"
                                      : "\n         }",
               out);
}

// The names the JSON gives the parts of a GPT and a header's rules.
constexpr std::array<const char*, 6> gpt_part_names = {
    "", "primary header", "primary array", "backup header", "backup array", "partition"};
constexpr std::array<const char*, 13> gpt_field_names = {"",
                                                         "signature",
                                                         "header_size",
                                                         "header_crc",
                                                         "my_lba",
                                                         "usable_range",
                                                         "last_usable",
                                                         "entry_size",
                                                         "entry_count",
                                                         "array_size",
                                                         "array_place",
                                                         "array_crc",
                                                         "alternate_lba"};

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

void print_mbr_table(std::FILE* out, const checked_table& table)
{
    std::fprintf(out, "disk identifier: %08" PRIx32 "\n", table.identifier);
    std::fputs(table.logical_count == 0
                   ? "part boot type      first    sectors       last partuuid\n"
                   : "part boot type      first    sectors       last partuuid               ebr\n",
               out);
    // " 5eed0022-": the PARTUUID of each row, but for its number.
    std::array<char, 11> prefix{};
    std::snprintf(prefix.data(), prefix.size(), " %08" PRIx32 "-", table.identifier);
    const std::string_view partuuid_prefix(prefix.data(), prefix.size() - 1);
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        print_row(out, partuuid_prefix, slot_view(table, slot));
    }
    for (std::size_t i = 0; i < table.logical_count; ++i) {
        print_row(out, partuuid_prefix, logical_view(table.logicals[i]));
    }
}

// A hybrid MBR's entries: what a ROM that reads only the MBR reads. Linux
// reads the GPT, so they have no device and no PARTUUID.
void print_hybrid_table(std::FILE* out, const checked_table& table)
{
    std::fputs("hybrid MBR, for a ROM that reads only the MBR:\n"
               "slot boot type      first    sectors       last\n",
               out);
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        partition_view view = slot_view(table, slot);
        view.has_partuuid = false;
        print_row(out, "", view);
    }
}

void print_hybrid_json(std::FILE* out, const checked_table& table)
{
    const char* separator = "\n";
    std::fputs(",\n   \"hybrid\": [", out);
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.slots[slot - 1];
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
void print_dos_json_table(std::FILE* out, const checked_table& table, std::string_view device)
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
    std::fputs(first ? "]\n   }" : "\n      ]\n   }", out);
}

} // namespace

void print_report(std::FILE* out, const checked_table& table, size_source source)
{
    std::fprintf(out, "disk: %" PRIu64 " sectors of %" PRIu32 " bytes%s\n", table.disk.sectors,
                 table.disk.sector_size,
                 source == size_source::option ? ", as given by --disk-size" : "");
    // A GPT disk's MBR is shown where it is a hybrid, for a ROM that reads
    // only the MBR.
    if (!table.gpt.present) {
        print_mbr_table(out, table);
    } else if (is_hybrid(table)) {
        print_hybrid_table(out, table);
    }
    if (table.gpt.present) {
        print_gpt_table(out, table);
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

// The table, then the findings.
void print_json(std::FILE* out, const checked_table& table, std::string_view device)
{
    if (table.gpt.present) {
        print_gpt_json_table(out, table, device);
    } else {
        print_dos_json_table(out, table, device);
    }
    if (table.gpt.present && is_hybrid(table)) {
        print_hybrid_json(out, table);
    }
    std::fputs(",\n   \"findings\": [", out);
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
        if (found.gpt != gpt_part::none && found.gpt != gpt_part::partition) {
            std::fprintf(out, ",\n         \"gpt\": \"%s\"",
                         gpt_part_names[static_cast<std::size_t>(found.gpt)]);
        }
        if (found.field != gpt_field::none) {
            std::fprintf(out, ",\n         \"field\": \"%s\"",
                         gpt_field_names[static_cast<std::size_t>(found.field)]);
        }
        std::fprintf(out, ",\n         \"rule\": \"%.*s\",\n         \"message\": \"",
                     static_cast<int>(info(found.what).name.size()), info(found.what).name.data());
        // The messages are plain ASCII: nothing in them needs escaping.
        print_message(out, table, found);
        std::fputs("\"\n      }", out);
    });
    std::fputs(table.findings.count == 0 ? "]\n}\n" : "\n   ]\n}\n", out);
}
