// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Where things go in the picture of a disk: the bar's scale from sectors
// to pixels, and the room a label takes, decided here for a monospace font
// of a fixed advance rather than by the browser.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "disk/ranges.h"

// The font: 12 px, of which every monospace font in use advances a
// character by 0.6 em (7.2 px); the layout gives each 8 px, so that what
// fits here fits there.
inline constexpr int font_size = 12;
inline constexpr int advance = 8;
inline constexpr int picture_width = 1000;
inline constexpr int bar_left = 96; // the rows' names stand left of the bar
inline constexpr int bar_width = 880;
inline constexpr int bar_right = bar_left + bar_width;

// The bar's scale. On a disk of more than 1 MiB the first MiB takes a
// fixed share of the bar, first_mib_width pixels, and inside it a sector's
// place grows with the square root of its offset, so that a one-sector
// MBR, a GPT's array at 1 KiB and a loader at 8 KiB or 32 KiB each get
// room of their own; the rest of the disk is linear in the rest of the
// bar, and the break between the two is marked and labelled. A disk of at
// most 1 MiB is linear across the whole bar.
inline constexpr int first_mib_width = 264;

struct bar_scale {
    std::uint64_t sectors;   // the disk's
    std::uint64_t first_mib; // the sectors of its first MiB; 0: no break
};

bar_scale scale_for(std::uint64_t sectors, std::uint32_t sector_size);

// The x of the boundary before a sector, for sector 0 to the disk's
// sector count, its end; a sector past the end is at the end.
int x_of(const bar_scale& scale, std::uint64_t sector);

// A range's box: from its first sector's boundary to its last's end, at
// least min_box pixels wide, inside the bar.
inline constexpr int min_box = 2;
struct box_span {
    int left;
    int width;
};
box_span span_of(const bar_scale& scale, const sector_range& sectors);

// The pixels of one row already taken by labels, one bit a pixel, so that
// no label is written over another.
struct label_lane {
    std::array<std::uint64_t, (picture_width + 63) / 64> taken{};
};

// Takes pixels from left up to right (not included) if none is taken.
bool take(label_lane& lane, int left, int right);

// A label's width in pixels, with a pixel of room each side.
constexpr int label_width(std::size_t columns) { return static_cast<int>(columns) * advance + 4; }
