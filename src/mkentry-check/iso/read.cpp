// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The volume descriptors and the El Torito boot catalog, read as EDK2
// 2022.11's ElTorito.c reads them: descriptors from byte 32768 until a
// terminator or one without CD001, a boot record's catalog checked by its
// validation entry, then every bootable entry of the catalog's first 512
// bytes that has a start. Linux 6.1 and GRUB 2.06 have no El Torito
// reader; U-Boot 2023.01 tries its partition drivers in the order of their
// names, dos before iso, so a disk with 55 aa is read as DOS there.
#include <algorithm>
#include <string_view>

#include "iso/iso.h"

namespace {

constexpr std::uint64_t descriptors_at = 32768;
// EDK2 reads descriptors up to the disk's end; the set a tool writes is
// two to four long, and past these a set is taken as one that never ends.
constexpr std::size_t max_descriptors = 16;
constexpr std::uint8_t primary_type = 1;
constexpr std::uint8_t terminator_type = 255;
constexpr std::string_view standard_id = "CD001";
constexpr std::string_view el_torito_id = "EL TORITO SPECIFICATION";
constexpr std::size_t record = 32;
constexpr std::uint8_t bootable = 0x88;
constexpr std::uint8_t more_sections = 0x90;
constexpr std::uint8_t last_section = 0x91;
constexpr std::uint8_t extension = 0x44;

using block_bytes = std::array<std::uint8_t, iso_block>;

std::uint32_t le16(const std::uint8_t* at) { return at[0] | std::uint32_t{at[1]} << 8; }

std::uint32_t le32(const std::uint8_t* at) { return le16(at) | le16(at + 2) << 16; }

bool holds(const std::uint8_t* at, std::string_view text)
{
    return std::equal(text.begin(), text.end(), at);
}

// The diskettes' sizes in virtual sectors, as EDK2 takes them for media 1-3.
std::uint32_t diskette_sectors(std::uint8_t media)
{
    constexpr std::array<std::uint32_t, 3> sizes = {0x50 * 0x02 * 0x0f, 0x50 * 0x02 * 0x12,
                                                    0x50 * 0x02 * 0x24};
    return sizes[media - 1];
}

// EDK2's child for an entry: a count below 2 reaches the volume's end, or
// the disk's where the volume is larger, in 32 bits as EDK2 casts it; else
// the count is taken in 2048-byte blocks' worth of the sub-block size.
boot_image image_of(const std::uint8_t* entry, std::uint8_t platform, const iso_volume& iso,
                    const disk_geometry& disk)
{
    const std::uint64_t ratio = iso_block / disk.sector_size;
    boot_image image = {0,
                        platform,
                        static_cast<std::uint8_t>(entry[1] & 0x0f),
                        le32(entry + 8),
                        static_cast<std::uint16_t>(le16(entry + 6)),
                        no_sectors,
                        no_sectors};
    std::uint64_t count = image.count;
    std::uint64_t sub = virtual_sector;
    if (image.media == 0) {
        sub = disk.sector_size;
    } else if (image.media <= 3) {
        count = diskette_sectors(image.media);
    } else if (image.media != 4) {
        count = 0;
    }
    const std::uint64_t start = image.block * ratio;
    if (count < 2) {
        const std::uint64_t size =
            std::uint64_t{iso.volume_blocks} * ratio > disk.sectors
                ? static_cast<std::uint32_t>(disk.sectors - start)
                : static_cast<std::uint32_t>(iso.volume_blocks - image.block) * ratio;
        image.as_edk2 = image.written = sectors_from(start, size);
        return image;
    }
    image.as_edk2 =
        sectors_from(start, (count * ratio * sub + disk.sector_size - 1) / disk.sector_size);
    // As written, the count is of 512-byte sectors; EDK2 takes four times as many.
    image.written =
        sectors_from(start, (count * virtual_sector + disk.sector_size - 1) / disk.sector_size);
    return image;
}

// The sections as El Torito lays them out, each header counting its
// entries: a catalog whose counts run past its block is a fault, but
// EDK2 reads its records all the same.
bool sections_fit(const block_bytes& catalog)
{
    std::size_t at = 2 * record; // past the validation and initial entries
    std::size_t left = 0;
    bool last = false;
    while (at + record <= catalog.size()) {
        const std::uint8_t indicator = catalog[at];
        if (left == 0 && last) {
            return true;
        }
        if (left == 0) {
            if (indicator != more_sections && indicator != last_section) {
                return true; // no more sections
            }
            left = le16(&catalog[at + 2]);
            last = indicator == last_section;
        } else if (indicator != extension) {
            --left;
        }
        at += record;
    }
    return left == 0;
}

void read_catalog(check_context& check, iso_volume& iso, const block_bytes& descriptor)
{
    const std::uint32_t block = le32(&descriptor[71]);
    const std::uint64_t ratio = iso_block / check.disk.sector_size;
    if (block * ratio + ratio > check.disk.sectors) {
        iso.fault = catalog_fault::catalog_past_disk;
        return;
    }
    block_bytes catalog{};
    if (!read_disk(check, std::uint64_t{block} * iso_block, "the El Torito boot catalog",
                   catalog)) {
        return;
    }
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < record; i += 2) {
        sum += le16(&catalog[i]);
    }
    if (catalog[0] != 1 || catalog[30] != 0x55 || catalog[31] != 0xaa || (sum & 0xffff) != 0) {
        iso.fault = catalog_fault::catalog_invalid;
        return;
    }
    iso.has_catalog = true;
    iso.catalog_block = block;
    if (!sections_fit(catalog)) {
        iso.fault = catalog_fault::past_its_block;
    }
    std::uint8_t platform = catalog[1];
    std::uint32_t entry = 1;
    const std::size_t records = check.disk.sector_size / record;
    for (std::size_t index = 1; index < records; ++index) {
        const std::uint8_t* at = &catalog[index * record];
        if (at[0] == more_sections || at[0] == last_section) {
            platform = at[1];
        }
        if (at[0] != bootable || le32(at + 8) == 0 || iso.image_count == iso.images.size()) {
            continue;
        }
        boot_image image = image_of(at, platform, iso, check.disk);
        image.entry = index == 1 ? 0 : entry++;
        iso.images[iso.image_count++] = image;
    }
}

} // namespace

void read_iso(check_context& check, iso_volume& iso)
{
    const std::uint64_t disk_bytes = check.disk.sectors * check.disk.sector_size;
    std::array<std::uint8_t, 8> probe{};
    if (disk_bytes < descriptors_at + iso_block ||
        !read_disk(check, descriptors_at, "the ISO 9660 volume descriptor", probe) ||
        !holds(&probe[1], standard_id)) {
        return;
    }
    iso.present = true;
    // EDK2 reads no El Torito on disks whose sectors do not make up 2048 bytes.
    const bool catalogs = iso_block % check.disk.sector_size == 0;
    for (std::size_t i = 0; i < max_descriptors; ++i) {
        const std::uint64_t offset = descriptors_at + i * iso_block;
        block_bytes descriptor{};
        if (offset + iso_block > disk_bytes ||
            !read_disk(check, offset, "an ISO 9660 volume descriptor", descriptor) ||
            descriptor[0] == terminator_type || !holds(&descriptor[1], standard_id)) {
            return;
        }
        if (descriptor[0] == primary_type) {
            iso.volume_blocks = le32(&descriptor[80]);
        }
        if (catalogs && holds(&descriptor[7], el_torito_id)) {
            read_catalog(check, iso, descriptor);
        }
    }
    iso.fault = catalog_fault::descriptors_endless;
}

sector_range volume_sectors(const iso_volume& iso, std::uint32_t sector_size)
{
    const std::uint64_t bytes = std::uint64_t{iso.volume_blocks} * iso_block;
    return sectors_from(0, (bytes + sector_size - 1) / sector_size);
}

std::uint8_t isohybrid_slot(const mbr_table& mbr, const iso_volume& iso, std::uint32_t sector_size)
{
    const sector_range volume = volume_sectors(iso, sector_size);
    if (!iso.present || is_empty(volume)) {
        return 0;
    }
    const auto inside = [](const sector_range& part, const sector_range& holder) {
        return part.first >= holder.first && part.last <= holder.last;
    };
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& holder = mbr.slots[slot - 1];
        if (holder.lba_begin != 0 || !is_used(holder) || !inside(volume, sectors_of(holder))) {
            continue;
        }
        const bool all_inside =
            std::all_of(mbr.slots.begin(), mbr.slots.end(), [&](const partition_entry& other) {
                return !is_used(other) || inside(sectors_of(other), sectors_of(holder));
            });
        return all_inside ? slot : 0;
    }
    return 0;
}

bool edk2_reads_el_torito(const iso_volume& iso, std::uint32_t sector_size)
{
    return iso.image_count != 0 && iso_block % sector_size == 0;
}
