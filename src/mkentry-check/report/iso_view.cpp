// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// An ISO 9660 volume's El Torito boot images: for people a line each, for
// scripts a list, each with its platform, its start in 2048-byte blocks
// and its count in 512-byte sectors, and where EDK2 makes it.
#include <cinttypes>

#include "report/views.h"

namespace {

const char* platform_name(std::uint8_t platform)
{
    switch (platform) {
    case static_cast<std::uint8_t>(boot_platform::bios):
        return "bios";
    case static_cast<std::uint8_t>(boot_platform::uefi):
        return "uefi";
    default:
        return "other";
    }
}

} // namespace

void print_iso_text(std::FILE* out, const iso_volume& iso)
{
    if (!iso.present) {
        return;
    }
    std::fprintf(out, "iso 9660: %" PRIu32 " blocks of 2048 bytes", iso.volume_blocks);
    if (iso.has_catalog) {
        std::fprintf(out, ", El Torito boot catalog at block %" PRIu32, iso.catalog_block);
    }
    std::fputs("\n", out);
    for (std::size_t i = 0; i < iso.image_count; ++i) {
        const boot_image& image = iso.images[i];
        std::fprintf(out,
                     "boot image %" PRIu32 ": %s, media %u, block %" PRIu32 ", %u sectors of 512 "
                     "bytes; EDK2 makes sectors %" PRIu64 "-%" PRIu64 "\n",
                     image.entry, platform_name(image.platform), image.media, image.block,
                     image.count, image.as_edk2.first, image.as_edk2.last);
    }
}

void print_iso_json(std::FILE* out, const iso_volume& iso)
{
    if (!iso.present) {
        return;
    }
    std::fprintf(out, ",\n   \"iso9660\": {\"blocks\": %" PRIu32 ", \"boot_images\": [",
                 iso.volume_blocks);
    for (std::size_t i = 0; i < iso.image_count; ++i) {
        const boot_image& image = iso.images[i];
        std::fprintf(out,
                     "%s{\"entry\": %" PRIu32 ", \"platform\": \"%s\", \"media\": %u, "
                     "\"block\": %" PRIu32 ", \"count\": %u, \"start\": %" PRIu64
                     ", \"size\": %" PRIu64 "}",
                     i == 0 ? "" : ", ", image.entry, platform_name(image.platform), image.media,
                     image.block, image.count, image.as_edk2.first, size_of(image.as_edk2));
    }
    std::fputs("]}", out);
}
