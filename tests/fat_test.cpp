// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// FAT12, FAT16 and FAT32 volumes laid out here, byte by byte: the BPB's
// bounds and the type by the count of clusters one either side, roots
// with short and long names, a FAT32 root over two clusters, a chain that
// loops and one that leaves the partition, and a root past its
// partition; then the superfloppy at sector 0, and a ROM's demands on it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "check_rows.h"
#include "fat/fat.h"
#include "report/report.h"
#include "rules/message.h"

namespace {

// A volume's BPB fields, in 512-byte sectors.
struct layout {
    std::uint32_t total;
    std::uint8_t per_cluster;
    std::uint16_t reserved;
    std::uint32_t fat_sectors;
    std::uint16_t root_entries; // 0: FAT32, its root at cluster 2
};

constexpr layout fat12 = {4096, 1, 1, 12, 512};  // 4039 clusters
constexpr layout fat16 = {32768, 4, 4, 32, 512}; // 8167 clusters
constexpr layout fat32 = {70000, 1, 32, 548, 0}; // 68872 clusters
constexpr std::uint64_t partition_at = 2048;     // in 512-byte sectors

void put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int size)
{
    put_le(bytes, at, value, size);
}

std::vector<std::uint8_t> boot_sector(const layout& fat, std::uint16_t sector_bytes = 512)
{
    std::vector<std::uint8_t> boot(512, 0);
    boot[0] = 0xeb;
    boot[1] = 0x3c;
    boot[2] = 0x90;
    put(boot, 11, sector_bytes, 2);
    boot[13] = fat.per_cluster;
    put(boot, 14, fat.reserved, 2);
    boot[16] = 2;
    put(boot, 17, fat.root_entries, 2);
    put(boot, fat.total < 65536 ? 19 : 32, fat.total, fat.total < 65536 ? 2 : 4);
    boot[21] = 0xf8;
    put(boot, fat.root_entries != 0 ? 22 : 36, fat.fat_sectors, fat.root_entries != 0 ? 2 : 4);
    put(boot, 44, fat.root_entries != 0 ? 0 : 2, 4);
    boot[510] = 0x55;
    boot[511] = 0xaa;
    return boot;
}

std::uint64_t root_byte(const layout& fat, std::uint64_t at = partition_at)
{
    return (at + fat.reserved + 2 * std::uint64_t{fat.fat_sectors}) * 512;
}

// A short entry: its 11 bytes of name, its attributes.
std::vector<std::uint8_t> short_entry(const char (&name)[12], std::uint8_t attributes = 0x20)
{
    std::vector<std::uint8_t> entry(32, 0);
    for (std::size_t i = 0; i < 11; ++i) {
        entry[i] = static_cast<std::uint8_t>(name[i]);
    }
    entry[11] = attributes;
    return entry;
}

std::uint8_t checksum(const std::vector<std::uint8_t>& entry)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 11; ++i) {
        sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + entry[i]);
    }
    return sum;
}

// The LFN entries of a long name, last piece first, then its short entry.
std::vector<std::uint8_t> long_entries(std::u16string_view name, const char (&alias)[12],
                                       std::uint8_t checksum_change = 0)
{
    const std::vector<std::uint8_t> tail = short_entry(alias);
    const std::size_t pieces = (name.size() + 12) / 13;
    std::vector<std::uint8_t> out;
    constexpr std::array<std::size_t, 13> at = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (std::size_t piece = pieces; piece >= 1; --piece) {
        std::vector<std::uint8_t> entry(32, 0);
        entry[0] = static_cast<std::uint8_t>(piece | (piece == pieces ? 0x40 : 0));
        entry[11] = 0x0f;
        entry[13] = static_cast<std::uint8_t>(checksum(tail) + checksum_change);
        for (std::size_t i = 0; i < 13; ++i) {
            const std::size_t unit = (piece - 1) * 13 + i;
            const std::uint16_t value = unit < name.size()    ? name[unit]
                                        : unit == name.size() ? 0
                                                              : 0xffff;
            put(entry, at[i], value, 2);
        }
        out.insert(out.end(), entry.begin(), entry.end());
    }
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// A disk of patches over zeros.
struct fat_disk {
    std::uint64_t sectors = 262144;
    std::vector<patch> patches;
};

const char* read_patches(const void* memory, std::uint64_t offset, std::span<std::uint8_t> out)
{
    const auto& disk = *static_cast<const fat_disk*>(memory);
    std::fill(out.begin(), out.end(), 0);
    for (const patch& each : disk.patches) {
        for (std::size_t i = 0; i < each.bytes.size(); ++i) {
            if (each.offset + i >= offset && each.offset + i < offset + out.size()) {
                out[static_cast<std::size_t>(each.offset + i - offset)] = each.bytes[i];
            }
        }
    }
    return nullptr;
}

check_context context_of(const fat_disk& disk)
{
    check_context check;
    check.disk = {geometry_problem::none, 512, disk.sectors, 0};
    check.reader = {read_patches, &disk};
    return check;
}

struct lookup_case {
    const char* name;
    layout fat;
    std::vector<std::uint8_t> root;
    std::string file;
    bool found;
    std::uint64_t partition_sectors = 70000;
};

std::vector<std::uint8_t> joined(std::vector<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

const std::vector<std::uint8_t> pi_root =
    joined({short_entry("BOOT       ", 0x08), short_entry("BOOTCODEBIN"),
            long_entries(u"start.elf", "START   ELF"), short_entry("START4  ELF", 0x10)});

const lookup_case lookup_cases[] = {
    {"fat12_short_name", fat12, pi_root, "bootcode.bin", true},
    {"fat16_short_name", fat16, pi_root, "BOOTCODE.BIN", true},
    {"fat32_short_name", fat32, pi_root, "bootcode.bin", true},
    {"fat32_long_name_any_case", fat32, pi_root, "Start.ELF", true},
    {"a_directory_is_no_file", fat16, pi_root, "start4.elf", false},
    {"the_volume_label_is_no_file", fat16, pi_root, "boot", false},
    {"missing_file", fat12, pi_root, "MLO", false},
    {"base_of_9_letters", fat12, pi_root, "bootcodes.bin", false},
    {"extension_of_4_letters", fat12, pi_root, "bootcode.bins", false},
    {"no_extension", fat12, short_entry("MLO        "), "mlo", true},
    {"long_name_of_two_pieces", fat16, long_entries(u"bcm2710-rpi-3-b.dtb", "BCM271~1DTB"),
     "BCM2710-RPI-3-B.DTB", true},
    {"long_name_a_unit_short", fat16, long_entries(u"bcm2710-rpi-3-b.dtb", "BCM271~1DTB"),
     "bcm2710-rpi-3-b.dt", false},
    {"long_name_checksum_wrong", fat16, long_entries(u"bootcode.bin.old", "BOOTCO~1OLD", 1),
     "bootcode.bin.old", false},
    {"alias_of_a_long_name", fat16, long_entries(u"bootcode.bin.old", "BOOTCO~1OLD"),
     "bootco~1.old", true},
    {"deleted_entry", fat16, joined({{0xe5}, std::vector<std::uint8_t>(31, 0x20), pi_root}),
     "bootcode.bin", true},
    {"after_the_end_marker", fat16, joined({std::vector<std::uint8_t>(32, 0), pi_root}),
     "bootcode.bin", false},
    // The root's first sector is the partition's last one, or one past it.
    {"root_in_the_last_sector", fat16, pi_root, "bootcode.bin", true, 4 + 64 + 1},
    {"root_past_its_partition", fat16, pi_root, "bootcode.bin", false, 4 + 64},
    {"root_a_sector_past_its_partition", fat16, pi_root, "bootcode.bin", false, 4 + 64 - 1},
    // 20 pieces of 13 units: the longest name, 255 units.
    {"long_name_of_20_pieces", fat16, long_entries(std::u16string(255, u'a'), "AAAAAA~1   "),
     std::string(255, 'A').c_str(), true},
};

void PrintTo(const lookup_case& row, std::ostream* out) { *out << row.name; }

class lookup : public testing::TestWithParam<lookup_case> {};

fat_disk disk_of(const layout& fat, const std::vector<std::uint8_t>& root,
                 std::uint64_t at = partition_at)
{
    fat_disk disk;
    disk.patches.push_back({at * 512, boot_sector(fat)});
    disk.patches.push_back({root_byte(fat, at), root});
    return disk;
}

TEST_P(lookup, finds_a_file_in_the_root)
{
    const lookup_case& row = GetParam();
    const fat_disk disk = disk_of(row.fat, row.root);
    check_context check = context_of(disk);
    fat_volume volume{};
    ASSERT_TRUE(read_fat(check, sectors_from(partition_at, row.partition_sectors), volume));
    EXPECT_EQ(fat_has_file(check, volume, row.file), row.found);
    EXPECT_EQ(check.failure.reason, nullptr);
}

INSTANTIATE_TEST_SUITE_P(rows, lookup, testing::ValuesIn(lookup_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// A FAT32 root over the chain that FAT entry 2 starts: MLO in its second
// cluster, 512 bytes, 16 entries each.
struct chain_case {
    const char* name;
    std::vector<std::uint32_t> fat; // entries 2, 3, ...
    bool found;
};

const chain_case chain_cases[] = {
    {"two_clusters", {3, 0x0fffffff}, true},
    {"the_first_only", {0x0ffffff8}, false},
    {"upper_bits_ignored", {0xf0000003, 0x0fffffff}, true},
    {"loops_at_once", {2}, false},
    {"loops_back", {3, 2}, true},
    {"last_cluster_of_the_volume", {68873}, true},
    {"past_the_last_cluster", {68874}, false},
};

void PrintTo(const chain_case& row, std::ostream* out) { *out << row.name; }

class chain : public testing::TestWithParam<chain_case> {};

TEST_P(chain, is_followed_to_its_end)
{
    const chain_case& row = GetParam();
    std::vector<std::uint8_t> first;
    for (int i = 0; i < 16; ++i) {
        const std::vector<std::uint8_t> entry = short_entry("README  TXT");
        first.insert(first.end(), entry.begin(), entry.end());
    }
    fat_disk disk = disk_of(fat32, first);
    std::vector<std::uint8_t> fat(8 + 4 * row.fat.size(), 0);
    for (std::size_t i = 0; i < row.fat.size(); ++i) {
        put(fat, 8 + 4 * i, row.fat[i], 4);
    }
    disk.patches.push_back({(partition_at + fat32.reserved) * 512, fat});
    disk.patches.push_back({root_byte(fat32) + 512, short_entry("MLO        ")});
    // The volume's last cluster, and the sector past it, the partition's last.
    disk.patches.push_back({(partition_at + 69999) * 512, short_entry("MLO        ")});
    disk.patches.push_back({(partition_at + 70000) * 512, short_entry("MLO        ")});
    check_context check = context_of(disk);
    fat_volume volume{};
    ASSERT_TRUE(read_fat(check, sectors_from(partition_at, 70001), volume));
    EXPECT_EQ(volume.kind, fat_kind::fat32);
    EXPECT_EQ(fat_has_file(check, volume, "MLO"), row.found);
}

INSTANTIATE_TEST_SUITE_P(rows, chain, testing::ValuesIn(chain_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// A boot sector, one field changed, and the type it reads as.
struct bpb_case {
    const char* name;
    layout fat;
    std::size_t at; // the field changed
    std::uint32_t value;
    int size; // its bytes; 0: none changed
    fat_kind kind;
};

// Clusters: FAT12's 4084 and 4085 (57 sectors before them); FAT16's
// 65524 and 65525 (100 before them); FAT32's the same (1128 before them).
constexpr layout fat12_last = {4141, 1, 1, 12, 512};
constexpr layout fat16_first = {4142, 1, 1, 12, 512};
constexpr layout fat16_last = {65624, 1, 4, 32, 512};
constexpr layout fat16_one_more = {65625, 1, 4, 32, 512};
constexpr layout fat32_short = {66652, 1, 32, 548, 0};
constexpr layout fat32_first = {66653, 1, 32, 548, 0};
constexpr fat_kind none = fat_kind::none;

const bpb_case bpb_cases[] = {
    {"fat12", fat12, 0, 0, 0, fat_kind::fat12},
    {"fat12_last_cluster_count", fat12_last, 0, 0, 0, fat_kind::fat12},
    {"fat16_first_cluster_count", fat16_first, 0, 0, 0, fat_kind::fat16},
    {"fat16_last_cluster_count", fat16_last, 0, 0, 0, fat_kind::fat16},
    {"fat32_count_with_a_fixed_root", fat16_one_more, 0, 0, 0, none},
    {"fat16_count_without_a_fixed_root", fat32_short, 0, 0, 0, none},
    {"fat32_first_cluster_count", fat32_first, 0, 0, 0, fat_kind::fat32},
    {"fat32_root_at_cluster_1", fat32, 44, 1, 4, none},
    {"fat32_root_at_its_last_cluster", fat32, 44, 68873, 4, fat_kind::fat32},
    {"fat32_root_past_its_last_cluster", fat32, 44, 68874, 4, none},
    {"jump_e9", fat16, 0, 0xe9, 1, fat_kind::fat16},
    {"no_jump", fat16, 0, 0x00, 1, none},
    {"no_55_aa", fat16, 510, 0x00, 1, none},
    {"sector_of_256_bytes", fat16, 11, 256, 2, none},
    {"sector_of_768_bytes", fat16, 11, 768, 2, none},
    {"sector_of_4096_bytes", fat16, 11, 4096, 2, fat_kind::fat16},
    {"sector_of_8192_bytes", fat16, 11, 8192, 2, none},
    {"cluster_of_128_sectors", fat16, 13, 128, 1, fat_kind::fat12},
    {"cluster_of_3_sectors", fat16, 13, 3, 1, none},
    {"cluster_of_0_sectors", fat16, 13, 0, 1, none},
    {"no_reserved_sector", fat16, 14, 0, 2, none},
    {"no_fat", fat16, 16, 0, 1, none},
    {"fat_of_0_sectors", fat16, 22, 0, 2, none},
    {"media_f0", fat16, 21, 0xf0, 1, fat_kind::fat16},
    {"media_f7", fat16, 21, 0xf7, 1, none},
    {"all_but_the_clusters_metadata", fat16, 19, 100, 2, none},
    {"one_cluster", fat16, 19, 104, 2, fat_kind::fat12},
};

void PrintTo(const bpb_case& row, std::ostream* out) { *out << row.name; }

class bpb : public testing::TestWithParam<bpb_case> {};

TEST_P(bpb, decides_the_type_by_clusters)
{
    const bpb_case& row = GetParam();
    std::vector<std::uint8_t> boot = boot_sector(row.fat);
    if (row.size != 0) {
        put(boot, row.at, row.value, row.size);
    }
    fat_volume volume{};
    EXPECT_EQ(read_boot_sector(std::span<const std::uint8_t, 512>(boot.data(), 512), volume),
              row.kind);
}

INSTANTIATE_TEST_SUITE_P(rows, bpb, testing::ValuesIn(bpb_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// A card for a ROM: its slots, the FAT32 of slot 1 or a FAT16 at sector
// 0 (no slots), its root, and the ROM's findings (the others' rules are
// the tables' tests').
struct rom_case {
    const char* name;
    soc_family soc;
    std::vector<slot_bytes> slots; // none: a superfloppy
    std::vector<std::uint8_t> root;
    int status;
    std::vector<expected> findings;
    std::optional<gpt_bytes> gpt = std::nullopt; // laid over the disk, behind the slots
};

const slot_bytes pi_boot = {0x80, 0x0c, 2048, 70000};
const std::vector<std::uint8_t> mlo_root = short_entry("MLO        ");
constexpr auto rpi = soc_family::rpi;
constexpr auto am335x = soc_family::am335x;
constexpr auto bootcode = static_cast<std::uint64_t>(rom_file::bootcode_bin);
constexpr auto start_elf = static_cast<std::uint64_t>(rom_file::start_elf);
constexpr auto mlo = static_cast<std::uint64_t>(rom_file::mlo);
// The FAT32's partition in a GPT, its array at sector 2 or one past it.
const gpt_bytes pi_gpt = {{{esp, 2048, 72047}}, 262144};
const gpt_bytes array_at_3 = {{{esp, 2048, 72047}}, 262144, 512, 128, 3};
const slot_bytes whole_disk = {0, 0xee, 1, 262143};

// The FAT32 in the GPT's entry of an index, the entries before it
// partitions of 100 sectors that hold no file system.
gpt_bytes fat_at_entry(std::uint32_t index)
{
    gpt_bytes gpt = {{}, 262144};
    for (std::uint32_t i = 0; i < index; ++i) {
        gpt.partitions.push_back({linux_data, 80000 + 100 * i, 80099 + 100 * i, 0, "", i + 1});
    }
    gpt.partitions.push_back({esp, 2048, 72047, 0, "", index + 1});
    return gpt;
}
const slot_bytes gpt_itself = {0, 0xee, 1, 2047};

const rom_case rom_cases[] = {
    {"rpi_fat32", rpi, {pi_boot}, pi_root, 0, {}},
    {"rpi_type_0b", rpi, {{0, 0x0b, 2048, 70000}}, pi_root, 0, {}},
    {"rpi_type_0e",
     rpi,
     {{0, 0x0e, 2048, 70000}},
     pi_root,
     0,
     {{rule::rom_fat_type_unverified, 1, 0, 0, no_sectors, gpt_field::none, 0, 0x0e}}},
    {"rpi_type_ef",
     rpi,
     {{0, 0xef, 2048, 70000}},
     pi_root,
     1,
     {{rule::rom_not_fat_type, 1, 0, 0, no_sectors, gpt_field::none, 0, 0xef}}},
    {"rpi_type_1c",
     rpi,
     {{0, 0x1c, 2048, 70000}},
     pi_root,
     1,
     {{rule::rom_not_fat_type, 1, 0, 0, no_sectors, gpt_field::none, 0, 0x1c}}},
    {"rpi_fat_in_slot_2",
     rpi,
     {{}, pi_boot},
     pi_root,
     1,
     {{rule::rom_not_fat_type, 1, 0, 0, no_sectors, gpt_field::none, 0, 0}}},
    {"rpi_no_start_elf",
     rpi,
     {pi_boot},
     short_entry("BOOTCODEBIN"),
     1,
     {{rule::rom_file_missing, 1, 0, 0, no_sectors, gpt_field::none, 0, start_elf}}},
    {"rpi_no_file_system",
     rpi,
     {{0, 0x0c, 4096, 70000}},
     pi_root,
     1,
     {{rule::rom_no_fat_file_system, 1, 0, 0, no_sectors, gpt_field::none, 0, bootcode}}},
    {"am335x_one_active", am335x, {pi_boot, {0, 0x83, 73728, 4096}}, mlo_root, 0, {}},
    {"am335x_none_active",
     am335x,
     {{0, 0x0c, 2048, 70000}},
     mlo_root,
     1,
     {{rule::rom_no_active_fat}}},
    {"am335x_active_linux",
     am335x,
     {{0, 0x0c, 2048, 70000}, {0x80, 0x83, 73728, 4096}},
     mlo_root,
     1,
     {{rule::rom_no_active_fat}}},
    {"am335x_two_active",
     am335x,
     {pi_boot, {0x80, 0x06, 73728, 4096}},
     mlo_root,
     1,
     {{rule::rom_several_active, 2, 0, 1}}},
    {"am335x_no_mlo",
     am335x,
     {pi_boot},
     pi_root,
     1,
     {{rule::rom_file_missing, 1, 0, 0, no_sectors, gpt_field::none, 0, mlo}}},
    {"am335x_superfloppy", am335x, {}, mlo_root, 0, {}},
    {"am335x_superfloppy_no_mlo",
     am335x,
     {},
     pi_root,
     1,
     {{rule::rom_file_missing, 0, 0, 0, no_sectors, gpt_field::none, 0, mlo}}},
    {"rpi4_superfloppy", soc_family::rpi4, {}, short_entry("START4  ELF"), 0, {}},
    {"superfloppy_without_soc", soc_family::none, {}, pi_root, 0, {}},
    {"rpi_gpt_only", rpi, {whole_disk}, pi_root, 1, {{rule::rom_needs_mbr}}, pi_gpt},
    {"rpi_hybrid", rpi, {pi_boot, gpt_itself}, pi_root, 0, {}, pi_gpt},
    {"rpi_hybrid_a_sector_short",
     rpi,
     {{0x80, 0x0c, 2048, 69999}, gpt_itself},
     pi_root,
     1,
     {{rule::rom_hybrid_mismatch, 1, 0, 0, {2048, 72046}}},
     pi_gpt},
    {"rpi4_gpt", soc_family::rpi4, {whole_disk}, short_entry("START4  ELF"), 0, {}, pi_gpt},
    {"rpi4_gpt_without_start4",
     soc_family::rpi4,
     {whole_disk},
     pi_root,
     1,
     {{rule::rom_file_missing, 1, 0, 0, no_sectors, gpt_field::none, 0, 2}},
     pi_gpt},
    {"rpi4_fat_in_gpt_entry_8",
     soc_family::rpi4,
     {whole_disk},
     short_entry("START4  ELF"),
     0,
     {},
     fat_at_entry(7)},
    {"rpi4_fat_in_gpt_entry_9",
     soc_family::rpi4,
     {whole_disk},
     short_entry("START4  ELF"),
     1,
     {{rule::rom_no_fat_partition, 0, 0, 0, no_sectors, gpt_field::none, 0, 2}},
     fat_at_entry(8)},
    {"rpi4_no_fat",
     soc_family::rpi4,
     {{0, 0x0c, 4096, 70000}},
     pi_root,
     1,
     {{rule::rom_no_fat_partition, 0, 0, 0, no_sectors, gpt_field::none, 0, 2}}},
    {"amlogic_gpt",
     soc_family::amlogic,
     {whole_disk},
     pi_root,
     1,
     {{rule::rom_gpt_at_loader, 0, 0, 0, {1, 1}}, {rule::rom_no_loader}},
     pi_gpt},
    // Neither card holds the loader itself.
    {"amlogic_mbr", soc_family::amlogic, {pi_boot}, pi_root, 1, {{rule::rom_no_loader}}},
    {"imx6_array_at_2",
     soc_family::imx6,
     {whole_disk},
     pi_root,
     1,
     {{rule::rom_array_at_ivt, 0, 0, 0, {2, 33}}, {rule::rom_no_loader}},
     pi_gpt},
    {"imx6_array_at_3",
     soc_family::imx6,
     {whole_disk},
     pi_root,
     1,
     {{rule::rom_no_loader}},
     array_at_3},
};

void PrintTo(const rom_case& row, std::ostream* out) { *out << row.name; }

class rom : public testing::TestWithParam<rom_case> {};

TEST_P(rom, demands_its_table_and_files)
{
    const rom_case& row = GetParam();
    const bool superfloppy = row.slots.empty();
    fat_disk disk = superfloppy ? disk_of(fat16, row.root, 0) : disk_of(fat32, row.root);
    if (row.gpt) {
        const std::vector<patch> gpt = gpt_image(*row.gpt);
        disk.patches.insert(disk.patches.end(), gpt.begin(), gpt.end());
    }
    sector_bytes first{};
    if (superfloppy) {
        std::copy_n(disk.patches[0].bytes.begin(), first.size(), first.begin());
    } else {
        first = sector_of(row.slots, 0x5eed0001, {0x55, 0xaa});
    }
    const checked_table checked = check_table(first, {geometry_problem::none, 512, disk.sectors, 0},
                                              {}, {read_patches, &disk}, row.soc);
    EXPECT_EQ(checked.superfloppy.kind, superfloppy ? fat_kind::fat16 : fat_kind::none);
    std::vector<expected> found;
    for_each_finding(checked, [&](const finding& each) {
        EXPECT_TRUE(includes(info(each.what).about, each.at.kind)) << info(each.what).name.text();
        if (each.what >= first_soc_rule) {
            found.push_back({each.what, each.at.number, 0, each.other, each.sectors, each.field, 0,
                             each.value});
        }
    });
    EXPECT_EQ(found, row.findings);
    // The other rules' errors are the tables' tests': here a GPT's
    // warnings at most.
    EXPECT_EQ(checked.check.findings.errors != 0 ? 1 : 0, row.status);
    // A superfloppy's boot sector draws no finding of the slots' rules.
    EXPECT_TRUE(!superfloppy || checked.check.findings.count == found.size());
}

INSTANTIATE_TEST_SUITE_P(rows, rom, testing::ValuesIn(rom_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// A FAT boot sector whose bytes at slot 1 read as an entry with a bad
// boot flag: Linux, U-Boot and GRUB refuse the table; EDK2, which looks at
// no boot flag, makes a partition of it.
TEST(superfloppy, read_as_an_mbr_by_edk2)
{
    fat_disk disk = disk_of(fat16, pi_root, 0);
    std::vector<std::uint8_t>& boot = disk.patches[0].bytes;
    const std::vector<std::uint8_t> slot = {0x41, 0, 0, 0, 0x83, 0, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0};
    std::copy(slot.begin(), slot.end(), boot.begin() + 446);
    sector_bytes first{};
    std::copy_n(boot.begin(), first.size(), first.begin());
    const checked_table checked = check_table(first, {geometry_problem::none, 512, disk.sectors, 0},
                                              {}, {read_patches, &disk});
    EXPECT_EQ(checked.superfloppy.kind, fat_kind::fat16);
    ASSERT_EQ(checked.check.findings.count, 1U);
    const finding& found = checked.check.findings.kept[0];
    EXPECT_EQ(found.what, rule::superfloppy_read_as_mbr);
    EXPECT_EQ(found.value, 4U);
    EXPECT_EQ(printed([&](std::FILE* out) { print_message(out, found); }),
              "sector 0 is a FAT boot sector and no partition table, but EDK2 read the boot "
              "sector's bytes where the slots lie as partitions.");
}

// A FAT boot sector at sector 0 with slots that form a table (boot flags
// of 00 and 80, a slot used) is an MBR, as Linux reads it.
TEST(superfloppy, not_with_a_table_of_its_own)
{
    fat_disk disk = disk_of(fat16, pi_root, 0);
    std::vector<std::uint8_t>& boot = disk.patches[0].bytes;
    const std::vector<std::uint8_t> slot = {0x80, 0, 0, 0, 0x0c, 0, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0};
    std::copy(slot.begin(), slot.end(), boot.begin() + 446);
    sector_bytes first{};
    std::copy_n(boot.begin(), first.size(), first.begin());
    const checked_table checked = check_table(first, {geometry_problem::none, 512, disk.sectors, 0},
                                              {}, {read_patches, &disk});
    EXPECT_EQ(checked.superfloppy.kind, fat_kind::none);
    EXPECT_EQ(checked.mbr.slots[0].lba_begin, 2048U);
}

// Every family's key reads back as the family it names.
TEST(soc, keys_read_back)
{
    const std::array<std::pair<const char*, soc_family>, 8> families = {{
        {"allwinner", soc_family::allwinner},
        {"rockchip", soc_family::rockchip},
        {"imx6", soc_family::imx6},
        {"imx8m", soc_family::imx8m},
        {"am335x", soc_family::am335x},
        {"rpi", soc_family::rpi},
        {"rpi4", soc_family::rpi4},
        {"amlogic", soc_family::amlogic},
    }};
    for (const auto& [key, family] : families) {
        soc_family read = soc_family::none;
        EXPECT_TRUE(parse_soc(key, read)) << key;
        EXPECT_EQ(read, family) << key;
        EXPECT_EQ(soc_key(family), key);
    }
    soc_family read = soc_family::none;
    EXPECT_FALSE(parse_soc("rpi5", read));
    EXPECT_FALSE(parse_soc("", read));
    EXPECT_EQ(soc_key(soc_family::none), "none");
}

} // namespace
