// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// ISO 9660 volumes and El Torito boot catalogs, laid out as xorriso and
// isohybrid lay them out: the slots around them, EDK2's view of the boot
// images, and catalogs that do not end, lie past the disk or count past
// their block. The wording is kept in the golden report below.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "check_rows.h"
#include "report/report.h"

namespace {

// A catalog entry: its indicator (88 bootable), media type, first
// 2048-byte block and count of 512-byte sectors; or a section header (90,
// 91) with its platform in media and its count of entries in count.
struct catalog_record {
    std::uint8_t indicator;
    std::uint8_t media;
    std::uint32_t block;
    std::uint16_t count;
};

struct iso_bytes {
    std::uint32_t volume_blocks = 983; // as xorriso wrote the test ISO
    std::uint32_t catalog_block = 33;
    std::uint32_t path_table_block = 23; // U-Boot reads the descriptors up to it
    std::vector<catalog_record> records = {
        {0x88, 0, 754, 4}, {0x91, 0xef, 0, 1}, {0x88, 0, 34, 2880}};
    std::uint8_t checksum_change = 0; // added to the validation entry after its checksum
    std::size_t descriptors = 2;      // the primary, then the boot record, then the terminator
    bool terminated = true;
};

std::vector<std::uint8_t> descriptor(std::uint8_t type)
{
    std::vector<std::uint8_t> bytes(2048);
    bytes[0] = type;
    std::copy_n("CD001", 5, bytes.begin() + 1);
    bytes[6] = 1;
    return bytes;
}

// The descriptors from byte 32768, and the catalog at its block.
std::vector<patch> iso_image(const iso_bytes& iso)
{
    std::vector<patch> patches;
    std::vector<std::uint8_t> primary = descriptor(1);
    put_le(primary, 80, iso.volume_blocks, 4);
    put_le(primary, 140, iso.path_table_block, 4);
    patches.push_back({32768, primary});
    std::vector<std::uint8_t> boot_record = descriptor(0);
    std::copy_n("EL TORITO SPECIFICATION", 23, boot_record.begin() + 7);
    put_le(boot_record, 71, iso.catalog_block, 4);
    for (std::size_t i = 1; i < iso.descriptors; ++i) {
        patches.push_back({32768 + 2048 * i, boot_record});
    }
    if (iso.terminated) {
        patches.push_back({32768 + 2048 * iso.descriptors, descriptor(255)});
    }
    std::vector<std::uint8_t> catalog(2048);
    catalog[0] = 1; // validation entry, platform 0 (x86 BIOS)
    catalog[30] = 0x55;
    catalog[31] = 0xaa;
    unsigned sum = 0;
    for (std::size_t i = 0; i < 32; i += 2) {
        sum += static_cast<unsigned>(catalog[i] | catalog[i + 1] << 8);
    }
    put_le(catalog, 28, (0x10000 - (sum & 0xffff)) & 0xffff, 2);
    catalog[28] += iso.checksum_change;
    for (std::size_t i = 0; i < iso.records.size(); ++i) {
        const catalog_record& record = iso.records[i];
        const std::size_t at = 32 * (i + 1);
        catalog[at] = record.indicator;
        catalog[at + 1] = record.media;
        if (record.indicator == 0x88) {
            put_le(catalog, at + 6, record.count, 2);
            put_le(catalog, at + 8, record.block, 4);
        } else {
            put_le(catalog, at + 2, record.count, 2);
        }
    }
    patches.push_back({std::uint64_t{iso.catalog_block} * 2048, catalog});
    return patches;
}

constexpr test_disk iso_disk = {4096}; // isohybrid pads the 983 blocks to 2 MiB
const slot_bytes holder = {0x80, 0x17, 0, 4096};
const slot_bytes uefi_holder = {0x80, 0x00, 0, 4096};
const slot_bytes esp_slot = {0, 0xef, 136, 2880};

table_case iso_row(const char* name, int status, std::vector<expected> findings,
                   std::vector<slot_bytes> slots, const iso_bytes& iso = {},
                   test_disk on = iso_disk)
{
    table_case row = {name, std::move(slots), on, status, std::move(findings)};
    row.identifier = 0x006daa74;
    row.patches = iso_image(iso);
    row.quoted = true;
    return row;
}

// The volume of 983 blocks, in sectors of 512 bytes.
constexpr sector_range volume = {0, 3931};
const expected two_images = {rule::el_torito_boot, 0, 0, 0, no_sectors, gpt_field::none, 0, 2};

iso_bytes with_uefi_count(std::uint16_t count)
{
    iso_bytes iso;
    iso.records[2].count = count;
    return iso;
}

iso_bytes with_uefi_image(std::uint32_t block, std::uint16_t count, std::uint32_t volume_blocks)
{
    iso_bytes iso;
    iso.records[2] = {0x88, 0, block, count};
    iso.volume_blocks = volume_blocks;
    return iso;
}

iso_bytes with_checksum_off_by_one()
{
    iso_bytes iso;
    iso.checksum_change = 1;
    return iso;
}

iso_bytes with_catalog_at(std::uint32_t block)
{
    iso_bytes iso;
    iso.catalog_block = block;
    return iso;
}

iso_bytes with_descriptors(std::size_t count, bool terminated)
{
    iso_bytes iso;
    iso.descriptors = count;
    iso.terminated = terminated;
    return iso;
}

iso_bytes with_section_of(std::uint16_t entries)
{
    iso_bytes iso;
    iso.records[1].count = entries;
    return iso;
}

// The UEFI image in a record of its own (EDK2 reads records 1 to 15, the
// first 512 bytes), the records between it and the header empty.
iso_bytes with_uefi_in_record(std::size_t record, std::uint32_t block)
{
    iso_bytes iso;
    iso.records.resize(record);
    iso.records[1].count = static_cast<std::uint16_t>(record - 2);
    iso.records[2] = {};
    iso.records[record - 1] = {0x88, 0, block, 2880};
    return iso;
}

constexpr std::uint64_t catalog_fault_code(catalog_fault fault)
{
    return static_cast<std::uint64_t>(fault);
}

expected catalog_bad(std::uint64_t code)
{
    return {rule::el_torito_catalog_bad, 0, 0, 0, no_sectors, gpt_field::none, 0, code};
}

const table_case iso_cases[] = {
    // isohybrid: the holder is type 17, and nothing else is used.
    iso_row("isohybrid", 0, {{rule::isohybrid, 1, 0, 0, volume}, two_images}, {holder}),
    // isohybrid --uefi and xorriso -isohybrid-gpt-basdat: a type-00 holder
    // and the EFI image's slot inside it.
    iso_row("isohybrid_uefi", 0,
            {{rule::type_zero_used, 1, 0, 0, no_sectors, gpt_field::none, 0, 4096},
             {rule::unaligned, 2, 0, 0, no_sectors, gpt_field::none, 0, 136},
             {rule::isohybrid, 1, 0, 0, volume},
             two_images},
            {uefi_holder, esp_slot}),
    // The volume's last sector is 3931: a holder one sector short is no
    // holder, and slot 1 then starts over the table.
    iso_row("holder_one_sector_short_of_the_volume", 1, {{rule::starts_at_zero, 1}, two_images},
            {{0x80, 0x17, 0, 3931}}),
    iso_row("holder_ends_on_the_volume", 0, {{rule::isohybrid, 1, 0, 0, volume}, two_images},
            {{0x80, 0x17, 0, 3932}}),
    // A slot that reaches one sector past the holder: no isohybrid layout.
    iso_row("slot_one_past_the_holder", 1,
            {{rule::starts_at_zero, 1},
             {rule::overlap, 1, 0, 2, {3900, 3999}},
             {rule::unaligned, 2, 0, 0, no_sectors, gpt_field::none, 0, 3900},
             two_images},
            {{0x80, 0x17, 0, 4000}, {0, 0x83, 3900, 101}}),
    iso_row("slot_ends_on_the_holders_last", 0,
            {{rule::unaligned, 2, 0, 0, no_sectors, gpt_field::none, 0, 3900},
             {rule::isohybrid, 1, 0, 0, volume},
             two_images},
            {{0x80, 0x17, 0, 4000}, {0, 0x83, 3900, 100}}),
    // The UEFI image at sector 136 as written, its count of 512-byte
    // sectors up to the disk's last sector, then one past it.
    iso_row("boot_image_ends_on_the_last_sector", 0,
            {{rule::isohybrid, 1, 0, 0, volume}, two_images}, {holder}, with_uefi_count(3960)),
    iso_row("boot_image_one_sector_past_the_end", 1,
            {{rule::boot_image_past_disk_end, 1, 0, 0, {136, 4096}},
             {rule::isohybrid, 1, 0, 0, volume},
             two_images},
            {holder}, with_uefi_count(3961)),
    // A count below 2 reaches the volume's end, or the disk's; a block
    // past the volume's end wraps in EDK2's 32 bits.
    iso_row("count_1_to_the_volumes_end", 0, {{rule::isohybrid, 1, 0, 0, volume}, two_images},
            {holder}, with_uefi_image(34, 1, 983)),
    iso_row("count_0_block_past_the_volume", 1,
            {{rule::boot_image_past_disk_end, 1, 0, 0, {4000, 17179873115}},
             {rule::isohybrid, 1, 0, 0, volume},
             two_images},
            {holder}, with_uefi_image(1000, 0, 983)),
    // Bad input: the catalog as EDK2 skips it, or reads it all the same.
    iso_row("catalog_checksum_wrong", 0,
            {catalog_bad(catalog_fault_code(catalog_fault::catalog_invalid)),
             {rule::isohybrid, 1, 0, 0, volume}},
            {holder}, with_checksum_off_by_one()),
    iso_row("catalog_on_the_last_block", 0, {{rule::isohybrid, 1, 0, 0, volume}, two_images},
            {holder}, with_catalog_at(1023)),
    iso_row("catalog_one_block_past_the_disk", 0,
            {catalog_bad(catalog_fault_code(catalog_fault::catalog_past_disk)),
             {rule::isohybrid, 1, 0, 0, volume}},
            {holder}, with_catalog_at(1024)),
    iso_row("sixteen_descriptors_then_the_terminator", 0,
            {{rule::isohybrid, 1, 0, 0, volume},
             {rule::el_torito_boot, 0, 0, 0, no_sectors, gpt_field::none, 0, 15}},
            {holder}, with_descriptors(15, true)),
    iso_row("descriptors_never_end", 0,
            {catalog_bad(catalog_fault_code(catalog_fault::descriptors_endless)),
             {rule::isohybrid, 1, 0, 0, volume},
             {rule::el_torito_boot, 0, 0, 0, no_sectors, gpt_field::none, 0, 15}},
            {holder}, with_descriptors(16, false)),
    // A section header in record 2 of the block's 64, counting 61 entries,
    // which the block holds, then 62, which it does not.
    iso_row("section_fills_the_block", 0, {{rule::isohybrid, 1, 0, 0, volume}, two_images},
            {holder}, with_section_of(61)),
    iso_row("section_past_the_block", 0,
            {catalog_bad(catalog_fault_code(catalog_fault::past_its_block)),
             {rule::isohybrid, 1, 0, 0, volume},
             two_images},
            {holder}, with_section_of(62)),
    iso_row("uefi_image_in_record_15", 0, {{rule::isohybrid, 1, 0, 0, volume}, two_images},
            {holder}, with_uefi_in_record(15, 34)),
    iso_row("uefi_image_in_record_16_unread", 0,
            {{rule::isohybrid, 1, 0, 0, volume},
             {rule::el_torito_boot, 0, 0, 0, no_sectors, gpt_field::none, 0, 1}},
            {holder}, with_uefi_in_record(16, 34)),
    // An entry at block 0 is no image to EDK2.
    iso_row("uefi_image_at_block_0", 0,
            {{rule::isohybrid, 1, 0, 0, volume},
             {rule::el_torito_boot, 0, 0, 0, no_sectors, gpt_field::none, 0, 1}},
            {holder}, with_uefi_in_record(3, 0)),
    // A section that says more follow, counting past the block too.
    [] {
        iso_bytes iso = with_section_of(62);
        iso.records[1].indicator = 0x90;
        return iso_row("more_sections_past_the_block", 0,
                       {catalog_bad(catalog_fault_code(catalog_fault::past_its_block)),
                        {rule::isohybrid, 1, 0, 0, volume},
                        two_images},
                       {holder}, iso);
    }(),
    // The descriptors up to the disk's last sector, and none read past it.
    iso_row("descriptors_to_the_disks_end", 0,
            {catalog_bad(catalog_fault_code(catalog_fault::catalog_past_disk))}, {},
            with_descriptors(2, false), {72}),
    // Without the MBR's signature nothing but EDK2 reads the disk.
    [] {
        table_case row =
            iso_row("plain_iso", 1, {{rule::no_signature}, two_images}, {}, {}, {3932});
        row.signature = {0, 0};
        return row;
    }(),
    // 4096-byte sectors: EDK2 reads no El Torito, the holder still holds
    // the volume's 492 sectors.
    iso_row("isohybrid_in_4096_byte_sectors", 0, {{rule::isohybrid, 1, 0, 0, {0, 491}}},
            {{0x80, 0x17, 0, 512}}, {}, {512, 4096}),
    // Overlaps with a type-00 slot, on a disk without an ISO: no error.
    [] {
        table_case row = {"overlap_with_a_type_00_slot",
                          {{0, 0x83, 2048, 4096}, {0, 0x00, 4096, 4096}},
                          disk,
                          0,
                          {{rule::type_zero_used, 2}}};
        return row;
    }(),
};

class iso : public testing::TestWithParam<table_case> {};

TEST_P(iso, status_and_findings) { expect_row(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, iso, testing::ValuesIn(iso_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

const table_case& iso_row_named(std::string_view name)
{
    return *std::find_if(std::begin(iso_cases), std::end(iso_cases),
                         [&](const table_case& row) { return row.name == name; });
}

// A reader's partitions: "number@start+size". EDK2 numbers the boot
// images by their boot entry and sizes them as its ElTorito.c does (the
// count four times over on 512-byte sectors); U-Boot numbers them from 1
// in 2048-byte blocks (the count a quarter over, in blocks).
std::string reader_view_of(const table_case& row, board which = board::edk2)
{
    const checked_table checked = check_row(row);
    const reader_view& view = view_of(checked.readers, which);
    std::string text = view.scheme == reader_scheme::cdrom ? "cdrom" : "other";
    std::array<char, 64> part{};
    for (std::size_t i = 0; i < view.count; ++i) {
        const made_partition& made = view.partitions[i];
        std::snprintf(part.data(), part.size(), " %u@%llu+%llu", made.number,
                      static_cast<unsigned long long>(made.start),
                      static_cast<unsigned long long>(made.size));
        text.append(part.data());
    }
    return text;
}

struct view_case {
    const char* row;
    const char* edk2;
    const char* u_boot = "other 1@0+4096"; // the DOS slot of the holder
};

const view_case view_cases[] = {
    {"isohybrid_uefi", "cdrom 0@3016+16 1@136+11520", "other 2@136+2880"},
    {"count_1_to_the_volumes_end", "cdrom 0@3016+16 1@136+3796"},
    {"count_0_block_past_the_volume", "cdrom 0@3016+16 1@4000+17179869116"},
    {"plain_iso", "cdrom 0@3016+16 1@136+11520", "cdrom 1@3016+4 2@136+2880"},
    // U-Boot lists bootable entries until one that is not: record 3 is
    // empty here, so the image in record 15 is not listed.
    {"uefi_image_in_record_15", "cdrom 0@3016+16 1@136+11520", "other 1@0+4096"},
    {"catalog_checksum_wrong", "other 1@0+4096"},
};

class edk2_views : public testing::TestWithParam<view_case> {};

TEST_P(edk2_views, boot_images_not_the_mbr)
{
    EXPECT_EQ(reader_view_of(iso_row_named(GetParam().row)), GetParam().edk2);
    EXPECT_EQ(reader_view_of(iso_row_named(GetParam().row), board::u_boot), GetParam().u_boot);
}

INSTANTIATE_TEST_SUITE_P(rows, edk2_views, testing::ValuesIn(view_cases),
                         [](const auto& row_info) { return std::string(row_info.param.row); });

// Catalogs of other layouts on a disk without an MBR, which U-Boot's ISO
// driver reads too: each image's platform (from the validation entry or
// the section header before it), and both readers' partitions.
struct catalog_case {
    const char* name;
    std::vector<catalog_record> records;
    test_disk on;
    const char* platforms;
    const char* edk2;
    const char* u_boot;
};

const catalog_case catalog_cases[] = {
    // The three diskettes and a hard disk whose media byte has its high
    // nibble set (EDK2 reads the low four bits, U-Boot the byte), across
    // a section of two entries and an extension record, then a last one.
    {"diskettes_and_a_hard_disk",
     {{0x88, 1, 40, 0},
      {0x90, 0xef, 0, 2},
      {0x88, 2, 50, 0},
      {0x44, 0, 0, 0},
      {0x88, 3, 60, 0},
      {0x91, 0x00, 0, 1},
      {0x88, 0x14, 70, 8}},
     {16384},
     "00 ef ef 00",
     "cdrom 0@160+9600 1@200+11520 2@240+23040 3@280+32",
     "cdrom 1@160+2400 2@200+2880 3@240+5760 4@280+0"},
    // 2048-byte sectors: EDK2 counts the count in blocks, U-Boot a quarter
    // of it.
    {"in_2048_byte_sectors",
     {{0x88, 0, 754, 4}, {0x91, 0xef, 0, 1}, {0x88, 0, 34, 2880}},
     {983, 2048},
     "00 ef",
     "cdrom 0@754+4 1@34+2880",
     "cdrom 1@754+1 2@34+720"},
    // 4096-byte sectors: neither reads El Torito.
    {"in_4096_byte_sectors",
     {{0x88, 0, 754, 4}, {0x91, 0xef, 0, 1}, {0x88, 0, 34, 2880}},
     {512, 4096},
     "",
     "other",
     "other"},
};

class catalogs : public testing::TestWithParam<catalog_case> {};

TEST_P(catalogs, read_by_edk2_and_u_boot)
{
    iso_bytes iso;
    iso.records = GetParam().records;
    iso.volume_blocks = 4096;
    table_case row = iso_row("", 1, {}, {}, iso, GetParam().on);
    row.signature = {0, 0};
    const checked_table checked = check_row(row);
    std::string platforms;
    for (std::size_t i = 0; i < checked.iso.image_count; ++i) {
        std::array<char, 4> hex{};
        std::snprintf(hex.data(), hex.size(), i == 0 ? "%02x" : " %02x",
                      checked.iso.images[i].platform);
        platforms += hex.data();
    }
    EXPECT_EQ(platforms, GetParam().platforms);
    EXPECT_EQ(checked.iso.fault, catalog_fault::none);
    EXPECT_EQ(reader_view_of(row), GetParam().edk2);
    EXPECT_EQ(reader_view_of(row, board::u_boot), GetParam().u_boot);
}

INSTANTIATE_TEST_SUITE_P(rows, catalogs, testing::ValuesIn(catalog_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// U-Boot reads the descriptors from block 16 up to the path table's
// block: at 17 it never reaches the boot record there.
TEST(u_boot_views, path_table_at_block_17_hides_the_boot_record)
{
    iso_bytes iso;
    iso.path_table_block = 18;
    table_case row = iso_row("", 1, {}, {}, iso, {3932});
    row.signature = {0, 0};
    EXPECT_EQ(reader_view_of(row, board::u_boot), "cdrom 1@3016+4 2@136+2880");
    iso.path_table_block = 17;
    row.patches = iso_image(iso);
    EXPECT_EQ(reader_view_of(row, board::u_boot), "other");
}

// A volume larger than the disk: a count below 2 reaches the disk's end.
TEST(edk2_views, count_0_volume_past_the_disk)
{
    table_case row = iso_row("", 0, {}, {holder}, with_uefi_image(34, 0, 2000));
    EXPECT_EQ(reader_view_of(row), "cdrom 0@3016+16 1@136+3960");
}

TEST(golden, isohybrid_uefi_text)
{
    EXPECT_EQ(printed([](std::FILE* out) {
                  print_report(out, check_row(iso_row_named("isohybrid_uefi")), size_source::image);
              }),
              R"report(disk: 4096 sectors of 512 bytes
disk identifier: 006daa74
part boot type      first    sectors       last partuuid
   1   80   00          0       4096       4095 006daa74-01
   2   00   ef        136       2880       3015 006daa74-02
   3   00   00          0          0          -
   4   00   00          0          0          -
iso 9660: 983 blocks of 2048 bytes, El Torito boot catalog at block 33
boot image 0: bios, media 0, block 754, 4 sectors of 512 bytes; EDK2 makes sectors 3016-3031
boot image 1: uefi, media 0, block 34, 2880 sectors of 512 bytes; EDK2 makes sectors 136-11655
reader: Linux makes 1 at 0 size 4096, 2 at 136 size 2880
reader: EDK2 makes 0 at 3016 size 16, 1 at 136 size 11520
warning: slot 1 has type 00 but size 4096: Linux makes it a partition, U-Boot, EDK2 and GRUB skip it.
warning: slot 2 starts at sector 136, not on a 1 MiB boundary (a multiple of 2048).
warning: slot 1 starts at sector 0 and holds the ISO 9660 volume (sectors 0-3931) and every other slot: the isohybrid layout, whose MBR lies in the volume's system area by design.
warning: an El Torito boot catalog at block 33: EDK2 reads it before the MBR and makes its 2 boot images and none of the MBR's partitions; UEFI firmware boots from the boot catalog, not from these MBR entries.
)report");
}

// A catalog of one image, and the disk's other findings' wording there.
TEST(golden, one_boot_image_text)
{
    const std::string report = printed([](std::FILE* out) {
        print_report(out, check_row(iso_row_named("uefi_image_in_record_16_unread")),
                     size_source::image);
    });
    EXPECT_NE(report.find("\nboot image 0: bios, media 0, block 754, 4 sectors of 512 bytes; EDK2 "
                          "makes sectors 3016-3031\nreader: EDK2 makes 0 at 3016 size 16\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\nwarning: an El Torito boot catalog at block 33: EDK2 reads it before "
                          "the MBR and makes its 1 boot image and none of the MBR's partitions; "
                          "UEFI firmware boots from the boot catalog, not from these MBR "
                          "entries.\n"),
              std::string::npos)
        << report;
}

// The boot images under "iso9660", EDK2's view of them, and a boot
// image's finding, which names no slot.
TEST(golden, boot_image_json)
{
    const std::string json = printed([](std::FILE* out) {
        print_json(out, check_row(iso_row_named("boot_image_one_sector_past_the_end")), "iso");
    });
    EXPECT_NE(json.find(R"json(
   "iso9660": {"blocks": 983, "boot_images": [{"entry": 0, "platform": "bios", "media": 0, "block": 754, "count": 4, "start": 3016, "size": 16}, {"entry": 1, "platform": "uefi", "media": 0, "block": 34, "count": 3961, "start": 136, "size": 15844}]},
   "loaders": [],
   "readers": {)json"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"json(
      "edk2": {"scheme": "cdrom", "partitions": [{"number": "0", "start": 3016, "size": 16}, {"number": "1", "start": 136, "size": 15844}]},)json"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"json(
      {
         "severity": "error",
         "slots": [],
         "readers": ["edk2"],
         "destroys": false,
         "sectors": {"first": 136, "last": 4096},
         "rule": "boot_image_past_disk_end",
         "message": "El Torito boot image 1 (block 34) ends at sector 4096, past the end of the disk (sectors 0-4095): EDK2 makes a partition of it that it cannot read whole."
      },)json"),
              std::string::npos)
        << json;
}

} // namespace
