// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules of a GPT's entries, each as Linux, U-Boot, EDK2 and GRUB read
// them; and a GPT left behind on a disk whose MBR no longer names it.
#include <algorithm>
#include <cstring>

#include "disk/sorted.h"
#include "gpt/gpt.h"

namespace {

// U-Boot's lookups by name or UUID stop at entry 128, at 56 on sunxi
// (CONFIG_EFI_PARTITION_ENTRIES_NUMBERS).
constexpr std::uint16_t last_entry_u_boot_finds = 128;
constexpr std::uint16_t last_entry_sunxi_finds = 56;
// U-Boot's boot scan looks at partitions 1 to 29.
constexpr std::uint16_t last_partition_u_boot_scans = 29;

void check_against_earlier(check_context& check, const gpt_table& gpt, std::size_t index)
{
    const gpt_partition& partition = gpt.partitions[index];
    for (std::size_t i = 0; i < index; ++i) {
        const gpt_partition& earlier = gpt.partitions[i];
        check_overlap(check, rule::overlap, at_gpt_partition(earlier.number),
                      sectors_of(earlier.entry), partition.number, sectors_of(partition.entry));
        if (!is_zero(partition.entry.unique) &&
            same_guid(partition.entry.unique, earlier.entry.unique)) {
            add(check, {.what = rule::gpt_guid,
                        .at = at_gpt_partition(partition.number),
                        .other = earlier.number});
        }
    }
}

// Whether no two partitions share a sector: sorted by their first sectors,
// each range need only be held to the one before it.
bool ranges_apart(const gpt_table& gpt)
{
    std::array<sector_range, max_gpt_partitions> ranges;
    std::size_t used = 0;
    for (std::size_t i = 0; i < gpt.count; ++i) {
        const sector_range sectors = sectors_of(gpt.partitions[i].entry);
        if (!is_empty(sectors)) { // an empty range shares nothing
            ranges[used++] = sectors;
        }
    }
    const auto by_first = [](const sector_range& one, const sector_range& other) {
        return one.first < other.first;
    };
    sort_unless_sorted(std::span(ranges).first(used),
                       by_first); // mostly sorted, as tools lay them out
    for (std::size_t i = 1; i < used; ++i) {
        if (ranges[i].first <= ranges[i - 1].last) {
            return false;
        }
    }
    return true;
}

// Whether no two unique GUIDs share their first 8 bytes: each is put in a
// table of twice the most partitions, at a slot its bits pick (a GUID's are
// random), which costs a probe or two a GUID where sorting them cost about
// 60 instructions. A GUID whose first 8 bytes are zero, the empty slot's
// mark, counts as shared.
bool guids_apart(const gpt_table& gpt)
{
    std::array<std::uint64_t, 512> slots{};
    static_assert(slots.size() >= 2 * max_gpt_partitions);
    for (std::size_t i = 0; i < gpt.count; ++i) {
        std::uint64_t key = 0;
        std::memcpy(&key, gpt.partitions[i].entry.unique.data(), sizeof key);
        if (key == 0) {
            return false;
        }
        auto at = static_cast<std::size_t>((key * 0x9e3779b97f4a7c15) >> 55); // the top 9 bits
        for (; slots[at] != 0; at = (at + 1) % slots.size()) {
            if (slots[at] == key) {
                return false;
            }
        }
        slots[at] = key;
    }
    return true;
}

// Whether the checks of each pair of partitions would find nothing: no two
// share a sector or a unique GUID. A full array of 128 entries has 8,128
// pairs, which cost more than the rest of a run; where two may share one,
// the pairs are checked one by one.
bool pairs_apart(const gpt_table& gpt) { return ranges_apart(gpt) && guids_apart(gpt); }

bool is_esp(const gpt_partition& partition)
{
    return same_guid(partition.entry.type, efi_system_type);
}

// What U-Boot's boot scan takes: a partition it scans with the legacy BIOS
// bootable attribute or the EFI system type.
bool is_boot_partition(const gpt_partition& partition)
{
    return partition.number <= last_partition_u_boot_scans &&
           ((partition.entry.attributes & attribute_legacy_bootable) != 0 || is_esp(partition));
}

bool is_hidden(const gpt_partition& partition)
{
    return (partition.entry.attributes & attribute_no_block_io) != 0;
}

// Whether any partition but the one at index, not hidden, is of a kind.
bool other_visible(const gpt_table& gpt, std::size_t index, bool (*kind)(const gpt_partition&))
{
    for (std::size_t i = 0; i < gpt.count; ++i) {
        if (i != index && !is_hidden(gpt.partitions[i]) && kind(gpt.partitions[i])) {
            return true;
        }
    }
    return false;
}

// Attribute bit 1: EDK2 makes no partition of the entry. UEFI defines it
// for partitions firmware is to leave alone, which is no fault but on the
// one partition the firmware or U-Boot's boot scan would boot from.
void check_hidden(check_context& check, const gpt_table& gpt, std::size_t index)
{
    const gpt_partition& partition = gpt.partitions[index];
    if (!is_hidden(partition)) {
        return;
    }
    const place here = at_gpt_partition(partition.number);
    if (is_esp(partition) && !other_visible(gpt, index, is_esp)) {
        add(check, {.what = rule::gpt_hidden_boot, .at = here, .value = 1});
    } else if (is_boot_partition(partition) && !other_visible(gpt, index, is_boot_partition)) {
        add(check, {.what = rule::gpt_hidden_boot, .at = here});
    } else {
        add(check, {.what = rule::gpt_hidden, .at = here});
    }
}

// One entry's rules; apart says no pair of partitions shares anything.
void check_entry(check_context& check, const gpt_table& gpt, const gpt_header& header,
                 std::size_t index, bool apart)
{
    const gpt_partition& partition = gpt.partitions[index];
    const gpt_entry& entry = partition.entry;
    const sector_range sectors = sectors_of(entry);
    const place here = at_gpt_partition(partition.number);
    if (is_empty(sectors)) {
        add(check, {.what = rule::gpt_entry_reversed,
                    .at = here,
                    .value = entry.first_lba,
                    .wanted = entry.last_lba});
    } else if (entry.first_lba < header.first_usable || entry.last_lba > header.last_usable) {
        add(check, {.what = rule::gpt_entry_outside_usable,
                    .at = here,
                    .sectors = sectors,
                    .bounds = {header.first_usable, header.last_usable}});
    }
    // Linux drops an entry whose start or end lies past the disk.
    check_past_disk_end(
        check, here,
        {std::min(entry.first_lba, entry.last_lba), std::max(entry.first_lba, entry.last_lba)});
    if (partition.number > last_entry_u_boot_finds) {
        add(check, {.what = rule::gpt_entry_past_128, .at = here});
    }
    check_reserved(check, here, sectors);
    if (!apart) {
        check_against_earlier(check, gpt, index);
    }
    check_hidden(check, gpt, index);
    if (is_zero(entry.unique) || same_guid(entry.unique, header.disk_guid)) {
        add(check, {.what = rule::gpt_guid, .at = here});
    }
    if (!is_empty(sectors)) {
        check_alignment(check, here, sectors.first);
    }
}

// One note for the partitions numbered 57 to 128, at the first of them:
// a full array would otherwise hold 72.
void check_sunxi_numbers(check_context& check, const gpt_table& gpt)
{
    for (std::size_t i = 0; i < gpt.count; ++i) {
        const std::uint16_t number = gpt.partitions[i].number;
        if (number > last_entry_sunxi_finds && number <= last_entry_u_boot_finds) {
            add(check, {.what = rule::gpt_entry_past_56, .at = at_gpt_partition(number)});
            return;
        }
    }
}

} // namespace

void check_entries(check_context& check, const gpt_table& gpt)
{
    const gpt_header* header = listed_header(gpt);
    if (header == nullptr) {
        return;
    }
    if (is_zero(header->disk_guid)) {
        add(check,
            {.what = rule::gpt_guid,
             .at = at_gpt(gpt.from_backup ? gpt_part::backup_header : gpt_part::primary_header)});
    }
    bool boot_partition = false;
    const bool apart = pairs_apart(gpt);
    for (std::size_t i = 0; i < gpt.count; ++i) {
        check_entry(check, gpt, *header, i, apart);
        boot_partition = boot_partition || is_boot_partition(gpt.partitions[i]);
    }
    check_sunxi_numbers(check, gpt);
    if (gpt.first_number_past_kept != 0) {
        add(check,
            {.what = rule::gpt_entry_past_255,
             .at = at_gpt_partition(static_cast<std::uint16_t>(gpt.first_number_past_kept))});
    }
    if (!boot_partition) {
        add(check, {.what = rule::gpt_no_boot_partition, .at = at_disk()});
    }
}

void check_stale_gpt(check_context& check)
{
    if (check.disk.sectors < 2) {
        return;
    }
    std::array<std::uint8_t, 4096> sector;
    const std::span<std::uint8_t> bytes(sector.data(), check.disk.sector_size);
    if (read_table_sector(check, 1, "the GPT header", bytes) &&
        form_problem(bytes, decode_header(bytes), check.disk.sector_size) == gpt_field::none) {
        add(check, {.what = rule::stale_gpt, .at = at_disk()});
    }
}
