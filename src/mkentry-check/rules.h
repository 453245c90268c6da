// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules a partition table is held to. An error is what makes a board's
// reader (Linux, U-Boot, EDK2, GRUB) not make every partition as written,
// or a layout where writing one partition destroys another or the table. A
// warning is what only a desktop tool minds, or what works but is probably
// not what the image's author meant.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

enum class rule : std::uint8_t {
    no_signature,
    bad_boot_flag,
    size_zero,
    starts_at_zero,
    past_disk_end,
    past_last_mbr_sector,
    overlap,
    over_reserved,
    two_extended,
    minix_subpartitions,
    ebr_no_signature,
    ebr_bad_boot_flag,
    chain_loop,
    chain_too_long,
    type_85,
    link_not_extended,
    link_size_zero,
    link_outside,
    first_link_past_extended,
    link_over_partition,
    link_past_disk_end,
    link_before_partition,
    ebr_without_partition,
    ebr_extra_entry,
    logical_size_zero,
    logical_type_zero,
    logical_at_ebr,
    logical_outside,
    logical_over_ebr,
    ee_not_at_sector_1,
    gpt_primary_invalid,
    gpt_backup_invalid,
    gpt_sector_size,
    gpt_over_partition,
    gpt_entry_reversed,
    gpt_entry_outside_usable,
    gpt_entry_past_128,
    hybrid_mismatch,
    hybrid_overlap,
    out_of_order,
    ends_on_last_mbr_sector,
    several_bootable,
    type_zero_used,
    unaligned,
    no_disk_identifier,
    partial_sector,
    gpt_backup_differs,
    gpt_backup_not_at_end,
    ee_size,
    ee_not_first,
    ee_boot_flag,
    hybrid,
    gpt_array_placement,
    gpt_header_size,
    gpt_revision,
    gpt_hidden,
    gpt_no_boot_partition,
    gpt_guid,
    stale_gpt,
};

enum class severity : std::uint8_t { error, warning };

struct rule_info {
    rule what;
    severity level;
    std::string_view name; // stable, for scripts that read the JSON report
};

inline constexpr std::array<rule_info, 59> rule_table = {{
    {rule::no_signature, severity::error, "no_signature"},
    {rule::bad_boot_flag, severity::error, "bad_boot_flag"},
    {rule::size_zero, severity::error, "size_zero"},
    {rule::starts_at_zero, severity::error, "starts_at_zero"},
    {rule::past_disk_end, severity::error, "past_disk_end"},
    {rule::past_last_mbr_sector, severity::error, "past_last_mbr_sector"},
    {rule::overlap, severity::error, "overlap"},
    {rule::over_reserved, severity::error, "over_reserved"},
    {rule::two_extended, severity::error, "two_extended"},
    {rule::minix_subpartitions, severity::error, "minix_subpartitions"},
    // The extended partition's chain, as Linux, U-Boot, EDK2 and GRUB walk it.
    {rule::ebr_no_signature, severity::error, "ebr_no_signature"},
    {rule::ebr_bad_boot_flag, severity::error, "ebr_bad_boot_flag"},
    {rule::chain_loop, severity::error, "chain_loop"},
    {rule::chain_too_long, severity::error, "chain_too_long"},
    {rule::type_85, severity::error, "type_85"},
    {rule::link_not_extended, severity::error, "link_not_extended"},
    {rule::link_size_zero, severity::error, "link_size_zero"},
    {rule::link_outside, severity::error, "link_outside"},
    {rule::first_link_past_extended, severity::error, "first_link_past_extended"},
    {rule::link_over_partition, severity::error, "link_over_partition"},
    {rule::link_past_disk_end, severity::error, "link_past_disk_end"},
    {rule::link_before_partition, severity::error, "link_before_partition"},
    {rule::ebr_without_partition, severity::error, "ebr_without_partition"},
    {rule::ebr_extra_entry, severity::error, "ebr_extra_entry"},
    {rule::logical_size_zero, severity::error, "logical_size_zero"},
    {rule::logical_type_zero, severity::error, "logical_type_zero"},
    {rule::logical_at_ebr, severity::error, "logical_at_ebr"},
    {rule::logical_outside, severity::error, "logical_outside"},
    {rule::logical_over_ebr, severity::error, "logical_over_ebr"},
    // A GPT disk: its protective or hybrid MBR, its headers and entries, as
    // Linux, U-Boot, EDK2 and GRUB read them, and what makes EDK2 write.
    {rule::ee_not_at_sector_1, severity::error, "ee_not_at_sector_1"},
    {rule::gpt_primary_invalid, severity::error, "gpt_primary_invalid"},
    {rule::gpt_backup_invalid, severity::error, "gpt_backup_invalid"},
    {rule::gpt_sector_size, severity::error, "gpt_sector_size"},
    {rule::gpt_over_partition, severity::error, "gpt_over_partition"},
    {rule::gpt_entry_reversed, severity::error, "gpt_entry_reversed"},
    {rule::gpt_entry_outside_usable, severity::error, "gpt_entry_outside_usable"},
    {rule::gpt_entry_past_128, severity::error, "gpt_entry_past_128"},
    {rule::hybrid_mismatch, severity::error, "hybrid_mismatch"},
    {rule::hybrid_overlap, severity::error, "hybrid_overlap"},
    // Only 7-Zip rejects these two; every board reads them as written.
    {rule::out_of_order, severity::warning, "out_of_order"},
    {rule::ends_on_last_mbr_sector, severity::warning, "ends_on_last_mbr_sector"},
    {rule::several_bootable, severity::warning, "several_bootable"},
    {rule::type_zero_used, severity::warning, "type_zero_used"},
    {rule::unaligned, severity::warning, "unaligned"},
    {rule::no_disk_identifier, severity::warning, "no_disk_identifier"},
    {rule::partial_sector, severity::warning, "partial_sector"},
    {rule::gpt_backup_differs, severity::warning, "gpt_backup_differs"},
    {rule::gpt_backup_not_at_end, severity::warning, "gpt_backup_not_at_end"},
    {rule::ee_size, severity::warning, "ee_size"},
    {rule::ee_not_first, severity::warning, "ee_not_first"},
    {rule::ee_boot_flag, severity::warning, "ee_boot_flag"},
    {rule::hybrid, severity::warning, "hybrid"},
    {rule::gpt_array_placement, severity::warning, "gpt_array_placement"},
    {rule::gpt_header_size, severity::warning, "gpt_header_size"},
    {rule::gpt_revision, severity::warning, "gpt_revision"},
    {rule::gpt_hidden, severity::warning, "gpt_hidden"},
    {rule::gpt_no_boot_partition, severity::warning, "gpt_no_boot_partition"},
    {rule::gpt_guid, severity::warning, "gpt_guid"},
    {rule::stale_gpt, severity::warning, "stale_gpt"},
}};

constexpr const rule_info& info(rule what) { return rule_table[static_cast<std::size_t>(what)]; }

constexpr bool rows_follow_the_enum()
{
    for (std::size_t i = 0; i < rule_table.size(); ++i) {
        if (static_cast<std::size_t>(rule_table[i].what) != i) {
            return false;
        }
    }
    return true;
}
static_assert(rows_follow_the_enum(), "rule_table has one row per rule, in the enum's order");

constexpr bool is_error(rule what) { return info(what).level == severity::error; }
