// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "report.h"

// Literals as string_views where one of two is chosen: a plain literal
// would be measured with strlen at run time.
using namespace std::string_view_literals;

namespace {

constexpr std::size_t column_width = 11;

// A partition as the report shows it: a slot, or a logical partition with
// its first sector on the disk.
struct partition_view {
    std::uint64_t first;
    std::uint64_t size;
    std::uint8_t boot_flag;
    std::uint8_t part_type;
};

partition_view view_of(const checked_table& table, std::uint16_t part)
{
    if (part >= 1 && part <= slot_count) {
        const partition_entry& entry = table.slots[part - 1];
        return {entry.lba_begin, entry.lba_size, entry.boot_flag, entry.part_type};
    }
    const std::size_t index = part - first_logical;
    if (part >= first_logical && index < table.logical_count) {
        const logical_partition& logical = table.logicals[index];
        return {logical.first, logical.size, logical.boot_flag, logical.part_type};
    }
    return {0, 0, 0, 0};
}

// "slot 2", or "partition 5": Linux's number for a logical partition.
void append_part(text& out, std::string_view before, std::uint16_t part)
{
    append(out, before);
    append(out, part <= slot_count ? "slot "sv : "partition "sv);
    append_number(out, part);
}

void append_range(text& out, const sector_range& sectors)
{
    append_number(out, sectors.first);
    append(out, "-");
    append_number(out, sectors.last);
}

void append_disk_sectors(text& out, const checked_table& table)
{
    if (table.disk.sectors == 0) {
        append(out, ", past the end of the disk (no sectors)");
        return;
    }
    append(out, ", past the end of the disk (sectors 0-");
    append_number(out, table.disk.sectors - 1);
    append(out, ")");
}

void append_extended(text& out, const checked_table& table, std::uint16_t slot,
                     std::string_view where = ", outside the extended partition in "sv)
{
    const partition_entry& extended = table.slots[slot - 1];
    append_part(out, where, slot);
    append(out, " (sectors ");
    append_range(out,
                 {extended.lba_begin, std::uint64_t{extended.lba_begin} + extended.lba_size - 1});
    append(out, ")");
}

constexpr std::string_view edk2_ends_the_chain = ": EDK2 ends the chain there";
// EDK2 holds the first EBR to an MBR's rules: no entry past the partition
// it is read in, none over another.
constexpr std::string_view edk2_makes_no_logical =
    ": EDK2 reads the first EBR as an MBR, rejects it and makes no logical partition";

// The finding's text, without its severity: the partition it is about
// first, a logical one with the sector of its EBR.
void format_message(text& out, const checked_table& table, const finding& found)
{
    const partition_view part = view_of(table, found.part);
    const bool logical = found.part >= first_logical;
    const std::uint64_t end = part.first + part.size;
    if (found.part != 0) {
        append_part(out, "", found.part);
    }
    if (logical) {
        append(out, " (EBR at sector ");
        append_number(out, found.ebr);
        append(out, ")");
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
        append_hex(out, part.boot_flag, 2);
        append(out, ", not 00 or 80: Linux and GRUB then read no partition at all");
        break;
    case rule::gpt_protective:
        append(out, " has type ee (GPT protective): Linux reads no partition from this table;"
                    " for a GPT disk, check the GPT with a GPT tool such as sgdisk -v");
        break;
    case rule::size_zero:
        append(out, " has type ");
        append_hex(out, logical ? found.detail : part.part_type, 2);
        append(out, " but size 0");
        if (logical) {
            append(out, ": Linux makes no partition of it, U-Boot and GRUB make one and number"
                        " the rest differently, EDK2 ends the chain there");
        }
        break;
    case rule::starts_at_zero:
        append(out, " starts at sector 0, over the partition table itself");
        break;
    case rule::past_disk_end:
        append(out, " ends at sector ");
        append_number(out, end - 1);
        append_disk_sectors(out, table);
        break;
    case rule::past_last_mbr_sector:
        append(out, " ends at sector ");
        append_number(out, end - 1);
        append(out, ", past sector 4294967295 (2^32 - 1), the last an MBR can name: readers"
                    " with 32-bit sector numbers cannot reach past it");
        break;
    case rule::overlap:
        append_part(out, " overlaps ", found.other_part);
        append(out, " (sectors ");
        append_range(out, found.sectors);
        append(out, ")");
        break;
    case rule::over_reserved:
        append(out, " lies over reserved sectors ");
        append_range(out, found.sectors);
        break;
    case rule::two_extended:
        append_part(out, " is a second extended partition, after ", found.other_part);
        append(out, ": U-Boot and GRUB follow only the first one's chain");
        break;
    case rule::type_85:
        append(out, logical ? ": the link has type 85: EDK2 follows only 05 and 0f and ends the"
                              " chain there"sv
                            : " has extended type 85: EDK2 follows only 05 and 0f, so UEFI sees"
                              " none of its logical partitions"sv);
        break;
    case rule::ebr_no_signature:
        append(out, ": no 55 aa signature at byte 510 (found ");
        append_hex(out, found.detail >> 8, 2);
        append(out, " ");
        append_hex(out, found.detail & 0xff, 2);
        append(out, "): every reader ends the chain there");
        break;
    case rule::ebr_bad_boot_flag:
        append(out, ": entry ");
        append_number(out, found.detail >> 8);
        append(out, " has boot flag ");
        append_hex(out, found.detail & 0xff, 2);
        append(out, ", not 00 or 80: U-Boot skips the entry, GRUB reads no partition from"
                    " there on");
        break;
    case rule::chain_loop:
        append(out, ": the link points back to the EBR at sector ");
        append_number(out, found.sectors.first);
        append(out, ": the chain loops; Linux and U-Boot make its partitions again and again,"
                    " EDK2 hangs");
        break;
    case rule::chain_too_long:
        append(out, ": the chain goes on past partition 255 or 256 EBRs, more than Linux reads");
        break;
    case rule::link_not_extended:
        append(out, ": entry 2, the link, has type ");
        append_hex(out, found.detail, 2);
        append(out, ", not 05 or 0f: Linux makes it a partition, EDK2 ends the chain there");
        break;
    case rule::link_size_zero:
        append(out, ": entry ");
        append_number(out, found.detail);
        append(out, " is a link of size 0: Linux ends the chain there");
        break;
    case rule::link_outside:
        append(out, ": the link points to sectors ");
        append_range(out, found.sectors);
        if (found.detail != 0) {
            // The first EBR's link, to an EBR inside, with a size that reaches past.
            append_extended(out, table, found.other_part,
                            ", past the end of the extended partition in "sv);
            append(out, edk2_makes_no_logical);
        } else {
            append_extended(out, table, found.other_part);
            append(out, edk2_ends_the_chain);
        }
        break;
    case rule::link_over_partition:
        append(out, ": the link's sectors take in sectors ");
        append_range(out, found.sectors);
        append(out, " of the partition");
        append(out, edk2_makes_no_logical);
        break;
    case rule::link_past_disk_end:
        append(out, ": the link points to sector ");
        append_number(out, found.sectors.first);
        append_disk_sectors(out, table);
        break;
    case rule::link_before_partition:
        append(out, ": entry 1 is a link (type ");
        append_hex(out, found.detail, 2);
        append(out, ") and entry 2 holds the partition: EDK2 follows entry 1 and skips the"
                    " partition");
        break;
    case rule::ebr_without_partition:
        append(out, ": a link but no partition in entry 1: EDK2 ends the chain there, before"
                    " the partitions after it");
        break;
    case rule::ebr_extra_entry:
        append(out, ": entry ");
        append_number(out, found.detail);
        append(out, " is used: EDK2 reads only entry 1, the partition, and entry 2, the link");
        break;
    case rule::logical_type_zero:
        append(out, " has type 00 but size ");
        append_number(out, part.size);
        append(out, ": Linux makes it a partition, U-Boot and GRUB do not and number the"
                    " partitions after it differently");
        break;
    case rule::logical_at_ebr:
        append(out, " starts at its own EBR (first sector 0): its contents overwrite the"
                    " chain");
        break;
    case rule::logical_outside:
        append(out, " lies at sectors ");
        append_range(out, found.sectors);
        append_extended(out, table, found.other_part);
        append(out, edk2_ends_the_chain);
        break;
    case rule::logical_over_ebr:
        append(out, " lies over the EBR at sector ");
        append_number(out, found.sectors.first);
        append(out, ": writing it destroys the chain");
        break;
    case rule::out_of_order:
        if (logical) {
            append(out, " starts at sector ");
            append_number(out, part.first);
            append_part(out, ", before ", found.other_part);
        } else {
            append(out, " (sector ");
            append_number(out, part.first);
            append_part(out, ") starts before ", found.other_part);
        }
        append(out, " (sector ");
        append_number(out, view_of(table, found.other_part).first);
        append(out, "): 7-Zip rejects partitions out of disk order");
        break;
    case rule::ends_on_last_mbr_sector:
        append(out, " ends at sector 4294967295, the last an MBR can name: 7-Zip adds first"
                    " sector and size in 32 bits, gets 0 and rejects the table");
        break;
    case rule::several_bootable:
        append_part(out, " is marked bootable, and so is ", found.other_part);
        break;
    case rule::type_zero_used:
        append(out, " has type 00 but size ");
        append_number(out, part.size);
        append(out, ": Linux uses it, UEFI ignores it");
        break;
    case rule::unaligned:
        append(out, " starts at sector ");
        append_number(out, part.first);
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
        append(out, "-byte sectors: its last ");
        append_number(out, table.disk.partial_image_bytes % table.disk.sector_size);
        append(out, " bytes are not part of the disk, and Raspberry Pi Imager refuses such a file");
        break;
    }
}

// PARTUUID as Linux and libblkid form it: the disk identifier, then the
// partition's number, both in hex (partition 10 is -0a).
void append_partuuid(text& out, std::uint32_t identifier, std::uint16_t part)
{
    append_hex(out, identifier, 8);
    append(out, "-");
    append_hex(out, part, 2);
}

using partuuid_prefix = std::array<char, 9>; // the identifier in hex and "-"

partuuid_prefix prefix_of(std::uint32_t identifier)
{
    partuuid_prefix prefix{};
    *put_hex(prefix.data(), identifier, 8) = '-';
    return prefix;
}

// One row of the table, built whole and appended once: the report of a
// long chain is mostly these. ebr is 0 for a slot.
void append_row(text& out, const checked_table& table, const partuuid_prefix& partuuid,
                std::uint16_t part, std::uint64_t ebr)
{
    const partition_view view = view_of(table, part);
    std::array<char, 128> row; // every field at its widest: 5 + 10 + 3 * 20 + 14 + 20 + 1
    char* at = put_column(row.data(), part, 4);
    at = put_chars(at, "   ");
    at = put_hex_byte(at, view.boot_flag);
    at = put_chars(at, "   ");
    at = put_hex_byte(at, view.part_type);
    at = put_column(at, view.first, column_width);
    at = put_column(at, view.size, column_width);
    if (view.size == 0) {
        at = put_chars(at, "          -");
    } else {
        at = put_column(at, view.first + view.size - 1, column_width);
        at = put_chars(at, " ");
        at = put_chars(at, {partuuid.data(), partuuid.size()});
        at = put_hex_byte(at, static_cast<std::uint8_t>(part)); // 1 to 255
    }
    if (ebr != 0) {
        at = put_column(at, ebr, 15);
    }
    at = put_chars(at, "\n");
    append(out, {row.data(), static_cast<std::size_t>(at - row.data())});
}

} // namespace

void format_report(text& out, const checked_table& table, size_source source)
{
    append(out, "disk: ");
    append_number(out, table.disk.sectors);
    append(out, " sectors of ");
    append_number(out, table.disk.sector_size);
    append(out,
           source == size_source::option ? " bytes, as given by --disk-size\n"sv : " bytes\n"sv);
    append(out, "disk identifier: ");
    append_hex(out, table.identifier, 8);
    append(out, "\npart boot type      first    sectors       last partuuid");
    append(out, table.logical_count == 0 ? "\n"sv : "               ebr\n"sv);
    const partuuid_prefix partuuid = prefix_of(table.identifier);
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        append_row(out, table, partuuid, slot, 0);
    }
    for (std::size_t i = 0; i < table.logical_count; ++i) {
        append_row(out, table, partuuid, table.logicals[i].number, table.logicals[i].ebr);
    }
    for (std::size_t i = 0; i < finding_count(table); ++i) {
        format_finding(out, table, nth_finding(table, i));
    }
    if (table.findings_left_out != 0) {
        append(out, "and ");
        append_number(out, table.findings_left_out);
        append(out, " more findings\n");
    }
}

void format_finding(text& out, const checked_table& table, const finding& found)
{
    append(out, is_error(found.what) ? "error: "sv : "warning: "sv);
    format_message(out, table, found);
    append(out, "\n");
}

namespace {

// Partition devices are named as the kernel names them: sda1, but
// mmcblk0p1 and loop0p1 after a digit.
void append_json_partition(text& out, const checked_table& table, std::string_view device,
                           std::uint16_t part, bool first)
{
    const partition_view view = view_of(table, part);
    const bool digit_last = !device.empty() && device.back() >= '0' && device.back() <= '9';
    append(out,
           first ? "\n         {\n            \"node\": \""sv : ",{\n            \"node\": \""sv);
    append_json_chars(out, device);
    append(out, digit_last ? "p"sv : ""sv);
    append_number(out, part);
    append(out, "\",\n            \"start\": ");
    append_number(out, view.first);
    append(out, ",\n            \"size\": ");
    append_number(out, view.size);
    append(out, ",\n            \"type\": \"");
    append_hex(out, view.part_type, 1);
    if (view.size != 0) {
        append(out, "\",\n            \"partuuid\": \"");
        append_partuuid(out, table.identifier, part);
    }
    append(out, view.boot_flag == 0x80 ? "\",\n            \"bootable\": true\n"sv : "\"\n"sv);
    append(out, "         }");
}

} // namespace

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
    bool first = true;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        if (is_used(table.slots[slot - 1])) {
            append_json_partition(out, table, device, slot, first);
            first = false;
        }
    }
    for (std::size_t i = 0; i < table.logical_count; ++i) {
        append_json_partition(out, table, device, table.logicals[i].number, first);
        first = false;
    }
    append(out,
           first ? "]\n   },\n   \"findings\": ["sv : "\n      ]\n   },\n   \"findings\": ["sv);
    std::string_view separator = "\n";
    for (std::size_t i = 0; i < finding_count(table); ++i) {
        const finding& found = nth_finding(table, i);
        append(out, separator);
        separator = ",\n";
        append(out, "      {\n         \"severity\": \"");
        append(out, is_error(found.what) ? "error"sv : "warning"sv);
        append(out, "\",\n         \"slots\": [");
        if (found.part != 0) {
            append_number(out, found.part);
        }
        if (found.other_part != 0) {
            append(out, ", ");
            append_number(out, found.other_part);
        }
        append(out, "],\n         \"rule\": \"");
        append(out, info(found.what).name);
        // The messages are plain ASCII: nothing in them needs escaping.
        append(out, "\",\n         \"message\": \"");
        format_message(out, table, found);
        append(out, "\"\n      }");
    }
    append(out, finding_count(table) == 0 ? "]\n}\n"sv : "\n   ]\n}\n"sv);
}
