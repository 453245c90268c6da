// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules of a FAT superfloppy and of what a boot ROM demands of the
// card. A ROM finding quotes the family in wanted (as soc_family), and a
// file in value (as rom_file).
#include "rules/message.h"
#include "soc/soc.h"
#include "soc/soc_rules.h"

namespace {

constexpr reader rom = reader::rom;

void print_rom(std::FILE* out, const finding& found) { std::fputs(rom_name(found.wanted), out); }

// The readers of a finding's value, as a set of reader bits, in words.
void print_reader_names(std::FILE* out, std::uint64_t readers)
{
    constexpr std::array<const char*, 4> names = {"Linux", "U-Boot", "EDK2", "GRUB"};
    const char* separator = "";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if ((readers >> i & 1U) != 0) {
            std::fprintf(out, "%s%s", separator, names[i]);
            separator = " and ";
        }
    }
    if (*separator == '\0') {
        std::fputs("a reader", out);
    }
}

// Where each family's ROM reads its first stage, as soc_family numbers it.
const char* rom_places(std::uint64_t soc)
{
    constexpr std::array<const char*, 9> places = {
        "",
        "sectors 16, 256 and 512",
        "sector 64",
        "byte 1024",
        "bytes 32768 and 33792",
        "sectors 0, 256, 512 and 768",
        "",
        "",
        "sector 1",
    };
    if (soc >= places.size()) {
        return "";
    }
    // cppcheck-suppress CastIntegerToAddressAtReturn ; a table of texts
    return places[static_cast<std::size_t>(soc)];
}

} // namespace

// clang-format off
constexpr std::array<rule_info, soc_rule_count> soc_rules = {{
    {rule::superfloppy_read_as_mbr, "superfloppy_read_as_mbr", error_for(every_reader),
     subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fputs("sector 0 is a FAT boot sector and no partition table, but ", out);
         print_reader_names(out, found.value);
         std::fputs(" read the boot sector's bytes where the slots lie as partitions", out);
     }},
    {rule::rom_needs_mbr, "rom_needs_mbr", error_for(rom), subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fputs("the MBR is protective only: ", out);
         print_rom(out, found);
         std::fputs(" reads only the MBR, and finds no FAT partition in it", out);
     }},
    {rule::rom_hybrid_mismatch, "rom_hybrid_mismatch", error_for(rom), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fputs(" (sectors ", out);
         print_range(out, found.sectors);
         std::fputs(") of the hybrid MBR is no partition of the GPT: ", out);
         print_rom(out, found);
         std::fputs(" reads only the MBR, and other sectors than Linux mounts", out);
     }},
    {rule::rom_not_fat_type, "rom_not_fat_type", error_for(rom), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " is of type %02x: ", static_cast<unsigned>(found.value & 0xffU));
         print_rom(out, found);
         std::fputs(" loads its files only from a first slot of type 0b or 0c", out);
     }},
    {rule::rom_no_fat_file_system, "rom_no_fat_file_system", error_for(rom),
     subject::slot | subject::gpt_partition,
     [](std::FILE* out, const finding& found) {
         std::fputs(" holds no FAT file system: ", out);
         print_rom(out, found);
         std::fprintf(out, " loads %s from it", rom_file_name(found.value));
     }},
    {rule::rom_no_fat_partition, "rom_no_fat_partition", error_for(rom), subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fputs("no partition holds a FAT file system: ", out);
         print_rom(out, found);
         std::fprintf(out, " loads %s from the first that does", rom_file_name(found.value));
     }},
    {rule::rom_file_missing, "rom_file_missing", error_for(rom),
     subject::disk | subject::slot | subject::gpt_partition,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out,
                      found.at.kind == subject::disk
                          ? "the FAT file system at sector 0 holds no file %s in its root directory: "
                          : " holds no file %s in the root directory of its FAT file system: ",
                      rom_file_name(found.value));
         print_rom(out, found);
         std::fputs(" loads it from there", out);
     }},
    {rule::rom_no_active_fat, "rom_no_active_fat", error_for(rom), subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fputs("no slot is an active FAT12, FAT16 or FAT32 partition, and no MLO lies in "
                    "the raw sectors: ", out);
         print_rom(out, found);
         std::fputs(" loads MLO from the root directory of the one active FAT partition of the "
                    "MBR", out);
     }},
    {rule::rom_several_active, "rom_several_active", error_for(rom), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fputs(" is an active FAT partition as ", out);
         print_part(out, found.other);
         std::fputs(" is: ", out);
         print_rom(out, found);
         std::fputs(" boots from no FAT partition when more than one is active", out);
     }},
    {rule::rom_gpt_at_loader, "rom_gpt_at_loader", error_for(rom), subject::gpt_structure,
     [](std::FILE* out, const finding& found) {
         std::fputs("the primary GPT header lies in sector 1, where ", out);
         print_rom(out, found);
         std::fputs(" reads its loader: a card for it takes an MBR, whose entries the loader "
                    "leaves alone", out);
     }},
    {rule::rom_array_at_ivt, "rom_array_at_ivt", error_for(rom), subject::gpt_structure,
     [](std::FILE* out, const finding& found) {
         std::fputs("the primary GPT entry array (sectors ", out);
         print_range(out, found.sectors);
         std::fputs(") lies over byte 1024, where ", out);
         print_rom(out, found);
         std::fputs(" reads the loader's IVT: the array must move past the loader, as sgdisk -j "
                    "or genimage's gpt-location moves it", out);
     }},
    {rule::rom_no_loader, "rom_no_loader", error_for(rom), subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fputs("no first-stage loader lies where ", out);
         print_rom(out, found);
         std::fprintf(out, " looks for one (%s): the board does not start", rom_places(found.wanted));
     }},
    {rule::rom_fat_type_unverified, "rom_fat_type_unverified", warning_for(rom), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " is of type %02x: ", static_cast<unsigned>(found.value & 0xffU));
         print_rom(out, found);
         std::fputs(" is known to load its files from a first slot of type 0b or 0c; this FAT "
                    "type is not verified to work", out);
     }},
}};
// clang-format on
static_assert(rows_follow(soc_rules, first_soc_rule));
