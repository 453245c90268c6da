// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules of an ISO 9660 volume on a disk, and of its El Torito boot
// catalog, and their check. Only EDK2 reads El Torito (before the MBR);
// Linux, U-Boot and GRUB read the MBR in the volume's system area.
#include <cinttypes>

#include "iso/iso.h"
#include "iso/iso_rules.h"
#include "rules/message.h"

namespace {

constexpr reader edk2 = reader::edk2;

constexpr std::array<const char*, 5> fault_text = {
    "",
    "the ISO 9660 volume descriptors do not end within the first 16",
    "the boot record names a boot catalog past the disk",
    "the El Torito boot catalog has no valid validation entry",
    "the El Torito boot catalog's section headers count entries past its 2048-byte block",
};

} // namespace

// clang-format off
constexpr std::array<rule_info, iso_rule_count> iso_rules = {{
    {rule::boot_image_past_disk_end, "boot_image_past_disk_end", error_for(edk2),
     subject::boot_image,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, " (block %" PRIu64 ") ends at sector %" PRIu64, found.wanted,
                      found.sectors.last);
         print_past_disk(out, found.bounds);
         std::fputs(": EDK2 makes a partition of it that it cannot read whole", out);
     }},
    {rule::el_torito_catalog_bad, "el_torito_catalog_bad", warning_for(edk2), subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fputs(found.value < fault_text.size() && found.value != 0
                        ? fault_text[static_cast<std::size_t>(found.value)]
                        : "the El Torito boot catalog cannot be read as EDK2 reads it", out);
         std::fputs(": EDK2 reads only what lies on the disk, and no more than the first 512 "
                    "bytes of the catalog", out);
     }},
    {rule::isohybrid, "isohybrid", warning_for(), subject::slot,
     [](std::FILE* out, const finding& found) {
         std::fputs(" starts at sector 0 and holds the ISO 9660 volume (sectors ", out);
         print_range(out, found.sectors);
         std::fputs(") and every other slot: the isohybrid layout, whose MBR lies in the "
                    "volume's system area by design", out);
     }},
    {rule::el_torito_boot, "el_torito_boot", warning_for(edk2), subject::disk,
     [](std::FILE* out, const finding& found) {
         std::fprintf(out, "an El Torito boot catalog at block %" PRIu64 ": EDK2 reads it before "
                      "the MBR and makes its %" PRIu64 " boot image%s and none of the MBR's "
                      "partitions; UEFI firmware boots from the boot catalog, not from these MBR "
                      "entries", found.wanted, found.value, found.value == 1 ? "" : "s");
     }},
}};
// clang-format on
static_assert(rows_follow(iso_rules, first_iso_rule));

void check_iso(check_context& check, const iso_volume& iso, std::uint8_t holder)
{
    if (iso.fault != catalog_fault::none) {
        add(check, {.what = rule::el_torito_catalog_bad,
                    .at = at_disk(),
                    .value = static_cast<std::uint64_t>(iso.fault)});
    }
    for (std::size_t i = 0; i < iso.image_count; ++i) {
        const boot_image& image = iso.images[i];
        if (image.written.last >= check.disk.sectors) {
            add(check, {.what = rule::boot_image_past_disk_end,
                        .at = {subject::boot_image, static_cast<std::uint16_t>(image.entry), 0, 0,
                               0, gpt_part::none},
                        .sectors = image.written,
                        .bounds = sectors_from(0, check.disk.sectors),
                        .wanted = image.block});
        }
    }
    if (holder != 0) {
        add(check, {.what = rule::isohybrid,
                    .at = at_slot(holder),
                    .sectors = volume_sectors(iso, check.disk.sector_size)});
    }
    if (edk2_reads_el_torito(iso, check.disk.sector_size)) {
        add(check, {.what = rule::el_torito_boot,
                    .at = at_disk(),
                    .value = iso.image_count,
                    .wanted = iso.catalog_block});
    }
}
