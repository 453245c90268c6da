// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules of the four slots, of the extended partition's chain as Linux,
// U-Boot, EDK2 and GRUB walk it, and of Minix subpartitions. Each EBR is
// held to the layout that U-Boot, EDK2 and GRUB need to make the same
// partitions as Linux: the partition in entry 1, the link in entry 2.
#include <cinttypes>

#include "mbr/mbr_rules.h"
#include "rules/message.h"

namespace {

constexpr reader linux_kernel = reader::linux_kernel;
constexpr reader u_boot = reader::u_boot;
constexpr reader edk2 = reader::edk2;
constexpr reader grub = reader::grub;
constexpr subject in_chain = subject::logical | subject::ebr;

constexpr const char* edk2_ends_the_chain = ": EDK2 ends the chain there";
// EDK2 holds the first EBR to an MBR's rules: no entry past the partition
// it is read in, none over another.
constexpr const char* edk2_makes_no_logical =
    ": EDK2 reads the first EBR as an MBR, rejects it and makes no logical partition";

void print_signature(std::FILE* out, const char* before, const finding& found)
{
    std::fprintf(out, "%sno 55 aa signature at byte 510 (found %02x %02x)", before,
                 static_cast<unsigned>(found.value >> 8),
                 static_cast<unsigned>(found.value & 0xff));
}

// A link's sectors against the extended slot they should lie in.
void print_link(std::FILE* out, const finding& found, const char* where, const char* edk2_does)
{
    std::fputs(": the link points to sectors ", out);
    print_range(out, found.sectors);
    std::fputs(where, out);
    std::fprintf(out, " in slot %u (sectors ", found.at.extended_slot);
    print_range(out, found.bounds);
    std::fputs(")", out);
    std::fputs(edk2_does, out);
}

} // namespace

// clang-format off
constexpr std::array<rule_info, mbr_rule_count> mbr_rules = {{
    {rule::no_signature, "no_signature", error_for(every_reader), subject::disk,
     [](std::FILE* out, const finding& found) {
         print_signature(out, "", found);
         std::fputs(": readers see no partition table", out);
     }},
    {rule::bad_boot_flag, "bad_boot_flag", error_for(linux_kernel | u_boot | grub), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " has boot flag %02" PRIx64 ", not 00 or 80: Linux and GRUB then read "
                      "no partition at all", found.value);
     }},
    {rule::size_zero, "size_zero", error_for(every_reader), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " has type %02" PRIx64 " but size 0", found.value);
     }},
    {rule::starts_at_zero, "starts_at_zero", error_destroying(every_reader), subject::slot,
     [](std::FILE* out, const finding&) {
         std::fputs(" starts at sector 0, over the partition table itself", out);
     }},
    {rule::past_last_mbr_sector, "past_last_mbr_sector", error_for(every_reader), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " ends at sector %" PRIu64 ", past sector 4294967295 (2^32 - 1), the "
                      "last an MBR can name: readers with 32-bit sector numbers cannot reach past "
                      "it", found.value);
     }},
    {rule::two_extended, "two_extended", error_for(every_reader), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " is a second extended partition, after slot %u: U-Boot and GRUB "
                      "follow only the first one's chain", found.other);
     }},
    {rule::minix_subpartitions, "minix_subpartitions", error_for(every_reader), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " (type 81) starts with a Minix subpartition table: Linux makes "
                      "partitions of it from partition %u on, GRUB the same ones as nested "
                      "partitions, U-Boot none, and EDK2 reads it as an MBR of the slot's own, "
                      "counted from the slot's first sector", found.other);
     }},
    {rule::ebr_no_signature, "ebr_no_signature", error_for(every_reader), in_chain,
     [](std::FILE* out, const finding& found) {
         print_signature(out, ": ", found);
         std::fputs(": every reader ends the chain there", out);
     }},
    {rule::ebr_bad_boot_flag, "ebr_bad_boot_flag", error_for(u_boot | grub), in_chain,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ": entry %u has boot flag %02" PRIx64 ", not 00 or 80: U-Boot skips "
                      "the entry, GRUB reads no further partition", found.at.entry,
                      found.value);
     }},
    {rule::chain_loop, "chain_loop", error_for(every_reader), in_chain,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ": the link points back to the EBR at sector %" PRIu64 ": the chain "
                      "loops; Linux and U-Boot make its partitions again and again, EDK2 hangs",
                      found.sectors.first);
     }},
    {rule::chain_too_long, "chain_too_long", error_for(every_reader), in_chain,
     [](std::FILE* out, const finding&) {
         std::fputs(": the chain goes on past partition 255 or 256 EBRs, more than Linux reads",
                    out);
     }},
    {rule::type_85, "type_85", error_for(edk2), in_chain,
     [](std::FILE* out, const finding&) {
         std::fputs(": the link has type 85: EDK2 follows only 05 and 0f and ends the chain there",
                    out);
     }},
    {rule::link_not_extended, "link_not_extended", error_for(every_reader), in_chain,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ": entry 2, the link, has type %02" PRIx64 ", not 05 or 0f: Linux "
                      "makes it a partition, EDK2 ends the chain there", found.value);
     }},
    {rule::link_size_zero, "link_size_zero", error_for(every_reader), in_chain,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ": entry %u is a link of size 0: Linux ends the chain there",
                      found.at.entry);
     }},
    {rule::link_outside, "link_outside", error_for(edk2), in_chain,
     [](std::FILE* out, const finding& found) {
         print_link(out, found, ", outside the extended partition", edk2_ends_the_chain);
     }},
    {rule::first_link_past_extended, "first_link_past_extended", error_for(edk2), in_chain,
     [](std::FILE* out, const finding& found) {
         print_link(out, found, ", past the end of the extended partition", edk2_makes_no_logical);
     }},
    {rule::link_over_partition, "link_over_partition", error_for(edk2), in_chain,
     [](std::FILE* out, const finding& found) {
         std::fputs(": the link's sectors take in sectors ", out);
         print_range(out, found.sectors);
         std::fputs(" of the partition", out);
         std::fputs(edk2_makes_no_logical, out);
     }},
    {rule::link_past_disk_end, "link_past_disk_end", error_for(every_reader), in_chain,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ": the link points to sector %" PRIu64, found.sectors.first);
         print_past_disk(out, found.bounds);
     }},
    {rule::link_before_partition, "link_before_partition", error_for(edk2), in_chain,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ": entry 1 is a link (type %02" PRIx64 ") and entry 2 holds the "
                      "partition: EDK2 follows entry 1 and skips the partition", found.value);
     }},
    {rule::ebr_without_partition, "ebr_without_partition", error_for(edk2), in_chain,
     [](std::FILE* out, const finding&) {
         std::fputs(": a link but no partition in entry 1: EDK2 ends the chain there, before the "
                    "partitions after it", out);
     }},
    {rule::ebr_extra_entry, "ebr_extra_entry", error_for(every_reader), in_chain,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ": entry %u is used: EDK2 reads only entry 1, the partition, and entry "
                      "2, the link", found.at.entry);
     }},
    {rule::logical_size_zero, "logical_size_zero", error_for(every_reader), in_chain,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, ": entry 1 has type %02" PRIx64 " but size 0: Linux makes no partition "
                      "of it, U-Boot and GRUB make one and number the rest differently, EDK2 ends "
                      "the chain there", found.value);
     }},
    {rule::logical_type_zero, "logical_type_zero", error_for(u_boot | grub), subject::logical,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " has type 00 but size %" PRIu64 ": Linux makes it a partition, U-Boot "
                      "and GRUB do not and number the partitions after it differently",
                      found.value);
     }},
    {rule::logical_at_ebr, "logical_at_ebr", error_destroying(every_reader), subject::logical,
     [](std::FILE* out, const finding&) {
         std::fputs(" starts at its own EBR (first sector 0): its contents overwrite the chain",
                    out);
     }},
    {rule::logical_outside, "logical_outside", error_for(every_reader), subject::logical,
     [](std::FILE* out, const finding& found) {
         std::fputs(" lies at sectors ", out);
         print_range(out, found.sectors);
         std::fprintf(out, ", outside the extended partition in slot %u (sectors ",
                      found.at.extended_slot);
         print_range(out, found.bounds);
         std::fputs(")", out);
         std::fputs(edk2_ends_the_chain, out);
     }},
    {rule::logical_over_ebr, "logical_over_ebr", error_destroying(every_reader), subject::logical,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " lies over the EBR at sector %" PRIu64 ": writing it destroys the "
                      "chain", found.sectors.first);
     }},
    // Only 7-Zip rejects these two; every board reads them as written.
    {rule::out_of_order, "out_of_order", warning_for(), subject::slot | subject::logical,
     [](std::FILE* out, const finding& found) {
         if (found.at.kind == subject::logical) {
             std::fprintf(out, " starts at sector %" PRIu64 ", before ", found.value);
         } else {
             std::fprintf(out, " (sector %" PRIu64 ") starts before ", found.value);
         }
         print_part(out, found.other);
         std::fprintf(out, " (sector %" PRIu64 "): 7-Zip rejects partitions out of disk order",
                      found.wanted);
     }},
    {rule::ends_on_last_mbr_sector, "ends_on_last_mbr_sector", warning_for(), subject::slot,
     [](std::FILE* out, const finding&) {
         std::fputs(" ends at sector 4294967295, the last an MBR can name: 7-Zip adds first sector "
                    "and size in 32 bits, gets 0 and rejects the table", out);
     }},
    {rule::several_bootable, "several_bootable", warning_for(), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " is marked bootable, and so is slot %u", found.other);
     }},
    {rule::type_zero_used, "type_zero_used", warning_for(linux_kernel | edk2), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " has type 00 but size %" PRIu64 ": Linux makes it a partition, U-Boot, "
                      "EDK2 and GRUB skip it", found.value);
     }},
    {rule::no_disk_identifier, "no_disk_identifier", warning_for(), subject::disk,
     [](std::FILE* out, const finding&) {
         std::fputs("disk identifier is 00000000: libblkid then gives no partition a PARTUUID, so "
                    "/dev/disk/by-partuuid/ and PARTUUID= in fstab find nothing (the kernel's "
                    "root=PARTUUID=00000000-01 still works); write one at byte 440", out);
     }},
}};
// clang-format on
static_assert(rows_follow(mbr_rules, first_mbr_rule));
