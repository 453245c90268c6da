// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table checker on any first sector, any chain of EBRs and any disk:
// the input's first 512 bytes are the sector (zero-padded), the next 8 the
// disk's size in sectors, the next byte picks the sector size, the next
// the number of reserved ranges (16 bytes each, up to 8), and what follows
// is the rest of the disk, held in memory: sector N reads as the
// (N mod count)-th 512 bytes of it, so that every link, however far or
// looping, lands on something, and one that starts with "EIO" fails to
// read. Every finding must be printed in full, in text and JSON, errors
// must come first and make the status, none may be left out, and no sector
// past the disk is read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include <unistd.h>

#include "report.h"
#include "table.h"

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
    std::uint32_t sector_size;
};

const char* read_memory(const void* disk, std::uint64_t offset, std::span<std::uint8_t> out)
{
    const auto& memory = *static_cast<const memory_disk*>(disk);
    const std::uint64_t sector = offset / memory.sector_size;
    if (offset % memory.sector_size != 0 || sector >= memory.sectors) {
        std::abort(); // the checker read past the disk, or not at a sector
    }
    std::fill(out.begin(), out.end(), 0);
    if (memory.blocks == 0) {
        return nullptr;
    }
    const std::uint8_t* block = memory.data + (sector % memory.blocks) * mbr_size;
    if (std::memcmp(block, "EIO", 3) == 0) {
        return "Input/output error";
    }
    std::copy_n(block, std::min(out.size(), mbr_size), out.begin());
    return nullptr;
}

// Counts the lines a report printed, and fails on a failed write.
struct line_counter {
    std::FILE* stream;
    std::size_t lines() const
    {
        std::fflush(stream);
        std::rewind(stream);
        std::size_t count = 0;
        for (int c = std::getc(stream); c != EOF; c = std::getc(stream)) {
            count += c == '\n' ? 1 : 0;
        }
        return count;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    sector_bytes sector{};
    const std::size_t taken = std::min(size, sector.size());
    std::copy_n(data, taken, sector.begin());
    data += taken;
    size -= taken;
    disk_geometry disk;
    disk.sectors = take_u64(data, size);
    if (size > 0) {
        disk.sector_size = 512U << (*data % 4);
        ++data;
        --size;
    }
    // The disk's bytes fit in 64 bits, as settle_geometry makes them.
    disk.sectors = std::min(disk.sectors, UINT64_MAX / disk.sector_size);
    std::size_t ranges = 0;
    if (size > 0) {
        ranges = *data % 9;
        ++data;
        --size;
    }
    std::array<sector_range, 8> reserved;
    std::size_t reserved_count = 0;
    while (size >= 16 && reserved_count < ranges) {
        sector_range range{take_u64(data, size), take_u64(data, size)};
        if (range.first > range.last) {
            std::swap(range.first, range.last);
        }
        reserved[reserved_count++] = range;
    }
    const memory_disk memory = {data, size / mbr_size, disk.sectors, disk.sector_size};

    const checked_table table =
        check_table(sector, disk, {reserved.data(), reserved_count}, {read_memory, &memory});
    if (table.failure.reason != nullptr &&
        (table.failure.sector >= disk.sectors || memory.blocks == 0)) {
        std::abort();
    }
    // The text report is the disk, identifier and header lines, one line a
    // slot, a partition past them and a finding, and one for findings
    // left out: a message that broke its line, or a finding left
    // unformatted, shows in the count.
    static std::FILE* report = std::tmpfile();
    static std::FILE* json = std::fopen("/dev/null", "w");
    std::rewind(report);
    if (ftruncate(fileno(report), 0) != 0) {
        std::abort();
    }
    print_report(report, table, size_source::image);
    print_json(json, table, "disk.img");
    std::size_t printed = 0;
    bool warning_seen = false;
    bool error_after_warning = false;
    for_each_finding(table, [&](const finding& found) {
        ++printed;
        error_after_warning = error_after_warning || (is_error(found.what) && warning_seen);
        warning_seen = warning_seen || !is_error(found.what);
    });
    const finding_list& findings = table.findings;
    const std::size_t rows =
        3 + slot_count + table.logical_count + printed + (findings.left_out != 0 ? 1 : 0);
    // No error is left out: the errors kept fail the table as all would.
    std::size_t errors_kept = 0;
    for_each_finding(table,
                     [&](const finding& found) { errors_kept += is_error(found.what) ? 1 : 0; });
    if (error_after_warning || line_counter{report}.lines() != rows || std::ferror(report) ||
        (errors_kept != 0) != fails(table, false) ||
        (findings.errors > findings.kept.size() ? errors_kept != findings.kept.size()
                                                : errors_kept != findings.errors) ||
        (printed > 0) != fails(table, true)) {
        std::abort();
    }
    return 0;
}
