// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of the table rules' tests: crafted sectors, chains of EBRs and
// GPTs, each with a disk size, and the status and the findings
// mkentry-check gives for them: each finding's rule, the partition, EBR
// and other partition it names and the sectors it is about. The wording
// is kept in the golden reports.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "table.h"

struct slot_bytes {
    std::uint8_t flag = 0;
    std::uint8_t type = 0;
    std::uint32_t first = 0;
    std::uint32_t size = 0;
};

// One EBR of a chain (or a Minix table): its sector and its entries, as
// mkentry writes them.
struct ebr_bytes {
    std::uint64_t sector;
    std::vector<slot_bytes> entries;
    std::array<std::uint8_t, 2> signature = {0x55, 0xaa};
};

// The disk a row is checked for.
struct test_disk {
    std::uint64_t sectors;
    std::uint32_t sector_size = 512;
    std::span<const sector_range> reserved{};
    std::uint64_t partial_image_bytes = 0;
};

// What a finding is: its rule, the partition (slot 1-4, or Linux's number
// past them; 0 for none), the EBR it is at, the partition it is named
// with, and the sectors both claim or a link points to.
struct expected {
    rule what;
    std::uint16_t part = 0;
    std::uint64_t ebr = 0;
    std::uint16_t other = 0;
    sector_range sectors = no_sectors;
    gpt_field field = gpt_field::none; // a GPT header's broken rule
    std::uint8_t entry = 0;            // the EBR's entry it names, 1-4: see quoted
    std::uint64_t value = 0;           // the number it quotes (a flag, a size): see quoted

    friend bool operator==(const expected& one, const expected& two)
    {
        return one.what == two.what && one.part == two.part && one.ebr == two.ebr &&
               one.other == two.other && one.sectors.first == two.sectors.first &&
               one.sectors.last == two.sectors.last && one.field == two.field &&
               one.entry == two.entry && one.value == two.value;
    }
};

void PrintTo(const expected& found, std::ostream* out);

// A partition Linux makes past the slots: its number, first sector and size.
struct listed {
    unsigned number;
    std::uint64_t first;
    std::uint64_t size;

    friend bool operator==(const listed&, const listed&) = default;
};

void PrintTo(const listed& part, std::ostream* out);

// Bytes of the disk from a byte offset.
struct patch {
    std::uint64_t offset;
    std::vector<std::uint8_t> bytes;
};

struct table_case {
    const char* name;
    std::vector<slot_bytes> slots; // slot 1 first; the rest stay zero
    test_disk disk;
    int status;
    std::vector<expected> findings; // in the order they are reported
    std::array<std::uint8_t, 2> signature = {0x55, 0xaa};
    std::uint32_t identifier = 0x5eed0001;
    std::vector<ebr_bytes> ebrs;  // every other sector reads as zeros
    std::uint64_t unreadable = 0; // a sector whose read fails, if not 0
    bool endless = false;         // an EBR every 4096 sectors from 34816 on, each to the next
    std::optional<std::vector<listed>> listed_past_slots; // checked where given: a GPT's too
    std::vector<patch> patches;                           // bytes laid over all else, such as a GPT
    bool quoted = false; // each finding's entry and value checked too, else taken as 0
    soc_family soc = soc_family::none; // the ROM --soc names
};

inline constexpr test_disk disk = {131072}; // 64 MiB
inline constexpr test_disk disk_4k = {16384, 4096};
inline constexpr test_disk disk_8_tib = {std::uint64_t{1} << 34};
inline constexpr sector_range loader[] = {{16, 2047}, {4096, 4099}};
inline constexpr test_disk with_loader = {131072, 512, loader};
inline constexpr test_disk ends_inside_a_sector = {2048, 512, {}, 1048676};
inline constexpr sector_range to_the_last_sector[] = {{6000, UINT64_MAX}};
inline constexpr test_disk reserved_to_the_last_sector = {131072, 512, to_the_last_sector};
inline constexpr sector_range one_sector[] = {{40000, 40000}};

inline const slot_bytes boot = {0x80, 0x0c, 2048, 32768};
inline const slot_bytes extended = {0, 0x0f, 34816, 96256};
inline const slot_bytes data5 = {0, 0x83, 2048, 32768};
inline const slot_bytes link6 = {0, 0x05, 34816, 61440};
inline const slot_bytes swap6 = {0, 0x82, 2048, 59392};
inline const ebr_bytes ebr5 = {34816, {data5, link6}};
inline const ebr_bytes ebr6 = {69632, {swap6}};

// A row of a chain: boot in slot 1 and the extended partition in slot 2
// of the 64 MiB disk, unless other slots or another disk are given.
table_case chain(const char* name, int status, std::vector<expected> findings,
                 std::vector<ebr_bytes> ebrs, std::vector<slot_bytes> slots = {boot, extended},
                 test_disk on = disk);

// A GPT as partitioning tools lay it out: the header at sector 1, 128
// entries from sector 2, and their backup at the disk's end. Its CRCs are
// taken bit by bit here, apart from the checker's.
// A unique GUID of zeros, in place of its first byte.
inline constexpr std::uint8_t no_unique_guid = 0xff;

struct gpt_partition_bytes {
    guid type;
    std::uint64_t first;
    std::uint64_t last;
    std::uint64_t attributes = 0;
    const char* name = "";
    std::uint32_t index = 0;         // in the array; 0: after the one before
    std::uint8_t unique = 0;         // the unique GUID's first byte; 0: the number
    std::u16string_view units = u""; // a name of any UTF-16 code units, in place of name
};

using header_edit = void (*)(std::vector<std::uint8_t>& header);

struct gpt_bytes {
    std::vector<gpt_partition_bytes> partitions;
    std::uint64_t sectors = 131072; // of the disk it is laid out for
    std::uint32_t sector_size = 512;
    std::uint32_t entry_count = 128;
    std::uint64_t entries_lba = 2;
    bool backup = true;
    header_edit edit = nullptr;                // a field of the primary, its CRC kept right
    header_edit damage = nullptr;              // the primary after its CRC
    header_edit edit_backup = nullptr;         // a field of the backup, its CRC kept right
    std::size_t damaged_entry_byte = 0;        // a byte of the primary array flipped, if not 0
    header_edit damage_backup = nullptr;       // the backup after its CRC
    std::size_t damaged_backup_entry_byte = 0; // a byte of the backup array flipped, if not 0
    std::size_t changed_backup_entry_byte = 0; // the same, with the backup's CRC kept right
};

inline const guid esp = guid_of("C12A7328-F81F-11D2-BA4B-00A0C93EC93B");
inline const guid linux_data = guid_of("0FC63DAF-8483-4772-8E79-3D69D8477DE4");
inline const guid disk_guid = guid_of("5EED0030-0000-4000-8000-000000000001");

// Boot, root and the rest of the 64 MiB disk, as sgdisk lays them out.
inline const std::vector<gpt_partition_bytes> three = {
    {esp, 2048, 34815, attribute_legacy_bootable, "boot"},
    {linux_data, 34816, 67583, 0, "root"},
    {linux_data, 67584, 131038}};
inline const slot_bytes protective = {0, 0xee, 1, 131071};

// A row of a GPT disk, behind a protective MBR unless other slots are given.
table_case gpt_row(const char* name, int status, std::vector<expected> findings,
                   const gpt_bytes& gpt, std::vector<slot_bytes> slots = {protective},
                   test_disk on = disk);

std::vector<patch> gpt_image(const gpt_bytes& gpt);
void put_le(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int size);
void set_u32(std::vector<std::uint8_t>& header, std::size_t at, std::uint32_t value);

// The rows of tests/check_boundary_test.cpp, for the tests of other files.
std::span<const table_case> boundary_rows();

// The table as mkentry-check reads it from a row's disk.
checked_table check_row(const table_case& row);

// A row's disk as a sector reader reads it, memory the row, and its first
// sector.
const char* read_row(const void* memory, std::uint64_t offset, std::span<std::uint8_t> out);
sector_bytes sector_of(const std::vector<slot_bytes>& slots, std::uint32_t identifier,
                       std::array<std::uint8_t, 2> signature);

// Checks a row's status, findings, unread sector and the partitions made.
void expect_row(const table_case& row);

// A failing row is named, not dumped byte by byte.
void PrintTo(const table_case& row, std::ostream* out);

// What a stream function printed.
std::string printed_by(void (*print)(std::FILE* out, const void* context), const void* context);
template <typename Print> std::string printed(Print print)
{
    return printed_by(
        [](std::FILE* out, const void* context) { (*static_cast<const Print*>(context))(out); },
        &print);
}
