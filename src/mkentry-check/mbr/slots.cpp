// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The four slots of the first sector.
#include <algorithm>

#include "mbr/mbr.h"

namespace {

// Sector 2^32, one past the last an MBR can name: readers keep sector
// numbers in 32 bits.
constexpr std::uint64_t mbr_sector_count = std::uint64_t{1} << 32;

// Beside a GPT, the ee entry has rules of its own; an MBR of its own has
// none, or it would be a GPT disk's.
bool is_protective(const partition_entry& entry) { return entry.part_type == ee_type; }

void check_slot(check_context& check, const partition_entry& entry, std::uint8_t slot,
                mbr_role role, std::uint8_t holder)
{
    if (is_protective(entry)) {
        return;
    }
    const place here = at_slot(slot);
    // Beside a GPT no reader looks at an empty slot's flag: Linux rejects
    // a bad one only in its MBR reader, which steps aside for the GPT.
    if (entry.boot_flag != 0x00 && entry.boot_flag != 0x80 &&
        (role == mbr_role::whole_table || is_used(entry))) {
        add(check, {.what = rule::bad_boot_flag, .at = here, .value = entry.boot_flag});
    }
    if (!is_used(entry)) {
        return;
    }
    const std::uint64_t end = std::uint64_t{entry.lba_begin} + entry.lba_size;
    if (entry.lba_size == 0) {
        add(check, {.what = rule::size_zero, .at = here, .value = entry.part_type});
    }
    if (entry.lba_begin == 0 && slot != holder) {
        add(check, {.what = rule::starts_at_zero, .at = here});
    }
    check_past_disk_end(check, here, sectors_of(entry));
    if (end > mbr_sector_count) {
        add(check, {.what = rule::past_last_mbr_sector, .at = here, .value = end - 1});
    } else if (end == mbr_sector_count) {
        // 7-Zip adds the two in 32 bits, gets 0 and rejects the table.
        add(check, {.what = rule::ends_on_last_mbr_sector, .at = here});
    }
    check_reserved(check, here, sectors_of(entry));
    if (entry.part_type == 0) {
        add(check, {.what = rule::type_zero_used, .at = here, .value = entry.lba_size});
    }
    check_alignment(check, here, entry.lba_begin);
}

// Beside a GPT the ee entry may cover the others; two others that overlap
// are what a ROM that reads only the MBR sees. Only Linux makes a slot of
// type 00, so one that overlaps another is no error: U-Boot, EDK2 and
// GRUB skip it (beside a GPT, a ROM that reads only the MBR may not);
// nor is the isohybrid holder over the slots it holds.
void check_overlaps(check_context& check, const mbr_table& mbr, std::uint8_t slot, mbr_role role,
                    std::uint8_t holder)
{
    const rule what = role == mbr_role::beside_gpt ? rule::hybrid_overlap : rule::overlap;
    const partition_entry& entry = mbr.slots[slot - 1];
    for (std::uint8_t other = 1; other < slot; ++other) {
        const partition_entry& earlier = mbr.slots[other - 1];
        const bool type_00 = entry.part_type == 0 || earlier.part_type == 0;
        const bool skipped =
            (type_00 && role == mbr_role::whole_table) || slot == holder || other == holder;
        if (!is_protective(entry) && !is_protective(earlier) && !skipped) {
            check_overlap(check, what, at_slot(other), sectors_of(earlier), slot,
                          sectors_of(entry));
        }
    }
}

// 7-Zip wants its partitions, the slots with a type, in the order of their
// first sectors; beside a GPT it reads the GPT. A slot that starts before
// an earlier one is named with the earlier slot that starts last.
void check_order(check_context& check, const mbr_table& mbr, std::uint8_t slot)
{
    const partition_entry& entry = mbr.slots[slot - 1];
    if (entry.part_type == 0) {
        return;
    }
    std::uint8_t latest = 0;
    for (std::uint8_t other = 1; other < slot; ++other) {
        const partition_entry& earlier = mbr.slots[other - 1];
        if (earlier.part_type != 0 && earlier.lba_begin > entry.lba_begin &&
            (latest == 0 || earlier.lba_begin > mbr.slots[latest - 1].lba_begin)) {
            latest = other;
        }
    }
    if (latest != 0) {
        add(check, {.what = rule::out_of_order,
                    .at = at_slot(slot),
                    .other = latest,
                    .value = entry.lba_begin,
                    .wanted = mbr.slots[latest - 1].lba_begin});
    }
}

// Bootable flags and extended slots, each named with the first of its kind.
void check_firsts(check_context& check, const mbr_table& mbr)
{
    std::uint8_t first_bootable = 0;
    std::uint8_t first_extended = 0;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        if (entry.boot_flag == 0x80 && first_bootable != 0) {
            add(check,
                {.what = rule::several_bootable, .at = at_slot(slot), .other = first_bootable});
        } else if (entry.boot_flag == 0x80) {
            first_bootable = slot;
        }
        if (is_extended(entry.part_type) && first_extended != 0) {
            add(check, {.what = rule::two_extended, .at = at_slot(slot), .other = first_extended});
        } else if (is_extended(entry.part_type)) {
            first_extended = slot;
        }
    }
}

} // namespace

void read_mbr(mbr_table& mbr, const sector_bytes& sector)
{
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        mbr.slots[slot - 1] = read_slot(sector, slot);
    }
    mbr.identifier = disk_identifier(sector);
    mbr.signature = {sector[signature_offset], sector[signature_offset + 1]};
}

void check_signature(check_context& check, const mbr_table& mbr)
{
    if (!has_signature(mbr)) {
        add(check, {.what = rule::no_signature,
                    .at = at_disk(),
                    .value = std::uint64_t{mbr.signature[0]} << 8 | mbr.signature[1]});
    }
}

void check_slots(check_context& check, const mbr_table& mbr, mbr_role role, std::uint8_t holder)
{
    // Beside a GPT, which EDK2 reads whatever the MBR's signature, the
    // slots are checked without one too.
    check_signature(check, mbr);
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        check_slot(check, mbr.slots[slot - 1], slot, role, holder);
        if (is_used(mbr.slots[slot - 1])) {
            check_overlaps(check, mbr, slot, role, holder);
            if (role == mbr_role::whole_table) {
                check_order(check, mbr, slot);
            }
        }
    }
    check_firsts(check, mbr);
}

void check_identifier(check_context& check, const mbr_table& mbr)
{
    const bool any_used = std::any_of(mbr.slots.begin(), mbr.slots.end(), is_used);
    if (any_used && mbr.identifier == 0) {
        add(check, {.what = rule::no_disk_identifier, .at = at_disk()});
    }
}
