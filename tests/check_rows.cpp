// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "check_rows.h"

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "report/report.h"

void PrintTo(const expected& found, std::ostream* out)
{
    *out << "{" << info(found.what).name.text() << ", part " << found.part << ", ebr " << found.ebr
         << ", other " << found.other;
    *out << ", sectors " << found.sectors.first << "-" << found.sectors.last << ", field "
         << static_cast<int>(found.field) << ", entry " << int{found.entry} << ", value "
         << found.value << "}";
}

void PrintTo(const listed& part, std::ostream* out)
{
    *out << "{" << part.number << ", " << part.first << ", " << part.size << "}";
}

table_case chain(const char* name, int status, std::vector<expected> findings,
                 std::vector<ebr_bytes> ebrs, std::vector<slot_bytes> slots, test_disk on)
{
    return {name,       std::move(slots), on, status, std::move(findings), {0x55, 0xaa},
            0x5eed0001, std::move(ebrs)};
}

namespace {

// A GPT as partitioning tools lay it out: the header at sector 1, 128
// entries from sector 2, and their backup at the disk's end. Its CRCs are
// taken bit by bit here, apart from the checker's.
std::uint32_t bitwise_crc32(const std::vector<std::uint8_t>& bytes)
{
    std::uint32_t crc = 0xffffffff;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
        }
    }
    return ~crc;
}

} // namespace

void put_le(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int size)
{
    for (int i = 0; i < size; ++i) {
        bytes.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

namespace {

std::vector<std::uint8_t> header_sector(const gpt_bytes& gpt, std::uint64_t at,
                                        std::uint64_t alternate, std::uint64_t entries,
                                        std::uint32_t entries_crc, header_edit edit)
{
    const std::uint64_t array_sectors = gpt.entry_count * 128ULL / gpt.sector_size;
    std::vector<std::uint8_t> header(gpt.sector_size);
    std::copy_n("EFI PART", 8, header.begin());
    put_le(header, 8, 0x00010000, 4);
    put_le(header, 12, 92, 4);
    put_le(header, 24, at, 8);
    put_le(header, 32, alternate, 8);
    put_le(header, 40, gpt.entries_lba + array_sectors, 8);
    put_le(header, 48, gpt.sectors - 2 - array_sectors, 8);
    std::copy(disk_guid.begin(), disk_guid.end(), header.begin() + 56);
    put_le(header, 72, entries, 8);
    put_le(header, 80, gpt.entry_count, 4);
    put_le(header, 84, 128, 4);
    put_le(header, 88, entries_crc, 4);
    if (edit != nullptr) {
        edit(header);
    }
    const auto size = static_cast<std::ptrdiff_t>(header[12] | header[13] << 8);
    put_le(header, 16, bitwise_crc32({header.begin(), header.begin() + size}), 4);
    return header;
}

} // namespace

std::vector<patch> gpt_image(const gpt_bytes& gpt)
{
    std::vector<std::uint8_t> array(gpt.entry_count * std::size_t{128});
    std::uint32_t index = 0;
    for (const gpt_partition_bytes& partition : gpt.partitions) {
        index = partition.index != 0 ? partition.index : index;
        const std::size_t at = std::size_t{index} * 128;
        put_le(array, at + 127, 0, 1); // inside the array
        std::copy(partition.type.begin(), partition.type.end(),
                  array.begin() + static_cast<std::ptrdiff_t>(at));
        if (partition.unique != no_unique_guid) {
            array[at + 16] =
                partition.unique != 0 ? partition.unique : static_cast<std::uint8_t>(index + 1);
            array[at + 31] = 0xaa;
        }
        put_le(array, at + 32, partition.first, 8);
        put_le(array, at + 40, partition.last, 8);
        put_le(array, at + 48, partition.attributes, 8);
        for (std::size_t i = 0; partition.name[i] != '\0'; ++i) {
            array[at + 56 + 2 * i] = static_cast<std::uint8_t>(partition.name[i]);
        }
        for (std::size_t i = 0; i < partition.units.size(); ++i) {
            put_le(array, at + 56 + 2 * i, partition.units[i], 2);
        }
        ++index;
    }
    const std::uint32_t crc = bitwise_crc32(array);
    const std::uint64_t last = gpt.sectors - 1;
    const std::uint64_t backup_entries = last - array.size() / gpt.sector_size;
    std::vector<patch> patches = {
        {gpt.sector_size, header_sector(gpt, 1, last, gpt.entries_lba, crc, gpt.edit)},
        {gpt.entries_lba * gpt.sector_size, array}};
    if (gpt.damage != nullptr) {
        gpt.damage(patches[0].bytes);
    }
    if (gpt.damaged_entry_byte != 0) {
        patches[1].bytes[gpt.damaged_entry_byte] ^= 1;
    }
    if (gpt.backup) {
        // A backup of its own array, with its own CRC, where one byte differs.
        std::vector<std::uint8_t> backup_array = array;
        if (gpt.changed_backup_entry_byte != 0) {
            backup_array[gpt.changed_backup_entry_byte] ^= 1;
        }
        const std::uint32_t backup_crc = bitwise_crc32(backup_array);
        patches.push_back({backup_entries * gpt.sector_size, backup_array});
        patches.push_back({last * gpt.sector_size, header_sector(gpt, last, 1, backup_entries,
                                                                 backup_crc, gpt.edit_backup)});
        if (gpt.damaged_backup_entry_byte != 0) {
            patches[2].bytes[gpt.damaged_backup_entry_byte] ^= 1;
        }
        if (gpt.damage_backup != nullptr) {
            gpt.damage_backup(patches[3].bytes);
        }
    }
    return patches;
}

void set_u32(std::vector<std::uint8_t>& header, std::size_t at, std::uint32_t value)
{
    put_le(header, at, value, 4);
}

// A row of a GPT disk, behind a protective MBR unless other slots are given.
table_case gpt_row(const char* name, int status, std::vector<expected> findings,
                   const gpt_bytes& gpt, std::vector<slot_bytes> slots, test_disk on)
{
    table_case row = {name, std::move(slots), on, status, std::move(findings)};
    row.patches = gpt_image(gpt);
    return row;
}

sector_bytes sector_of(const std::vector<slot_bytes>& slots, std::uint32_t identifier,
                       std::array<std::uint8_t, 2> signature)
{
    sector_bytes sector{};
    for (std::size_t i = 0; i < slots.size(); ++i) {
        partition_entry entry;
        entry.boot_flag = slots[i].flag;
        entry.part_type = slots[i].type;
        entry.lba_begin = slots[i].first;
        entry.lba_size = slots[i].size;
        const entry_bytes bytes = encode_entry(entry);
        std::copy(bytes.begin(), bytes.end(), sector.begin() + 446 + 16 * static_cast<long>(i));
    }
    for (std::size_t i = 0; i < 4; ++i) {
        sector[440 + i] = static_cast<std::uint8_t>(identifier >> (8 * i));
    }
    sector[510] = signature[0];
    sector[511] = signature[1];
    return sector;
}

// The disk of a row, held in memory: its first sector, its EBRs and its
// patches, zeros elsewhere.
const char* read_row(const void* memory, std::uint64_t offset, std::span<std::uint8_t> out)
{
    const auto& row = *static_cast<const table_case*>(memory);
    const std::uint64_t sector = offset / row.disk.sector_size;
    if (offset + out.size() > row.disk.sectors * row.disk.sector_size) {
        ADD_FAILURE() << "read at byte " << offset << ", past the disk";
    }
    if (row.unreadable != 0 && sector == row.unreadable) {
        return "Input/output error";
    }
    sector_bytes bytes{};
    if (sector == 0) {
        bytes = sector_of(row.slots, row.identifier, row.signature);
    }
    if (row.endless) {
        const auto next = static_cast<std::uint32_t>(sector - 34816 + 4096);
        bytes = sector_of({{0, 0x83, 2048, 2048}, {0, 0x05, next, 4096}}, 0, {0x55, 0xaa});
    }
    for (const ebr_bytes& ebr : row.ebrs) {
        if (ebr.sector == sector) {
            bytes = sector_of(ebr.entries, 0, ebr.signature);
        }
    }
    std::fill(out.begin(), out.end(), 0);
    if (offset % row.disk.sector_size == 0) {
        std::copy_n(bytes.begin(), std::min(out.size(), bytes.size()), out.begin());
    }
    for (const patch& each : row.patches) {
        const std::uint64_t from = std::max(offset, each.offset);
        const std::uint64_t to = std::min(offset + out.size(), each.offset + each.bytes.size());
        for (std::uint64_t at = from; at < to; ++at) {
            out[static_cast<std::size_t>(at - offset)] =
                each.bytes[static_cast<std::size_t>(at - each.offset)];
        }
    }
    return nullptr;
}

checked_table check_row(const table_case& row)
{
    const disk_geometry geometry = {geometry_problem::none, row.disk.sector_size, row.disk.sectors,
                                    row.disk.partial_image_bytes};
    return check_table(sector_of(row.slots, row.identifier, row.signature), geometry,
                       row.disk.reserved, {read_row, &row}, row.soc);
}

// No reader's model differs from the table as written without a finding
// whose rule names that reader.
void expect_readers_named(const checked_table& checked)
{
    unsigned named = 0;
    for_each_finding(checked, [&](const finding& each) {
        named |= static_cast<unsigned>(info(each.what).level.readers);
    });
    constexpr std::array<const char*, board_count> names = {"linux", "u-boot", "edk2", "grub"};
    for (const board which : boards) {
        const unsigned bit = 1U << static_cast<unsigned>(which);
        EXPECT_TRUE((checked.differing & bit) == 0 || (named & bit) != 0)
            << names[static_cast<std::size_t>(which)] << " differs, and no finding names it";
    }
}

void expect_row(const table_case& row)
{
    const checked_table checked = check_row(row);
    std::vector<expected> found;
    for_each_finding(checked, [&](const finding& each) {
        // A rule's row says what its findings can be about.
        EXPECT_TRUE(includes(info(each.what).about, each.at.kind)) << info(each.what).name.text();
        const auto number = each.at.kind == subject::ebr ? std::uint16_t{0} : each.at.number;
        found.push_back({each.what, number, each.at.ebr, each.other, each.sectors, each.field,
                         row.quoted ? each.at.entry : std::uint8_t{0},
                         row.quoted ? each.value : 0});
    });
    EXPECT_EQ(found, row.findings);
    expect_readers_named(checked);
    EXPECT_EQ(fails(checked, false) ? 1 : 0, row.status);
    // --strict fails on any finding, a warning alone too.
    EXPECT_EQ(fails(checked, true), !row.findings.empty());
    EXPECT_EQ(checked.check.failure.sector, row.unreadable);
    EXPECT_EQ(checked.check.failure.reason != nullptr, row.unreadable != 0);
    if (row.listed_past_slots) {
        std::vector<listed> made;
        for (std::size_t i = 0; i < checked.mbr.logical_count; ++i) {
            const logical_partition& each = checked.mbr.logicals[i];
            made.push_back(
                {each.number, each.sectors.first, each.sectors.last - each.sectors.first + 1});
        }
        for (std::size_t i = 0; i < checked.gpt.count; ++i) {
            const gpt_entry& each = checked.gpt.partitions[i].entry;
            made.push_back({checked.gpt.partitions[i].number, each.first_lba,
                            each.last_lba - each.first_lba + 1});
        }
        EXPECT_EQ(made, *row.listed_past_slots);
    }
}

void PrintTo(const table_case& row, std::ostream* out) { *out << row.name; }

std::string printed_by(void (*print)(std::FILE* out, const void* context), const void* context)
{
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    print(out, context);
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
}
