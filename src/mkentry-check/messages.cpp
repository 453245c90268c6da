// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Each finding's message: what is wrong, and which reader minds.
#include <cinttypes>

#include "gpt.h"
#include "report.h"

namespace {

constexpr const char* edk2_ends_the_chain = ": EDK2 ends the chain there";
// EDK2 holds the first EBR to an MBR's rules: no entry past the partition
// it is read in, none over another.
constexpr const char* edk2_makes_no_logical =
    ": EDK2 reads the first EBR as an MBR, rejects it and makes no logical partition";

struct placed {
    std::uint64_t first;
    std::uint64_t size;
};

placed partition_at(const checked_table& table, std::uint16_t number, bool in_gpt = false)
{
    for (std::size_t i = 0; in_gpt && i < table.gpt.count; ++i) {
        const gpt_entry& entry = table.gpt.partitions[i].entry;
        if (table.gpt.partitions[i].number == number) {
            return {entry.first_lba, entry.last_lba - entry.first_lba + 1};
        }
    }
    if (in_gpt) {
        return {0, 0};
    }
    if (number >= 1 && number <= slot_count) {
        return {table.slots[number - 1].lba_begin, table.slots[number - 1].lba_size};
    }
    for (std::size_t i = 0; i < table.logical_count; ++i) {
        const logical_partition& logical = table.logicals[i];
        if (logical.number == number) {
            return {logical.sectors.first, logical.sectors.last - logical.sectors.first + 1};
        }
    }
    return {0, 0};
}

// "slot 2", or "partition 5": Linux's number past the slots, and every
// partition of a GPT.
void print_part(std::FILE* out, std::uint16_t part, bool in_gpt = false)
{
    std::fprintf(out, part <= slot_count && !in_gpt ? "slot %u" : "partition %u", part);
}

void print_range(std::FILE* out, const sector_range& sectors)
{
    std::fprintf(out, "%" PRIu64 "-%" PRIu64, sectors.first, sectors.last);
}

void print_past_disk(std::FILE* out, const checked_table& table)
{
    if (table.disk.sectors == 0) {
        std::fputs(", past the end of the disk (no sectors)", out);
    } else {
        std::fprintf(out, ", past the end of the disk (sectors 0-%" PRIu64 ")",
                     table.disk.sectors - 1);
    }
}

void print_extended(std::FILE* out, const checked_table& table, std::uint8_t slot)
{
    std::fprintf(out, " in slot %u (sectors ", slot);
    print_range(out, sectors_of(table.slots[slot - 1]));
    std::fputs(")", out);
}

// What the finding is about: a slot, a partition (with its EBR), an EBR
// that makes no partition, or nothing for the disk as a whole.
void print_subject(std::FILE* out, const finding& found)
{
    if (found.part != 0) {
        print_part(out, found.part, found.gpt == gpt_part::partition);
    }
    if (found.part > slot_count && found.ebr != 0) {
        std::fprintf(out, " (EBR at sector %" PRIu64 ")", found.ebr);
    } else if (found.part == 0 && found.ebr != 0) {
        std::fprintf(out, "EBR at sector %" PRIu64 " (in extended slot %u)", found.ebr,
                     found.extended_slot);
    }
}

const char* piece_name(gpt_part part)
{
    switch (part) {
    case gpt_part::primary_header:
        return "primary GPT header";
    case gpt_part::primary_array:
        return "primary GPT entry array";
    case gpt_part::backup_header:
        return "backup GPT header";
    case gpt_part::backup_array:
        return "backup GPT entry array";
    default:
        return "GPT";
    }
}

// What a header's broken rule is, with the values it quotes.
void print_field(std::FILE* out, const checked_table& table, const gpt_header_read& read)
{
    const gpt_header& header = read.header;
    switch (read.problem) {
    case gpt_field::signature:
        std::fputs("no EFI PART signature", out);
        break;
    case gpt_field::header_size:
        std::fprintf(out, "header size %" PRIu32 ", not 92 to the sector size", header.header_size);
        break;
    case gpt_field::header_crc:
        std::fputs("the header's CRC is wrong", out);
        break;
    case gpt_field::my_lba:
        std::fprintf(out, "its own LBA is %" PRIu64 ", not %" PRIu64, header.my_lba, read.sector);
        break;
    case gpt_field::usable_range:
        std::fprintf(out, "first usable sector %" PRIu64 " after the last, %" PRIu64,
                     header.first_usable, header.last_usable);
        break;
    case gpt_field::last_usable:
        std::fprintf(out,
                     "last usable sector %" PRIu64 " past the disk's last, %" PRIu64
                     " (an image shorter than its GPT says)",
                     header.last_usable, table.disk.sectors - 1);
        break;
    case gpt_field::entry_length:
        std::fprintf(out, "entry size %" PRIu32 ", not 128", header.entry_size);
        break;
    case gpt_field::entry_count:
        std::fputs("an entry count of 0", out);
        break;
    case gpt_field::array_size:
        std::fprintf(out, "an entry array of %" PRIu64 " bytes, over Linux's 4 MiB",
                     array_bytes(header));
        break;
    case gpt_field::array_place:
        std::fprintf(out, "its entry array at sector %" PRIu64 " runs past the disk",
                     header.entries_lba);
        break;
    case gpt_field::array_crc:
        std::fputs("the entry array's CRC is wrong", out);
        break;
    case gpt_field::alternate_lba:
        std::fprintf(out,
                     "the primary's alternate LBA, %" PRIu64
                     ", lies past the disk's last sector, %" PRIu64,
                     table.gpt.primary.header.alternate_lba, table.disk.sectors - 1);
        break;
    case gpt_field::none:
        break;
    }
}

void print_gpt_message(std::FILE* out, const checked_table& table, const finding& found)
{
    const gpt_table& gpt = table.gpt;
    const placed part = partition_at(table, found.part, found.gpt == gpt_part::partition);
    switch (found.what) {
    case rule::ee_not_at_sector_1:
        std::fprintf(out,
                     " has type ee but starts at sector %" PRIu32
                     ", not 1: Linux and EDK2 read no GPT, U-Boot makes the ee entry DOS "
                     "partition 1 over the disk",
                     table.slots[found.part - 1].lba_begin);
        break;
    case rule::gpt_primary_invalid:
        std::fputs("the primary GPT header at sector 1: ", out);
        print_field(out, table, gpt.primary);
        std::fputs(": Linux makes no partition at all, U-Boot boots the backup, EDK2 takes the "
                   "backup and writes a new primary over sectors 1 and 2 on",
                   out);
        break;
    case rule::gpt_backup_invalid:
        std::fprintf(out, "the backup GPT header at sector %" PRIu64 ": ", gpt.backup.sector);
        print_field(out, table, gpt.backup);
        std::fputs(": EDK2 writes a new backup there, Linux warns", out);
        break;
    case rule::gpt_sector_size:
        std::fprintf(out,
                     "the GPT is laid out for %" PRIu32 "-byte sectors (its header at byte %" PRIu32
                     "), not for the disk's %" PRIu32
                     ": Linux, U-Boot and EDK2 find no GPT; --sector-size %" PRIu32 " reads it",
                     found.value, found.value, table.disk.sector_size, found.value);
        break;
    case rule::gpt_over_partition:
        std::fprintf(out, "the %s shares sectors ", piece_name(found.gpt));
        print_range(out, found.sectors);
        if (found.other != 0) {
            std::fprintf(out, " with partition %u: writing the partition destroys the GPT",
                         found.other);
        } else {
            std::fputs(" with the MBR, the primary header or the backup header", out);
        }
        break;
    case rule::gpt_entry_reversed:
        std::fprintf(out,
                     " starts at sector %" PRIu64 ", after its last, %" PRIu64
                     ": EDK2 drops it, Linux and U-Boot make a partition that wraps around",
                     part.first, part.first + part.size - 1);
        break;
    case rule::gpt_entry_outside_usable:
        std::fprintf(out,
                     " (sectors %" PRIu64 "-%" PRIu64 ") lies outside the usable sectors %" PRIu64
                     "-%" PRIu64 ": EDK2 drops it",
                     part.first, part.first + part.size - 1, listed_header(gpt)->first_usable,
                     listed_header(gpt)->last_usable);
        break;
    case rule::gpt_entry_past_128:
        std::fputs(" is numbered past 128: U-Boot finds partitions by name or UUID up to 128"
                   " (56 on sunxi)",
                   out);
        if (found.part > max_gpt_partitions) {
            std::fputs(", Linux makes none past 255", out);
        }
        break;
    case rule::hybrid_mismatch:
        std::fprintf(out,
                     " (sectors %" PRIu64 "-%" PRIu64 ") of the hybrid MBR is no partition of the "
                     "GPT: a ROM that reads only the MBR reads other sectors than Linux mounts",
                     part.first, part.first + part.size - 1);
        break;
    case rule::hybrid_overlap:
        std::fprintf(out, " overlaps slot %u (sectors ", found.other);
        print_range(out, found.sectors);
        std::fputs("): a ROM that reads only the MBR sees overlapping partitions, and EDK2's MBR "
                   "fallback rejects the whole MBR",
                   out);
        break;
    case rule::gpt_backup_differs:
        std::fprintf(out,
                     "the backup GPT header at sector %" PRIu64
                     " is valid but not the primary's mirror: a reader that falls back to it "
                     "boots another table; Linux warns",
                     gpt.backup.sector);
        break;
    case rule::gpt_backup_not_at_end:
        std::fprintf(out,
                     "the backup GPT header is at sector %" PRIu64
                     ", not at the disk's last sector, %" PRIu64
                     ": Linux warns at every boot and U-Boot's gpt verify fails; sgdisk -e moves "
                     "it to the end",
                     gpt.backup.sector, table.disk.sectors - 1);
        break;
    case rule::ee_size:
        std::fprintf(out,
                     ", the protective entry, has size %" PRIu32 ", not %" PRIu64
                     " (the disk's sectors but the first) or 4294967295",
                     table.slots[found.part - 1].lba_size, found.sectors.last);
        break;
    case rule::ee_not_first:
        if (found.other != 0) {
            std::fprintf(out, " is a second ee entry, after slot %u", found.other);
        } else {
            std::fputs(" holds the ee entry: a protective MBR holds it in slot 1", out);
        }
        break;
    case rule::ee_boot_flag:
        std::fprintf(out,
                     ", the ee entry, has boot flag %02x, not 00: EDK2 before 2021 ignores the "
                     "disk",
                     found.flag);
        break;
    case rule::hybrid:
        std::fputs("the MBR is a hybrid, the ee entry and other partitions: no standard defines "
                   "it; every board reader uses the GPT, a ROM that reads only the MBR the other "
                   "entries",
                   out);
        break;
    case rule::gpt_array_placement:
        std::fprintf(out, "the %s (sectors ", piece_name(found.gpt));
        print_range(out, found.sectors);
        std::fputs(found.gpt == gpt_part::primary_array
                       ? ") is not laid out as the UEFI specification lays it out: 16 KiB or "
                         "more, at sector 2, before the first usable sector"
                       : ") is not laid out as the UEFI specification lays it out: after the "
                         "last usable sector, before the backup header",
                   out);
        break;
    case rule::gpt_header_size:
        std::fprintf(out, "the %s's size is %" PRIu32 ", not 92", piece_name(found.gpt),
                     found.value);
        break;
    case rule::gpt_revision:
        std::fprintf(out,
                     "the %s's revision is %08" PRIx32
                     ", not 1.0 (00010000): EDK2 from 2026 rejects it and rewrites the disk",
                     piece_name(found.gpt), found.value);
        break;
    case rule::gpt_hidden:
        std::fputs(" has attribute bit 1 (no block I/O protocol): firmware is asked to ignore "
                   "it, and EDK2 does",
                   out);
        break;
    case rule::gpt_no_boot_partition:
        std::fputs("no partition numbered 1 to 29 has attribute bit 2 (legacy BIOS bootable) or "
                   "the EFI system type: U-Boot's boot scan finds none",
                   out);
        break;
    case rule::gpt_guid:
        if (found.part == 0) {
            std::fprintf(out, "the %s's disk GUID is zero: the disk has no name to be found by",
                         piece_name(found.gpt));
        } else if (found.other != 0) {
            std::fprintf(out, " has the unique GUID of partition %u: PARTUUID= finds the wrong one",
                         found.other);
        } else {
            std::fputs(" has a zero unique GUID, or the disk's: its PARTUUID finds nothing or "
                       "the wrong partition",
                       out);
        }
        break;
    case rule::stale_gpt:
        std::fputs("a valid GPT header at sector 1 behind an MBR without an ee entry: every "
                   "board reads the MBR, while sgdisk refuses the disk and 7-Zip reads the GPT",
                   out);
        break;
    default:
        break;
    }
}

// The messages of the slots and of the disk.
bool print_slot_message(std::FILE* out, const checked_table& table, const finding& found)
{
    const bool in_gpt = found.gpt == gpt_part::partition;
    const placed part = partition_at(table, found.part, in_gpt);
    switch (found.what) {
    case rule::no_signature:
        std::fprintf(out,
                     "no 55 aa signature at byte 510 (found %02x %02x): readers see no partition "
                     "table",
                     found.signature[0], found.signature[1]);
        return true;
    case rule::bad_boot_flag:
        std::fprintf(out,
                     " has boot flag %02x, not 00 or 80: Linux and GRUB then read no partition at "
                     "all",
                     found.flag);
        return true;
    case rule::size_zero:
        std::fprintf(out, " has type %02x but size 0", table.slots[found.part - 1].part_type);
        return true;
    case rule::starts_at_zero:
        std::fputs(" starts at sector 0, over the partition table itself", out);
        return true;
    case rule::past_disk_end:
        std::fprintf(out, " ends at sector %" PRIu64, part.first + part.size - 1);
        print_past_disk(out, table);
        return true;
    case rule::past_last_mbr_sector:
        std::fprintf(out,
                     " ends at sector %" PRIu64 ", past sector 4294967295 (2^32 - 1), the last an "
                     "MBR can name: readers with 32-bit sector numbers cannot reach past it",
                     part.first + part.size - 1);
        return true;
    case rule::overlap:
        std::fputs(" overlaps ", out);
        print_part(out, found.other, in_gpt);
        std::fputs(" (sectors ", out);
        print_range(out, found.sectors);
        std::fputs(")", out);
        return true;
    case rule::over_reserved:
        if (found.gpt != gpt_part::none && !in_gpt) {
            std::fprintf(out, "the %s", piece_name(found.gpt));
        }
        std::fputs(" lies over reserved sectors ", out);
        print_range(out, found.sectors);
        return true;
    case rule::two_extended:
        std::fprintf(out,
                     " is a second extended partition, after slot %u: U-Boot and GRUB follow only "
                     "the first one's chain",
                     found.other);
        return true;
    case rule::minix_subpartitions:
        std::fprintf(out,
                     " (type 81) starts with a Minix subpartition table: Linux makes partitions "
                     "of it from partition %u on, GRUB the same ones as nested partitions, U-Boot "
                     "none, and EDK2 reads it as an MBR of the slot's own, counted from the "
                     "slot's first sector",
                     found.other);
        return true;
    case rule::out_of_order:
        if (found.part > slot_count) {
            std::fprintf(out, " starts at sector %" PRIu64 ", before ", part.first);
        } else {
            std::fprintf(out, " (sector %" PRIu64 ") starts before ", part.first);
        }
        print_part(out, found.other);
        std::fprintf(out, " (sector %" PRIu64 "): 7-Zip rejects partitions out of disk order",
                     partition_at(table, found.other).first);
        return true;
    case rule::ends_on_last_mbr_sector:
        std::fputs(" ends at sector 4294967295, the last an MBR can name: 7-Zip adds first"
                   " sector and size in 32 bits, gets 0 and rejects the table",
                   out);
        return true;
    case rule::several_bootable:
        std::fprintf(out, " is marked bootable, and so is slot %u", found.other);
        return true;
    case rule::type_zero_used:
        std::fprintf(out, " has type 00 but size %" PRIu64 ": Linux uses it, UEFI ignores it",
                     part.size);
        return true;
    case rule::unaligned:
        std::fprintf(out,
                     " starts at sector %" PRIu64
                     ", not on a 1 MiB boundary (a multiple of %" PRIu32 ")",
                     part.first, 1024 * 1024 / table.disk.sector_size);
        return true;
    case rule::no_disk_identifier:
        std::fputs("disk identifier is 00000000: libblkid then gives no partition a PARTUUID,"
                   " so /dev/disk/by-partuuid/ and PARTUUID= in fstab find nothing (the"
                   " kernel's root=PARTUUID=00000000-01 still works); write one at byte 440",
                   out);
        return true;
    case rule::partial_sector:
        std::fprintf(out,
                     "the image is %" PRIu64 " bytes, not a whole number of %" PRIu32
                     "-byte sectors: its last %" PRIu64 " bytes are not part of the disk, and "
                     "Raspberry Pi Imager refuses such a file",
                     table.disk.partial_image_bytes, table.disk.sector_size,
                     table.disk.partial_image_bytes % table.disk.sector_size);
        return true;
    default:
        return false;
    }
}

// The messages of the chain's EBRs and logical partitions.
void print_chain_message(std::FILE* out, const checked_table& table, const finding& found)
{
    switch (found.what) {
    case rule::ebr_no_signature:
        std::fprintf(out,
                     ": no 55 aa signature at byte 510 (found %02x %02x): every reader ends the "
                     "chain there",
                     found.signature[0], found.signature[1]);
        break;
    case rule::ebr_bad_boot_flag:
        std::fprintf(out,
                     ": entry %u has boot flag %02x, not 00 or 80: U-Boot skips the entry, GRUB "
                     "reads no partition from there on",
                     found.entry, found.flag);
        break;
    case rule::chain_loop:
        std::fprintf(out,
                     ": the link points back to the EBR at sector %" PRIu64
                     ": the chain loops; Linux and U-Boot make its partitions again and again, "
                     "EDK2 hangs",
                     found.sectors.first);
        break;
    case rule::chain_too_long:
        std::fputs(": the chain goes on past partition 255 or 256 EBRs, more than Linux reads",
                   out);
        break;
    case rule::type_85:
        std::fputs(": the link has type 85: EDK2 follows only 05 and 0f and ends the chain there",
                   out);
        break;
    case rule::link_not_extended:
        std::fprintf(out,
                     ": entry 2, the link, has type %02x, not 05 or 0f: Linux makes it a "
                     "partition, EDK2 ends the chain there",
                     found.type);
        break;
    case rule::link_size_zero:
        std::fprintf(out, ": entry %u is a link of size 0: Linux ends the chain there",
                     found.entry);
        break;
    case rule::link_outside:
    case rule::first_link_past_extended: {
        const bool outside = found.what == rule::link_outside;
        std::fputs(": the link points to sectors ", out);
        print_range(out, found.sectors);
        std::fputs(outside ? ", outside the extended partition"
                           : ", past the end of the extended partition",
                   out);
        print_extended(out, table, found.extended_slot);
        std::fputs(outside ? edk2_ends_the_chain : edk2_makes_no_logical, out);
        break;
    }
    case rule::link_over_partition:
        std::fputs(": the link's sectors take in sectors ", out);
        print_range(out, found.sectors);
        std::fputs(" of the partition", out);
        std::fputs(edk2_makes_no_logical, out);
        break;
    case rule::link_past_disk_end:
        std::fprintf(out, ": the link points to sector %" PRIu64, found.sectors.first);
        print_past_disk(out, table);
        break;
    case rule::link_before_partition:
        std::fprintf(out,
                     ": entry 1 is a link (type %02x) and entry 2 holds the partition: EDK2 "
                     "follows entry 1 and skips the partition",
                     found.type);
        break;
    case rule::ebr_without_partition:
        std::fputs(": a link but no partition in entry 1: EDK2 ends the chain there, before the"
                   " partitions after it",
                   out);
        break;
    case rule::ebr_extra_entry:
        std::fprintf(out,
                     ": entry %u is used: EDK2 reads only entry 1, the partition, and entry 2, "
                     "the link",
                     found.entry);
        break;
    case rule::logical_size_zero:
        std::fprintf(out,
                     ": entry 1 has type %02x but size 0: Linux makes no partition of it, U-Boot "
                     "and GRUB make one and number the rest differently, EDK2 ends the chain "
                     "there",
                     found.type);
        break;
    case rule::logical_type_zero:
        std::fprintf(out,
                     " has type 00 but size %" PRIu64
                     ": Linux makes it a partition, U-Boot and GRUB do not and number the "
                     "partitions after it differently",
                     partition_at(table, found.part).size);
        break;
    case rule::logical_at_ebr:
        std::fputs(" starts at its own EBR (first sector 0): its contents overwrite the chain",
                   out);
        break;
    case rule::logical_outside:
        std::fputs(" lies at sectors ", out);
        print_range(out, found.sectors);
        std::fputs(", outside the extended partition", out);
        print_extended(out, table, found.extended_slot);
        std::fputs(edk2_ends_the_chain, out);
        break;
    case rule::logical_over_ebr:
        std::fprintf(out, " lies over the EBR at sector %" PRIu64 ": writing it destroys the chain",
                     found.sectors.first);
        break;
    default:
        print_gpt_message(out, table, found);
        break;
    }
}

} // namespace

void print_message(std::FILE* out, const checked_table& table, const finding& found)
{
    print_subject(out, found);
    if (!print_slot_message(out, table, found)) {
        print_chain_message(out, table, found);
    }
}
