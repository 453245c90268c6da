// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table checker on any first sector, any chain of EBRs, any GPT and any
// disk: the input's first 512 bytes are the sector (zero-padded), the next
// 8 the disk's size in sectors, the next byte picks the sector size, the
// next the number of reserved ranges (16 bytes each, up to 8), the next
// whether to give the GPT headers at sector 1 and at their alternate LBA
// right CRCs (bit 0, bit 1) and, in its bits 2 and up modulo 9, the SoC
// family whose ROM is checked (0: none), and what follows is the rest of the disk, held
// in memory: byte B of the disk reads as byte B mod 512 of the
// (B / 512 mod count)-th 512 bytes of it, so that every link and array,
// however far or looping, lands on something, and a read that touches 512
// bytes starting with "EIO" fails. Every finding must be printed in full,
// in text and JSON, errors must come first and make the status, none may
// be left out, and nothing past the disk is read.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include <unistd.h>

#include "gpt/gpt.h"
#include "report/report.h"
#include "report/svg.h"
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
    std::vector<std::uint8_t> bytes; // whole blocks of 512
    std::uint64_t sectors;
    std::uint32_t sector_size;

    [[nodiscard]] std::size_t blocks() const { return bytes.size() / mbr_size; }
    std::uint8_t& at(std::uint64_t offset)
    {
        return bytes[(offset / mbr_size) % blocks() * mbr_size + offset % mbr_size];
    }
};

const char* read_memory(const void* disk, std::uint64_t offset, std::span<std::uint8_t> out)
{
    auto& memory = *const_cast<memory_disk*>(static_cast<const memory_disk*>(disk));
    if (offset > memory.sectors * memory.sector_size ||
        out.size() > memory.sectors * memory.sector_size - offset) {
        std::abort(); // the checker read past the disk
    }
    std::fill(out.begin(), out.end(), 0);
    for (std::size_t i = 0; i < out.size() && memory.blocks() != 0; ++i) {
        const std::uint64_t block = (offset + i) / mbr_size % memory.blocks();
        if (std::memcmp(memory.bytes.data() + block * mbr_size, "EIO", 3) == 0) {
            return "Input/output error";
        }
        out[i] = memory.at(offset + i);
    }
    return nullptr;
}

// Gives the header at a sector a right CRC, of its array too, so that the
// rules past the CRCs are reached.
void fix_crcs(memory_disk& memory, std::uint64_t sector)
{
    const std::uint64_t offset = sector * memory.sector_size;
    if (memory.blocks() == 0 || sector >= memory.sectors) {
        return;
    }
    std::vector<std::uint8_t> header(memory.sector_size);
    (void)read_memory(&memory, offset, header);
    const gpt_header fields = decode_header(header);
    const std::uint64_t array = array_bytes(fields);
    if (array <= 65536 && fields.entries_lba < memory.sectors &&
        array <= (memory.sectors - fields.entries_lba) * memory.sector_size) {
        std::vector<std::uint8_t> entries(array);
        (void)read_memory(&memory, fields.entries_lba * memory.sector_size, entries);
        const std::uint32_t crc = crc32(0, entries);
        for (std::uint64_t i = 0; i < 4; ++i) {
            header[88 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        }
    }
    if (fields.header_size >= gpt_header_bytes && fields.header_size <= memory.sector_size) {
        const std::uint32_t crc = header_crc_of(header, fields.header_size);
        for (std::uint64_t i = 0; i < 4; ++i) {
            header[gpt_header_crc_offset + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        }
    }
    for (std::uint64_t i = 0; i < header.size(); ++i) {
        memory.at(offset + i) = header[i];
    }
}

std::size_t count_lines(std::FILE* stream)
{
    std::fflush(stream);
    std::rewind(stream);
    std::size_t count = 0;
    for (int c = std::getc(stream); c != EOF; c = std::getc(stream)) {
        count += c == '\n' ? 1 : 0;
    }
    return count;
}

// The lines of the text report before the findings.
// A reader whose model differs from the table as written is named by a
// finding's rule.
bool readers_named(const checked_table& table)
{
    unsigned named = 0;
    for_each_finding(table, [&](const finding& found) {
        named |= static_cast<unsigned>(info(found.what).level.readers);
    });
    return (table.differing & ~named) == 0;
}

std::size_t table_lines(const checked_table& table)
{
    // The disk, a line for each board reader that differs, the ROM's, and
    // one for each boot loader found.
    constexpr unsigned boards_differing = (1U << board_count) - 1;
    std::size_t lines =
        1 + static_cast<std::size_t>(std::popcount(table.differing & boards_differing)) +
        (table.rom.soc != soc_family::none ? 1 : 0) + table.loaders.count;
    const bool gpt_disk = table.format == disk_format::gpt;
    if (table.superfloppy.kind != fat_kind::none) {
        lines += 1; // in place of the slots
    } else if (!gpt_disk || is_hybrid(table.mbr)) {
        // The identifier, the header, and the rows: no slot of an MBR
        // without 55 aa.
        const bool slots_listed = gpt_disk || has_signature(table.mbr);
        lines += 2 + (slots_listed ? slot_count : 0) + table.mbr.logical_count;
    }
    if (!gpt_disk) {
        // An ISO 9660 volume's line, and one for each boot image.
        return lines + (table.iso.present ? 1 + table.iso.image_count : 0);
    }
    const bool valid = table.gpt.primary.problem == gpt_field::none || table.gpt.from_backup;
    lines += valid ? 5 : 1; // label; disk GUID, usable range, arrays, header
    for (std::size_t i = 0; valid && i < table.gpt.count; ++i) {
        const auto& name = table.gpt.partitions[i].entry.name;
        lines += name[0] != 0 || name[1] != 0 ? 2 : 1;
    }
    return lines;
}

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
    std::uint8_t fixes = 0;
    if (size > 0) {
        fixes = *data;
        ++data;
        --size;
    }
    memory_disk memory = {
        {data, data + size / mbr_size * mbr_size}, disk.sectors, disk.sector_size};
    if ((fixes & 1) != 0) {
        fix_crcs(memory, 1);
    }
    if ((fixes & 2) != 0 && memory.blocks() != 0 && disk.sectors > 1) {
        std::array<std::uint8_t, gpt_header_bytes> primary{};
        (void)read_memory(&memory, disk.sector_size, primary);
        fix_crcs(memory, decode_header(std::span<const std::uint8_t>(primary)).alternate_lba);
    }

    const auto soc = static_cast<soc_family>((fixes >> 2) % 9);
    const checked_table table =
        check_table(sector, disk, {reserved.data(), reserved_count}, {read_memory, &memory}, soc);
    const read_failure& failure = table.check.failure;
    if (failure.reason != nullptr && (failure.sector >= disk.sectors || memory.blocks() == 0)) {
        std::abort();
    }
    if (failure.reason != nullptr) {
        return 0; // status 2: no report
    }
    static std::FILE* report = std::tmpfile();
    static std::FILE* json = std::fopen("/dev/null", "w");
    std::rewind(report);
    if (ftruncate(fileno(report), 0) != 0) {
        std::abort();
    }
    print_report(report, table, size_source::image);
    print_json(json, table, "disk.img");
    print_svg(json, table, "disk.img", false); // in bounds for any table, under the sanitizers
    std::size_t printed = 0;
    std::size_t errors_kept = 0;
    bool warning_seen = false;
    bool error_after_warning = false;
    for_each_finding(table, [&](const finding& found) {
        ++printed;
        errors_kept += is_error(found.what) ? 1 : 0;
        error_after_warning = error_after_warning || (is_error(found.what) && warning_seen);
        warning_seen = warning_seen || !is_error(found.what);
    });
    const finding_list& findings = table.check.findings;
    // A message that broke its line, or a finding left unprinted, shows in
    // the count of lines.
    const std::size_t lines = table_lines(table) + printed + (findings.left_out != 0 ? 1 : 0);
    if (error_after_warning || count_lines(report) != lines || std::ferror(report) != 0 ||
        (errors_kept != 0) != fails(table, false) ||
        (findings.errors > findings.kept.size() ? errors_kept != findings.kept.size()
                                                : errors_kept != findings.errors) ||
        (printed > 0) != fails(table, true) || !readers_named(table)) {
        std::abort();
    }
    return 0;
}
