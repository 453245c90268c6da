// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table checker on any first sector and any disk: the input's first 512
// bytes are the sector (zero-padded), the next 8 the disk's size in
// sectors, the next byte picks the sector size, and what follows gives
// reserved ranges, 16 bytes each. Every finding must be formatted in full,
// in text and JSON, errors must come first and make the status.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "report.h"
#include "rules.h"

namespace {

std::uint64_t take_u64(const std::uint8_t*& data, std::size_t& size)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8 && size > 0; ++i, ++data, --size) {
        value = value << 8 | *data;
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    sector_bytes sector{};
    const std::size_t taken = std::min(size, sector.size());
    std::copy_n(data, taken, sector.begin());
    data += taken;
    size -= taken;
    disk_limits disk;
    disk.sectors = take_u64(data, size);
    if (size > 0) {
        disk.sector_size = 512U << (*data % 4);
        ++data;
        --size;
    }
    while (size >= 16 && disk.reserved_count < disk.reserved.size()) {
        sector_range range{take_u64(data, size), take_u64(data, size)};
        if (range.first > range.last) {
            std::swap(range.first, range.last);
        }
        disk.reserved[disk.reserved_count++] = range;
    }

    const checked_table table = check_table(sector, disk);
    static text report;
    report.size = 0;
    format_report(report, table, size_source::image);
    const std::size_t text_size = report.size;
    format_json(report, table, "disk.img");
    bool error_seen = false;
    bool warning_seen = false;
    for (std::size_t i = 0; i < table.finding_count; ++i) {
        const bool error = is_error(table.findings[i].what);
        if (error && warning_seen) {
            std::abort(); // an error after a warning
        }
        error_seen = error_seen || error;
        warning_seen = warning_seen || !error;
    }
    // The text report is the disk, identifier and header lines, one line a
    // slot and one a finding: a message that broke its line, or a finding
    // left unformatted, shows in the count.
    std::size_t lines = 0;
    for (const char c : report.view().substr(0, text_size)) {
        lines += c == '\n' ? 1 : 0;
    }
    if (report.overflowed || lines != 3 + slot_count + table.finding_count ||
        error_seen != fails(table, false) || (table.finding_count > 0) != fails(table, true)) {
        std::abort();
    }
    return 0;
}
