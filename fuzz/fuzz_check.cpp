// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table checker on any first sector and any disk size: the input's first
// 512 bytes are the sector (zero-padded), the next 8 the disk's size in
// sectors. Every finding must be formatted in full, and an error must make
// the status.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "report.h"
#include "table_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    sector_bytes sector{};
    std::copy_n(data, std::min(size, sector.size()), sector.begin());
    std::uint64_t disk_sectors = 0;
    for (std::size_t i = sector.size(); i < size && i < sector.size() + 8; ++i) {
        disk_sectors = disk_sectors << 8 | data[i];
    }

    const table_check check = check_table(sector, disk_sectors);
    text report;
    format_table(report, check, disk_sectors);
    bool error_found = false;
    for (std::size_t i = 0; i < check.finding_count; ++i) {
        format_finding(report, check.findings[i]);
        error_found = error_found || is_error(check.findings[i].what);
    }
    if (report.overflowed || check.finding_count > check.findings.size() ||
        error_found != has_errors(check)) {
        std::abort();
    }
    return 0;
}
