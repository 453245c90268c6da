// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The report for scripts: the table as sfdisk --json prints it, then the
// findings, each with its rule, what it names and its message.
#include <array>
#include <cinttypes>

#include "report/report.h"
#include "report/views.h"
#include "rules/message.h"

namespace {

// The names the JSON gives the structures of a GPT and a header's rules.
constexpr std::array<const char*, 5> gpt_part_names = {"", "primary header", "primary array",
                                                       "backup header", "backup array"};
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

// A finding's partition and the one it is named with, where they exist.
void print_numbers(std::FILE* out, std::uint16_t number, std::uint16_t other)
{
    std::fputs("[", out);
    if (number != 0) {
        std::fprintf(out, "%u", number);
    }
    if (other != 0) {
        std::fprintf(out, number != 0 ? ", %u" : "%u", other);
    }
    std::fputs("]", out);
}

// The partitions a finding names: MBR slots and the partitions Linux makes
// past them under "slots", a GPT's partitions under "gpt_partitions".
void print_json_partitions(std::FILE* out, const finding& found)
{
    const bool no_slot = found.at.kind == subject::ebr || found.at.kind == subject::boot_image;
    const std::uint16_t number = no_slot ? 0 : found.at.number;
    if (names_gpt_partitions(found)) {
        std::fputs("[],\n         \"gpt_partitions\": ", out);
    }
    print_numbers(out, number, found.other);
}

void print_json_finding(std::FILE* out, const checked_table& table, const finding& found)
{
    std::fprintf(out, "      {\n         \"severity\": \"%s\",\n         \"slots\": ",
                 is_error(found.what) ? "error" : "warning");
    print_json_partitions(out, found);
    if (found.at.ebr != 0) {
        std::fprintf(out, ",\n         \"ebr\": %" PRIu64, found.at.ebr);
    }
    if (found.at.kind == subject::gpt_structure) {
        std::fprintf(out, ",\n         \"gpt\": \"%s\"",
                     gpt_part_names[static_cast<std::size_t>(found.at.structure)]);
    }
    if (found.field != gpt_field::none) {
        std::fprintf(out, ",\n         \"field\": \"%s\"",
                     gpt_field_names[static_cast<std::size_t>(found.field)]);
    }
    std::fputs(",\n         \"readers\": ", out);
    print_reader_list(out, readers_of(table, found));
    std::fprintf(out, ",\n         \"destroys\": %s",
                 info(found.what).level.destroys ? "true" : "false");
    if (!is_empty(found.sectors)) {
        std::fprintf(out,
                     ",\n         \"sectors\": {\"first\": %" PRIu64 ", \"last\": %" PRIu64 "}",
                     found.sectors.first, found.sectors.last);
    }
    const std::string_view name = info(found.what).name.text();
    std::fprintf(out, ",\n         \"rule\": \"%.*s\",\n         \"message\": \"",
                 static_cast<int>(name.size()), name.data());
    // The messages are plain ASCII: nothing in them needs escaping.
    print_message(out, found);
    std::fputs("\"\n      }", out);
}

} // namespace

// The table, then the findings.
void print_json(std::FILE* out, const checked_table& table, std::string_view device)
{
    if (table.format == disk_format::mbr) {
        print_mbr_json_table(out, table.mbr, table.check.disk, device, table.loaders);
        if (table.superfloppy.kind != fat_kind::none) {
            print_superfloppy_json(out, table.superfloppy);
        }
        print_iso_json(out, table.iso);
    } else {
        print_gpt_json_table(out, table, device);
        if (is_hybrid(table.mbr)) {
            print_hybrid_json(out, table.mbr);
        }
    }
    print_loaders_json(out, table.loaders);
    print_readers_json(out, table);
    std::fputs(",\n   \"findings\": [", out);
    const char* separator = "\n";
    for_each_finding(table, [&](const finding& found) {
        std::fputs(separator, out);
        separator = ",\n";
        print_json_finding(out, table, found);
    });
    std::fputs(table.check.findings.count == 0 ? "]\n}\n" : "\n   ]\n}\n", out);
}
