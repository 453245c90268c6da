// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table checker on any first sector, any chain of EBRs and any disk:
// the input's first 512 bytes are the sector (zero-padded), the next 8 the
// disk's size in sectors, the next byte picks the sector size, the next
// the number of reserved ranges (16 bytes each, up to 8), and what follows
// is the rest of the disk, held in memory: sector N reads as the
// (N mod count)-th 512 bytes of it, so that every link, however far or
// looping, lands on something, and one that starts with "EIO" fails to
// read. Every finding must be formatted in full, in text and JSON, errors
// must come first and make the status, and no sector past the disk is read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>

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

struct memory_disk {
    const std::uint8_t* data;
    std::size_t blocks;
    std::uint64_t sectors;
};

const char* read_memory(const void* disk, std::uint64_t sector, sector_bytes& out)
{
    const auto& memory = *static_cast<const memory_disk*>(disk);
    if (sector >= memory.sectors) {
        std::abort(); // the checker read past the disk
    }
    out = {};
    if (memory.blocks == 0) {
        return nullptr;
    }
    const std::uint8_t* block = memory.data + (sector % memory.blocks) * out.size();
    if (std::memcmp(block, "EIO", 3) == 0) {
        return "Input/output error";
    }
    std::copy_n(block, out.size(), out.begin());
    return nullptr;
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
    std::size_t ranges = 0;
    if (size > 0) {
        ranges = *data % (max_reserved + 1);
        ++data;
        --size;
    }
    std::array<sector_range, max_reserved> reserved;
    std::size_t reserved_count = 0;
    while (size >= 16 && reserved_count < ranges) {
        sector_range range{take_u64(data, size), take_u64(data, size)};
        if (range.first > range.last) {
            std::swap(range.first, range.last);
        }
        reserved[reserved_count++] = range;
    }
    disk.reserved = {reserved.data(), reserved_count};
    const memory_disk memory = {data, size / mbr_size, disk.sectors};

    const checked_table table = check_table(sector, disk, {read_memory, &memory});
    if (table.failure.reason != nullptr &&
        (table.failure.sector >= disk.sectors || memory.blocks == 0)) {
        std::abort();
    }
    static text report;
    report.size = 0;
    format_report(report, table, size_source::image);
    // The text report is the disk, identifier and header lines, one line a
    // slot, a logical partition and a finding, and one for findings left
    // out: a message that broke its line, or a finding left unformatted,
    // shows in the count.
    const std::size_t lines = static_cast<std::size_t>(
        std::count(report.data.begin(), report.data.begin() + report.size, '\n'));
    const std::size_t rows = 3 + slot_count + table.logical_count + finding_count(table) +
                             (table.findings_left_out != 0 ? 1 : 0);
    // The JSON report of a long chain outgrows the buffer: it goes out in
    // pieces, here to /dev/null.
    static text json;
    static const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    json.size = 0;
    json.sink = null_fd;
    format_json(json, table, "disk.img");
    bool error_seen = false;
    bool warning_seen = false;
    for (std::size_t i = 0; i < finding_count(table); ++i) {
        const bool error = is_error(nth_finding(table, i).what);
        if (error && warning_seen) {
            std::abort(); // an error after a warning
        }
        error_seen = error_seen || error;
        warning_seen = warning_seen || !error;
    }
    if (report.overflowed || !flush(json) || lines != rows || error_seen != fails(table, false) ||
        (finding_count(table) > 0) != fails(table, true)) {
        std::abort();
    }
    return 0;
}
