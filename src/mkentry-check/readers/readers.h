// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What each board reader makes of a disk: the scheme it reads, the
// partitions it makes by its own numbers, what EDK2 writes back, and
// where a reader hangs or crashes. One model a reader, each read from the
// code of the version Debian 12 ships: Linux 6.1, U-Boot 2023.01 (its
// 32-bit qemu_arm build), EDK2 2022.11 (OVMF) and GRUB 2.06.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "disk/geometry.h"
#include "disk/ranges.h"
#include "disk/reader.h"
#include "partition_table.h"

struct iso_volume;

// The board readers modelled, in the order the reports name them.
enum class board : std::uint8_t { linux_kernel, u_boot, edk2, grub };
inline constexpr std::size_t board_count = 4;
inline constexpr std::array<board, board_count> boards = {board::linux_kernel, board::u_boot,
                                                          board::edk2, board::grub};

enum class reader_scheme : std::uint8_t { none, dos, gpt, cdrom };
enum class reader_fails : std::uint8_t { none, hangs, crashes };

// A partition a reader makes, in the disk's logical sectors.
struct made_partition {
    std::uint32_t number; // the reader's own number
    std::uint32_t nested; // EDK2's logical partitions: 2.1 is number 2, nested 1
    std::uint64_t start;
    std::uint64_t size; // as the reader computes it: a reversed GPT entry wraps
};

// Sectors a reader writes on its own, and with what.
struct disk_write {
    sector_range sectors;
    const char* what;
};

// Enough for every partition Linux makes; a reader that makes more has
// the rest counted.
inline constexpr std::size_t max_made = 256;

struct reader_view {
    reader_scheme scheme = reader_scheme::none;
    std::array<made_partition, max_made> partitions;
    std::size_t count = 0;
    std::size_t not_kept = 0;
    std::array<disk_write, 2> writes{};
    std::size_t write_count = 0;
    reader_fails fails = reader_fails::none;
};

using reader_views = std::array<reader_view, board_count>;

constexpr const reader_view& view_of(const reader_views& views, board which)
{
    return views[static_cast<std::size_t>(which)];
}

// The CRC of an entry array that the checks already took: the models do
// not read it again.
struct known_crc {
    std::uint64_t first_sector = 0;
    std::uint64_t bytes = 0; // 0: none
    std::uint32_t crc = 0;
};

// The disk as a model reads it. Nothing past its last sector is read.
struct model_disk {
    disk_geometry disk;
    sector_reader reader;
    const sector_bytes* first;        // the first 512 bytes, as the checks read them
    std::array<known_crc, 2> known{}; // the primary's array and the backup's
    const iso_volume* iso = nullptr;  // the El Torito catalog as the checks read it, if any
};

// Each model, and all four: the partitions of a view are in the order the
// reader lists them.
void read_as_linux(const model_disk& disk, reader_view& view);
void read_as_u_boot(const model_disk& disk, reader_view& view);
void read_as_edk2(const model_disk& disk, reader_view& view);
void read_as_grub(const model_disk& disk, reader_view& view);
void read_as_each(const model_disk& disk, reader_views& views);
