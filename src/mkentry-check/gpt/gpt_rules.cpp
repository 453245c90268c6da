// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules of a GPT disk: its MBR (protective, or hybrid for a ROM that
// reads only the MBR), its two headers and their arrays, and its entries,
// each as Linux, U-Boot, EDK2 and GRUB read them, and what makes EDK2
// write.
#include <cinttypes>

#include "gpt/gpt_rules.h"
#include "rules/message.h"

namespace {

constexpr reader linux_kernel = reader::linux_kernel;
constexpr reader u_boot = reader::u_boot;
constexpr reader edk2 = reader::edk2;
constexpr subject header_or_array = subject::gpt_structure;

// What a header's broken rule is, with the values it quotes.
void print_field(std::FILE* out, const finding& found)
{
    const std::uint64_t value = found.value;
    const std::uint64_t wanted = found.wanted;
    switch (found.field) {
    case gpt_field::signature:
        std::fputs("no EFI PART signature", out);
        break;
    case gpt_field::header_size:
        std::fprintf(out, "header size %" PRIu64 ", not 92 to the sector size", value);
        break;
    case gpt_field::header_crc:
        std::fputs("the header's CRC is wrong", out);
        break;
    case gpt_field::my_lba:
        std::fprintf(out, "its own LBA is %" PRIu64 ", not %" PRIu64, value, wanted);
        break;
    case gpt_field::usable_range:
        std::fprintf(out, "first usable sector %" PRIu64 " after the last, %" PRIu64, value,
                     wanted);
        break;
    case gpt_field::last_usable:
        std::fprintf(out,
                     "last usable sector %" PRIu64 " past the disk's last, %" PRIu64
                     " (an image shorter than its GPT says)",
                     value, wanted);
        break;
    case gpt_field::entry_length:
        std::fprintf(out, "entry size %" PRIu64 ", not 128", value);
        break;
    case gpt_field::entry_count:
        std::fputs("an entry count of 0", out);
        break;
    case gpt_field::array_size:
        std::fprintf(out,
                     "an entry array of %" PRIu64 " bytes, over the 4 MiB that Linux on amd64 "
                     "and on arm64 with 4 KiB pages reads (armhf reads up to 8 MiB)",
                     value);
        break;
    case gpt_field::array_place:
        std::fprintf(out, "its entry array at sector %" PRIu64 " runs past the disk", value);
        break;
    case gpt_field::array_crc:
        std::fputs("the entry array's CRC is wrong", out);
        break;
    case gpt_field::alternate_lba:
        std::fprintf(out,
                     "the primary's alternate LBA, %" PRIu64
                     ", lies past the disk's last sector, %" PRIu64,
                     value, wanted);
        break;
    case gpt_field::none:
        break;
    }
}

// What each reader makes of a disk whose primary is invalid, as the
// models made it.
void print_primary_outcome(std::FILE* out, const finding& found)
{
    std::fputs(": Linux makes no partition at all", out);
    std::fputs((found.other & u_boot_makes_some) != 0 ? ", U-Boot makes its partitions"
                                                      : ", U-Boot makes none",
               out);
    if (!is_empty(found.bounds)) {
        std::fputs(", EDK2 takes the backup and writes a new primary header and entry array over "
                   "sectors ",
                   out);
        print_range(out, found.bounds);
    } else {
        std::fputs((found.other & edk2_makes_some) != 0 ? ", EDK2 makes its partitions"
                                                        : ", EDK2 makes none",
                   out);
    }
    if (found.field == gpt_field::array_crc) {
        std::fprintf(out,
                     ", GRUB checks no CRC and makes %" PRIu64 " partitions of the broken "
                     "entries",
                     found.value);
    } else {
        std::fputs((found.other & grub_makes_some) != 0 ? ", GRUB makes the primary's partitions"
                                                        : ", GRUB makes none",
                   out);
    }
    if ((found.other & array_holds_no_entries) != 0) {
        std::fputs("; no entry of the array lies in the usable sectors: something other than "
                   "GPT entries was written over them",
                   out);
    }
}

} // namespace

// clang-format off
constexpr std::array<rule_info, gpt_rule_count> gpt_rules = {{
    {rule::ee_not_at_sector_1, "ee_not_at_sector_1", error_for(linux_kernel | u_boot | edk2),
     subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " has type ee but starts at sector %" PRIu64 ", not 1: Linux and EDK2 "
                      "read no GPT, U-Boot makes the ee entry DOS partition 1 over the disk",
                      found.value);
     }},
    {rule::gpt_primary_invalid, "gpt_primary_invalid", error_for(every_reader),
     header_or_array,
     [](std::FILE* out, const finding& found) {
         std::fputs("the primary GPT header at sector 1: ", out);
         print_field(out, found);
         print_primary_outcome(out, found);
     }},
    {rule::gpt_backup_invalid, "gpt_backup_invalid", error_for(edk2), header_or_array,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "the backup GPT header at sector %" PRIu64 ": ", found.sectors.first);
         print_field(out, found);
         std::fputs(found.sectors.first == 0
                        ? ": EDK2 writes a new backup header over the protective MBR at sector "
                          "0, Linux warns"
                        : ": EDK2 writes a new backup there, Linux warns", out);
     }},
    {rule::gpt_sector_size, "gpt_sector_size", error_for(every_reader),
     subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "the GPT is laid out for %" PRIu64 "-byte sectors (its header at byte "
                      "%" PRIu64 "), not for the disk's %" PRIu64 ": Linux, U-Boot and EDK2 find "
                      "no GPT; --sector-size %" PRIu64 " reads it",
                      found.value, found.value, found.wanted, found.value);
     }},
    {rule::gpt_over_partition, "gpt_over_partition", error_destroying(every_reader), header_or_array,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "the %s shares sectors ", structure_name(found.at.structure));
         print_range(out, found.sectors);
         if (found.other != 0) {
             std::fprintf(out, " with partition %u: writing the partition destroys the GPT",
                          found.other);
         } else {
             std::fputs(" with the MBR, the primary header or the backup header", out);
         }
     }},
    {rule::gpt_entry_reversed, "gpt_entry_reversed", error_for(linux_kernel | u_boot | edk2),
     subject::gpt_partition,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " starts at sector %" PRIu64 ", after its last, %" PRIu64 ": EDK2 "
                      "drops it, Linux and U-Boot make a partition that wraps around",
                      found.value, found.wanted);
     }},
    {rule::gpt_entry_outside_usable, "gpt_entry_outside_usable", error_for(edk2),
     subject::gpt_partition,
     [](std::FILE* out, const finding& found) {
         std::fputs(" (sectors ", out);
         print_range(out, found.sectors);
         std::fputs(") lies outside the usable sectors ", out);
         print_range(out, found.bounds);
         std::fputs(": EDK2 drops it", out);
     }},
    {rule::gpt_entry_past_255, "gpt_entry_past_255", error_for(linux_kernel), subject::gpt_partition,
     [](std::FILE* out, const finding&) {
         std::fputs(" is numbered past 255: Linux makes no partition past 255, U-Boot finds none "
                    "past 128 by name or UUID", out);
     }},
    {rule::gpt_hidden_boot, "gpt_hidden_boot", error_for(edk2), subject::gpt_partition,
     [](std::FILE* out, const finding& found) {
         std::fputs(found.value != 0
                        ? " has attribute bit 1 (no block I/O protocol) and is the disk's only "
                          "EFI system partition: EDK2 makes no partition of it, and UEFI "
                          "firmware boots nothing from the disk"
                        : " has attribute bit 1 (no block I/O protocol) and is the only "
                          "partition U-Boot's boot scan takes: EDK2 makes no partition of it",
                    out);
     }},
    {rule::gpt_blocks_past_32_bits, "gpt_blocks_past_32_bits", error_for(u_boot), subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "the disk has %" PRIu64 " sectors, 2^32 or more: U-Boot built with "
                      "32-bit block numbers (32-bit ARM, Debian's armhf builds among them) counts "
                      "%" PRIu64 " and makes no partition of a GPT past them; 64-bit builds read "
                      "it", found.value, found.wanted);
     }},
    {rule::gpt_backup_differs, "gpt_backup_differs", warning_for(linux_kernel), header_or_array,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "the backup GPT header at sector %" PRIu64 " is valid but not the "
                      "primary's mirror: a reader that falls back to it boots another table; "
                      "Linux warns", found.sectors.first);
     }},
    {rule::gpt_backup_not_at_end, "gpt_backup_not_at_end", warning_for(linux_kernel | u_boot),
     header_or_array,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "the backup GPT header is at sector %" PRIu64 ", not at the disk's "
                      "last sector, %" PRIu64 ": Linux warns at every boot and U-Boot's gpt "
                      "verify fails; sgdisk -e moves it to the end",
                      found.sectors.first, found.wanted);
     }},
    {rule::gpt_backup_flawed, "gpt_backup_flawed", warning_for(linux_kernel), header_or_array,
     [](std::FILE* out, const finding& found) {
         if (found.field == gpt_field::alternate_lba) {
             print_field(out, found);
             std::fputs(": Linux warns, EDK2 finds no backup there and writes nothing; "
                        "sgdisk -e moves the backup to the disk's end", out);
             return;
         }
         std::fprintf(out, "the backup GPT header at sector %" PRIu64 ": ", found.sectors.first);
         print_field(out, found);
         std::fputs(": Linux warns, EDK2 takes the backup as it is and writes nothing", out);
     }},
    {rule::ee_size, "ee_size", warning_for(), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ", the protective entry, has size %" PRIu64 ", not %" PRIu64 " (the "
                      "disk's sectors but the first) or 4294967295",
                      found.value, found.sectors.last);
     }},
    {rule::ee_not_first, "ee_not_first", warning_for(), subject::slot,
     [](std::FILE* out, const finding& found) {
         if (found.other != 0) {
             std::fprintf(out, " is a second ee entry, after slot %u", found.other);
         } else {
             std::fputs(" holds the ee entry: a protective MBR holds it in slot 1", out);
         }
     }},
    {rule::ee_boot_flag, "ee_boot_flag", warning_for(edk2), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ", the ee entry, has boot flag %02" PRIx64 ", not 00: EDK2 before 2021 "
                      "ignores the disk", found.value);
     }},
    {rule::hybrid, "hybrid", warning_for(), subject::disk,
     [](std::FILE* out, const finding&) {
         std::fputs("the MBR is a hybrid, the ee entry and other partitions: no standard defines "
                    "it; every board reader uses the GPT, a ROM that reads only the MBR the other "
                    "entries", out);
     }},
    {rule::hybrid_mismatch, "hybrid_mismatch", warning_for(), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fputs(" (sectors ", out);
         print_range(out, found.sectors);
         std::fputs(") of the hybrid MBR is no partition of the GPT: every board reader uses the "
                    "GPT, but a ROM that reads only the MBR reads other sectors than Linux mounts",
                    out);
     }},
    {rule::hybrid_overlap, "hybrid_overlap", warning_for(), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " overlaps slot %u (sectors ", found.other);
         print_range(out, found.sectors);
         std::fputs("): every board reader uses the GPT, but a ROM that reads only the MBR sees "
                    "overlapping partitions", out);
     }},
    {rule::gpt_array_placement, "gpt_array_placement", warning_for(), header_or_array,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "the %s (sectors ", structure_name(found.at.structure));
         print_range(out, found.sectors);
         std::fputs(found.at.structure == gpt_part::primary_array
                        ? ") is not laid out as UEFI lays it out: 16 KiB or more, at "
                          "sector 2, before the first usable sector"
                        : ") is not laid out as UEFI lays it out: after the last usable "
                          "sector, before the backup header", out);
     }},
    {rule::gpt_header_size, "gpt_header_size", warning_for(), header_or_array,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "the %s's size is %" PRIu64 ", not 92",
                      structure_name(found.at.structure), found.value);
     }},
    {rule::gpt_revision, "gpt_revision", warning_for(edk2), header_or_array,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "the %s's revision is %08" PRIx64 ", not 1.0 (00010000): EDK2 from "
                      "2026 rejects it and rewrites the disk",
                      structure_name(found.at.structure), found.value);
     }},
    {rule::gpt_hidden, "gpt_hidden", warning_for(edk2), subject::gpt_partition,
     [](std::FILE* out, const finding&) {
         std::fputs(" has attribute bit 1 (no block I/O protocol): firmware is asked to ignore "
                    "it, and EDK2 does", out);
     }},
    {rule::gpt_entry_past_128, "gpt_entry_past_128", warning_for(u_boot), subject::gpt_partition,
     [](std::FILE* out, const finding&) {
         std::fputs(" is numbered past 128: every board reader makes it, but U-Boot finds no "
                    "partition past 128 by name or UUID (part_get_info_by_name, by_uuid)", out);
     }},
    {rule::gpt_entry_past_56, "gpt_entry_past_56", warning_for(), subject::gpt_partition,
     [](std::FILE* out, const finding&) {
         std::fputs(" is numbered past 56, as is every partition after it up to 128: U-Boot for "
                    "Allwinner (sunxi) boards finds none of them by name or UUID", out);
     }},
    {rule::gpt_no_boot_partition, "gpt_no_boot_partition", warning_for(u_boot), subject::disk,
     [](std::FILE* out, const finding&) {
         std::fputs("no partition numbered 1 to 29 has attribute bit 2 (legacy BIOS bootable) or "
                    "the EFI system type: U-Boot's boot scan finds none", out);
     }},
    {rule::gpt_guid, "gpt_guid", warning_for(), header_or_array | subject::gpt_partition,
     [](std::FILE* out, const finding& found) {
         if (found.at.kind == subject::gpt_structure) {
             std::fprintf(out, "the %s's disk GUID is zero: nothing finds the disk by its GUID",
                          structure_name(found.at.structure));
         } else if (found.other != 0) {
             std::fprintf(out, " has the unique GUID of partition %u: PARTUUID= finds the wrong "
                          "one", found.other);
         } else {
             std::fputs(" has a zero unique GUID, or the disk's: its PARTUUID finds nothing or "
                        "the wrong partition", out);
         }
     }},
    {rule::stale_gpt, "stale_gpt", warning_for(), subject::disk,
     [](std::FILE* out, const finding&) {
         std::fputs("a valid GPT header at sector 1 behind an MBR without an ee entry: every "
                    "board reads the MBR, while sgdisk refuses the disk and 7-Zip reads the GPT",
                    out);
     }},
}};
// clang-format on
static_assert(rows_follow(gpt_rules, first_gpt_rule));
