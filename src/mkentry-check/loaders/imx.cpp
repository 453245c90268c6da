// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// NXP i.MX image vector tables: at byte 1024 on i.MX 5, 6 and 7, at 32 or
// 33 KiB on i.MX 8M. The ROM checks no sum; what it takes from the IVT
// must point back at the IVT and into the image it loads.
#include <array>

#include "loaders/probe.h"

namespace {

constexpr std::uint32_t ivt_tag = 0xd1;
constexpr std::uint32_t dcd_tag = 0xd2;
// Where the IVT lies inside its image: 1 KiB in on the i.MX 6 (the ROM
// loads from byte 0), at 0 or 1 KiB on the i.MX 8M, by its ROM's version.
constexpr std::uint32_t imx6_ivt_within = 0x400;
constexpr std::uint32_t boot_data_bytes = 12;
// Past the header, and within the first 4 KiB the ROM reads first.
constexpr std::uint32_t header_area = 0x1000;
// Far more than any board's DRAM-loaded first stage.
constexpr std::uint32_t most_bytes = 16 * 1024 * 1024;

struct ivt_fields {
    std::uint32_t entry;
    std::uint32_t dcd;
    std::uint32_t boot_data;
    std::uint32_t self;
};

struct boot_data_fields {
    std::uint32_t start;
    std::uint32_t size;
};

bool is_ivt(std::span<const std::uint8_t> bytes)
{
    return bytes[0] == ivt_tag && bytes[1] == 0x00 && bytes[2] == 0x20 && (bytes[3] & 0xf0) == 0x40;
}

// The IVT's distance from its image's start is self - boot_data.start.
bool self_fits(loader_family family, std::uint32_t within, std::uint64_t offset)
{
    if (family == loader_family::imx6) {
        return within == imx6_ivt_within && offset == imx6_ivt_within;
    }
    return within == 0 || within == imx6_ivt_within;
}

loader_problem dcd_problem(check_context& check, const probe_at& at, const ivt_fields& ivt,
                           std::uint32_t size)
{
    if (ivt.dcd == 0) {
        return loader_problem::none;
    }
    const std::uint32_t distance = ivt.dcd - ivt.self;
    std::array<std::uint8_t, 1> tag{};
    if (distance < 0x20 || distance >= size || !read_inside(check, at.offset + distance, tag) ||
        tag[0] != dcd_tag) {
        return loader_problem::dcd;
    }
    return loader_problem::none;
}

// The checks past the self pointer, of an image of data.size bytes.
loader_problem image_problem(check_context& check, const probe_at& at, const ivt_fields& ivt,
                             const boot_data_fields& data, std::uint32_t within)
{
    if (data.size <= within + ivt_bytes) {
        return loader_problem::length;
    }
    if (data.size > most_bytes) {
        return loader_problem::too_large;
    }
    if (ivt.entry < data.start || ivt.entry - data.start >= data.size) {
        return loader_problem::entry;
    }
    return dcd_problem(check, at, ivt, data.size);
}

} // namespace

bool probe_ivt(check_context& check, const probe_at& at, loader_family family, boot_loader& found)
{
    if (!is_ivt(at.bytes)) {
        return false;
    }
    const ivt_fields ivt = {le32(at.bytes, 4), le32(at.bytes, 12), le32(at.bytes, 16),
                            le32(at.bytes, 20)};
    found = loader_of(check, family, loader_kind::imx_ivt, at.offset, ivt_bytes, at.offset);
    const std::uint32_t to_data = ivt.boot_data - ivt.self;
    std::array<std::uint8_t, boot_data_bytes> bytes{};
    if (to_data < ivt_bytes || to_data >= header_area ||
        !read_inside(check, at.offset + to_data, bytes)) {
        found.problem = loader_problem::boot_data;
        return true;
    }
    const boot_data_fields data = {le32(bytes, 0), le32(bytes, 4)};
    const std::uint32_t within = ivt.self - data.start;
    if (!self_fits(family, within, at.offset)) {
        found.problem = loader_problem::self_pointer;
        return true;
    }
    // The i.MX 6's image counts from byte 0 of the card, whose first 1 KiB
    // the ROM reads and ignores: the loader's own sectors start at its IVT.
    const std::uint64_t image = at.offset - within;
    const std::uint64_t first = family == loader_family::imx6 ? at.offset : image;
    const std::uint64_t end = image + data.size;
    const std::uint64_t size = end > first + ivt_bytes ? end - first : ivt_bytes;
    found = loader_of(check, family, loader_kind::imx_ivt, first, size, at.offset);
    const loader_problem problem = image_problem(check, at, ivt, data, within);
    if (problem != loader_problem::none) {
        found.problem = problem;
    }
    return true;
}
