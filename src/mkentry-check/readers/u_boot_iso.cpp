// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// U-Boot 2023.01's disk/part_iso.c, which Debian's qemu_arm build has
// (CONFIG_ISO_PARTITION) and part.c tries after the DOS driver: a disk
// without a DOS MBR whose block 16 is a primary volume descriptor. Its
// descriptors are read up to the block its L path table field names, the
// first of type 0 taken as the boot record; then `part list` shows the
// catalog's bootable entries (88) one after another, until an entry that
// is not bootable (00) or a record of no known kind. Sizes count 2048-byte
// blocks: a no-emulation count of 512-byte sectors is divided by 4.
#include <algorithm>
#include <string_view>

#include "readers/access.h"

namespace {

constexpr std::uint64_t cd_block = 2048;
constexpr std::uint64_t primary_block = 16;
// The descriptors U-Boot reads are bounded by the path table's block; the
// model reads no more than these past block 16.
constexpr std::uint64_t max_descriptors = 64;

using cd_bytes = std::array<std::uint8_t, cd_block>;

std::uint32_t le16_at(const cd_bytes& bytes, std::size_t at)
{
    return bytes[at] | std::uint32_t{bytes[at + 1]} << 8;
}

bool holds(const cd_bytes& bytes, std::size_t at, std::string_view text)
{
    return std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

// iso_dread: a 2048-byte block, four sectors on a 512-byte disk.
bool read_block(const model_disk& disk, std::uint64_t block, cd_bytes& out)
{
    return read_bytes(disk, block * cd_block, out);
}

// The catalog's block, from the boot record among the descriptors; 0 for none.
std::uint64_t catalog_block(const model_disk& disk)
{
    cd_bytes block{};
    if (!read_block(disk, primary_block, block) || block[0] != 1 || !holds(block, 1, "CD001")) {
        return 0;
    }
    const std::uint64_t last =
        std::min<std::uint64_t>(get_le32(block, 140), primary_block + max_descriptors);
    for (std::uint64_t at = primary_block; at < last; ++at) {
        if (!read_block(disk, at, block) || block[0] == 0xff) {
            return 0;
        }
        if (block[0] == 0x00) {
            break;
        }
    }
    // Past the loop without a boot record, the block read last is checked.
    return holds(block, 7, "EL TORITO SPECIFICATION") ? get_le32(block, 71) : 0;
}

std::uint64_t blocks_of(const cd_bytes& catalog, std::size_t at)
{
    switch (catalog[at + 1]) {
    case 0x00:
        return le16_at(catalog, at + 6) >> 2;
    case 0x01:
        return 2400 >> 2;
    case 0x02:
    case 0x04:
        return 2880 >> 2;
    case 0x03:
        return 5760 >> 2;
    default:
        return 0;
    }
}

} // namespace

void read_iso_as_u_boot(const model_disk& disk, reader_view& view)
{
    const std::uint32_t size = disk.disk.sector_size;
    const std::uint64_t block = size == 512 || size == cd_block ? catalog_block(disk) : 0;
    cd_bytes catalog{};
    if (block == 0 || !read_block(disk, block, catalog) || catalog[30] != 0x55 ||
        catalog[31] != 0xaa) {
        return;
    }
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < 32; at += 2) {
        sum += le16_at(catalog, at);
    }
    if ((sum & 0xffff) != 0) {
        return;
    }
    const std::uint64_t scale = cd_block / size;
    std::uint32_t number = 1;
    for (std::size_t at = 32; at < catalog.size(); at += 32) {
        const std::uint8_t kind = catalog[at];
        if (kind == 0x88) {
            view.scheme = reader_scheme::cdrom;
            make(view,
                 {number++, 0, get_le32(catalog, at + 8) * scale, blocks_of(catalog, at) * scale});
        } else if (kind != 0x90 && kind != 0x91 && kind != 0x44) {
            return; // an entry that is not bootable ends the list, as does any other record
        }
    }
}
