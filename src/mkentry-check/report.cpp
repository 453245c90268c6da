// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "report.h"

namespace {

constexpr std::size_t column_width = 11;

void append_slot(text& out, std::string_view before, std::uint8_t slot)
{
    append(out, before);
    append(out, "slot ");
    append_number(out, slot);
}

void append_range(text& out, const sector_range& sectors)
{
    append_number(out, sectors.first);
    append(out, "-");
    append_number(out, sectors.last);
}

// The finding's text, without its severity: the slot it is about first.
void format_message(text& out, const checked_table& table, const finding& found)
{
    const partition_entry& entry = table.slots[found.slot == 0 ? 0 : found.slot - 1];
    const std::uint64_t end = std::uint64_t{entry.lba_begin} + entry.lba_size;
    if (found.slot != 0) {
        append_slot(out, "", found.slot);
    }
    switch (found.what) {
    case rule::no_signature:
        append(out, "no 55 aa signature at byte 510 (found ");
        append_hex(out, table.signature[0], 2);
        append(out, " ");
        append_hex(out, table.signature[1], 2);
        append(out, "): readers see no partition table");
        break;
    case rule::bad_boot_flag:
        append(out, " has boot flag ");
        append_hex(out, entry.boot_flag, 2);
        append(out, ", not 00 or 80: Linux and GRUB then read no partition at all");
        break;
    case rule::gpt_protective:
        append(out, " has type ee (GPT protective): Linux reads no partition from this table;"
                    " for a GPT disk, check the GPT with a GPT tool such as sgdisk -v");
        break;
    case rule::size_zero:
        append(out, " has type ");
        append_hex(out, entry.part_type, 2);
        append(out, " but size 0");
        break;
    case rule::starts_at_zero:
        append(out, " starts at sector 0, over the partition table itself");
        break;
    case rule::past_disk_end:
        append(out, " ends at sector ");
        append_number(out, end - 1);
        if (table.disk.sectors == 0) {
            append(out, ", past the end of the disk (no sectors)");
            break;
        }
        append(out, ", past the end of the disk (sectors 0-");
        append_number(out, table.disk.sectors - 1);
        append(out, ")");
        break;
    case rule::past_last_mbr_sector:
        append(out, " ends at sector ");
        append_number(out, end - 1);
        append(out, ", past sector 4294967295 (2^32 - 1), the last an MBR can name: readers"
                    " with 32-bit sector numbers cannot reach past it");
        break;
    case rule::overlap:
        append_slot(out, " overlaps ", found.other_slot);
        append(out, " (sectors ");
        append_range(out, found.sectors);
        append(out, ")");
        break;
    case rule::over_reserved:
        append(out, " lies over reserved sectors ");
        append_range(out, found.sectors);
        break;
    case rule::out_of_order:
        append(out, " (sector ");
        append_number(out, entry.lba_begin);
        append_slot(out, ") starts before ", found.other_slot);
        append(out, " (sector ");
        append_number(out, table.slots[found.other_slot - 1].lba_begin);
        append(out, "): 7-Zip rejects partitions out of disk order");
        break;
    case rule::ends_on_last_mbr_sector:
        append(out, " ends at sector 4294967295, the last an MBR can name: 7-Zip adds first"
                    " sector and size in 32 bits, gets 0 and rejects the table");
        break;
    case rule::several_bootable:
        append_slot(out, " is marked bootable, and so is ", found.other_slot);
        break;
    case rule::extended:
        append(out, " has extended type ");
        append_hex(out, entry.part_type, 2);
        append(out, ": the logical partitions inside it are not checked");
        break;
    case rule::type_zero_used:
        append(out, " has type 00 but size ");
        append_number(out, entry.lba_size);
        append(out, ": Linux uses it, UEFI ignores it");
        break;
    case rule::unaligned:
        append(out, " starts at sector ");
        append_number(out, entry.lba_begin);
        append(out, ", not on a 1 MiB boundary (a multiple of ");
        append_number(out, 1024 * 1024 / table.disk.sector_size);
        append(out, ")");
        break;
    case rule::no_disk_identifier:
        append(out, "disk identifier is 00000000: libblkid then gives no partition a PARTUUID,"
                    " so /dev/disk/by-partuuid/ and PARTUUID= in fstab find nothing (the"
                    " kernel's root=PARTUUID=00000000-01 still works); write one at byte 440");
        break;
    case rule::partial_sector:
        append(out, "the image is ");
        append_number(out, table.disk.partial_image_bytes);
        append(out, " bytes, not a whole number of ");
        append_number(out, table.disk.sector_size);
        append(out, "-byte sectors: the last part sector is not part of the disk, and"
                    " Raspberry Pi Imager refuses such a file");
        break;
    }
}

} // namespace

void format_report(text& out, const checked_table& table, size_source source)
{
    append(out, "disk: ");
    append_number(out, table.disk.sectors);
    append(out, " sectors of ");
    append_number(out, table.disk.sector_size);
    append(out, source == size_source::option ? " bytes, as given by --disk-size\n" : " bytes\n");
    append(out, "disk identifier: ");
    append_hex(out, table.identifier, 8);
    append(out, "\nslot boot type      first    sectors       last\n");
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.slots[slot - 1];
        append(out, "   ");
        append_number(out, slot);
        append(out, "   ");
        append_hex(out, entry.boot_flag, 2);
        append(out, "   ");
        append_hex(out, entry.part_type, 2);
        append_column(out, entry.lba_begin, column_width);
        append_column(out, entry.lba_size, column_width);
        if (entry.lba_size == 0) {
            append(out, "          -\n");
            continue;
        }
        append_column(out, std::uint64_t{entry.lba_begin} + entry.lba_size - 1, column_width);
        append(out, "\n");
    }
    for (std::size_t i = 0; i < table.finding_count; ++i) {
        format_finding(out, table, table.findings[i]);
    }
}

void format_finding(text& out, const checked_table& table, const finding& found)
{
    append(out, is_error(found.what) ? "error: " : "warning: ");
    format_message(out, table, found);
    append(out, "\n");
}

// Laid out as sfdisk --json lays out its own, so that what reads one reads
// the other; the findings follow the table.
void format_json(text& out, const checked_table& table, std::string_view device)
{
    append(out, "{\n   \"partitiontable\": {\n      \"label\": \"dos\",\n      \"id\": \"0x");
    append_hex(out, table.identifier, 8);
    append(out, "\",\n      \"device\": \"");
    append_json_chars(out, device);
    append(out, "\",\n      \"unit\": \"sectors\",\n      \"sectorsize\": ");
    append_number(out, table.disk.sector_size);
    append(out, ",\n      \"partitions\": [");
    // Partition devices are named as the kernel names them: sda1, but
    // mmcblk0p1 and loop0p1 after a digit.
    const bool digit_last = !device.empty() && device.back() >= '0' && device.back() <= '9';
    bool first = true;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.slots[slot - 1];
        if (!is_used(entry)) {
            continue;
        }
        append(out,
               first ? "\n         {\n            \"node\": \"" : ",{\n            \"node\": \"");
        first = false;
        append_json_chars(out, device);
        append(out, digit_last ? "p" : "");
        append_number(out, slot);
        append(out, "\",\n            \"start\": ");
        append_number(out, entry.lba_begin);
        append(out, ",\n            \"size\": ");
        append_number(out, entry.lba_size);
        append(out, ",\n            \"type\": \"");
        append_hex(out, entry.part_type, 1);
        append(out, entry.boot_flag == 0x80 ? "\",\n            \"bootable\": true\n" : "\"\n");
        append(out, "         }");
    }
    append(out, first ? "]\n   },\n   \"findings\": [" : "\n      ]\n   },\n   \"findings\": [");
    std::string_view separator = "\n";
    for (std::size_t i = 0; i < table.finding_count; ++i) {
        const finding& found = table.findings[i];
        append(out, separator);
        separator = ",\n";
        append(out, "      {\n         \"severity\": \"");
        append(out, is_error(found.what) ? "error" : "warning");
        append(out, "\",\n         \"slots\": [");
        if (found.slot != 0) {
            append_number(out, found.slot);
        }
        if (found.other_slot != 0) {
            append(out, ", ");
            append_number(out, found.other_slot);
        }
        append(out, "],\n         \"rule\": \"");
        append(out, info(found.what).name);
        // The messages are plain ASCII: nothing in them needs escaping.
        append(out, "\",\n         \"message\": \"");
        format_message(out, table, found);
        append(out, "\"\n      }");
    }
    append(out, table.finding_count == 0 ? "]\n}\n" : "\n   ]\n}\n");
}
