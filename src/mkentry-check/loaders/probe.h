// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What the probes of each loader format share: reading only inside the
// disk, the fields of their headers, and a loader's sectors from its bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "loaders/loaders.h"

// A header's bytes as found at a byte offset of the disk.
struct probe_at {
    std::span<const std::uint8_t> bytes;
    std::uint64_t offset;
};

// The disk's size in bytes.
inline std::uint64_t disk_bytes(const check_context& check)
{
    return check.disk.sectors * check.disk.sector_size;
}

// Reads out whole from offset when it lies inside the disk; false, and
// nothing read, when it does not (or the read fails).
bool read_inside(check_context& check, std::uint64_t offset, std::span<std::uint8_t> out);

constexpr std::uint32_t le16(std::span<const std::uint8_t> in, std::size_t at)
{
    return static_cast<std::uint32_t>(in[at] | in[at + 1] << 8);
}

constexpr std::uint32_t le32(std::span<const std::uint8_t> in, std::size_t at)
{
    return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8 |
           static_cast<std::uint32_t>(in[at + 2]) << 16 |
           static_cast<std::uint32_t>(in[at + 3]) << 24;
}

constexpr std::uint32_t be32(std::span<const std::uint8_t> in, std::size_t at)
{
    return static_cast<std::uint32_t>(in[at]) << 24 | static_cast<std::uint32_t>(in[at + 1]) << 16 |
           static_cast<std::uint32_t>(in[at + 2]) << 8 | static_cast<std::uint32_t>(in[at + 3]);
}

// Whether bytes hold text at an offset.
bool holds(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view text);

// A loader of size bytes from byte first: the disk's sectors it takes,
// and past_disk when it claims any past the disk's end.
boot_loader loader_of(const check_context& check, loader_family family, loader_kind kind,
                      std::uint64_t first, std::uint64_t size, std::uint64_t header);

// The probes, each of a header's bytes found at a byte offset; true when
// the bytes hold that format's magic, found then set whatever its checks
// say. Each reads what else its checks need.
bool probe_egon(check_context& check, const probe_at& at, boot_loader& found);
bool probe_toc0(check_context& check, const probe_at& at, boot_loader& found);
bool probe_rockchip(check_context& check, const probe_at& at, boot_loader& found);
bool probe_ivt(check_context& check, const probe_at& at, loader_family family, boot_loader& found);
bool probe_mlo(check_context& check, const probe_at& at, boot_loader& found);
bool probe_aml(check_context& check, const probe_at& at, boot_loader& found);
// A uImage or a FIT at a byte offset, which it reads itself.
bool probe_u_boot(check_context& check, loader_family family, std::uint64_t offset,
                  boot_loader& found);

inline constexpr std::uint32_t uimage_magic = 0x27051956;
inline constexpr std::uint32_t fdt_magic = 0xd00dfeed;

// Whether the first bytes of a place could begin a uImage or a FIT: what
// a place without one costs, before probe_u_boot reads its header.
constexpr bool may_be_u_boot(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 4 && (be32(bytes, 0) == uimage_magic || be32(bytes, 0) == fdt_magic);
}

// Bytes the probes need from a header's start.
inline constexpr std::size_t egon_header_bytes = 48;
inline constexpr std::size_t rockchip_header_bytes = 512;
inline constexpr std::size_t ivt_bytes = 32;
inline constexpr std::size_t mlo_header_bytes = 520;
inline constexpr std::size_t aml_header_bytes = 64;
