// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The report for people: the disk, its table, then a line per finding.
#include <cinttypes>

#include "report/report.h"
#include "report/row.h"
#include "report/views.h"
#include "rules/message.h"

void print_report(std::FILE* out, const checked_table& table, size_source source)
{
    const disk_geometry& disk = table.check.disk;
    row_text line;
    line.out = out;
    put(line, "disk: ");
    put_column(line, disk.sectors, 0);
    put(line, " sectors of ");
    put_column(line, disk.sector_size, 0);
    put(line, source == size_source::option ? " bytes, as given by --disk-size\n" : " bytes\n");
    flush(line);
    // A GPT disk's MBR is shown where it is a hybrid, for a ROM that reads
    // only the MBR.
    if (table.superfloppy.kind != fat_kind::none) {
        print_superfloppy_text(out, table.superfloppy);
        print_iso_text(out, table.iso);
    } else if (table.format == disk_format::mbr) {
        print_mbr_table(out, table.mbr);
        print_iso_text(out, table.iso);
    } else {
        if (is_hybrid(table.mbr)) {
            print_hybrid_table(out, table.mbr);
        }
        print_gpt_table(out, table);
    }
    print_loaders_text(out, table);
    print_readers_text(out, table);
    for_each_finding(table, [&](const finding& found) {
        std::fputs(is_error(found.what) ? "error: " : "warning: ", out);
        print_message(out, found);
        std::fputs("\n", out);
    });
    if (table.check.findings.left_out != 0) {
        std::fprintf(out, "and %zu more findings\n", table.check.findings.left_out);
    }
}
