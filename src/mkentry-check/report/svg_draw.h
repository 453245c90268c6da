// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What the parts of the picture of a disk share: the picture being
// written, its rows' places, and the shapes and labels they are drawn with.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "report/row.h"
#include "report/svg_layout.h"
#include "table.h"

// Fixed text in an array of its own, up to its first zero: a table of
// them holds no pointer for the loader to relocate at every start.
template <std::size_t size> struct fixed_text {
    std::array<char, size> chars;
    [[nodiscard]] constexpr std::string_view view() const
    {
        std::size_t length = 0; // by hand: find() would import memchr
        while (length < size && chars[length] != '\0') {
            ++length;
        }
        return {chars.data(), length};
    }
};

// The rows' tops, in pixels; a bar row is row_height high.
inline constexpr int row_height = 22;
inline constexpr int marker_top = 52; // two lanes of markers, 18 px apart
inline constexpr int marker_lanes = 2;
inline constexpr int scale_y = 108;   // the scale's line
inline constexpr int first_row = 114; // the table's structures
inline constexpr int row_step = 26;

// A row's labels are held apart until its boxes are drawn, so that no box
// of a row hides a label of it: labels that cannot overlap take at most
// the bar's 110 columns, each at most 5 bytes (&amp;) and a tag, well
// inside the buffer.
struct picture {
    row_text row;
    row_text labels;
    bar_scale scale;
    std::size_t left_out = 0; // labels that did not fit
    int next_row = first_row; // the top of the next bar row
    bool in_row = false;
};

// The classes of the style sheet, each a fill and a stroke.
enum class look : std::uint8_t {
    partition,
    extended,
    structure,
    iso,
    reserved,
    free,
    differs,
    written_by_reader,
    loader,
    error,
    warning,
};

void put_number(picture& pic, std::uint64_t value);
// A coordinate, 0 for any below.
void put_int(picture& pic, int value);
void put_rect(picture& pic, int left, int top, int width, int height, look kind);
// A box of a bar row, in the row's own coordinates.
void put_box(picture& pic, const box_span& box, look kind);
void put_text_start(picture& pic, int left, int baseline);
void put_text_end(picture& pic);

// A label with a name in it: prefix, the name escaped, suffix.
struct label_text {
    std::string_view prefix;
    std::string_view name;
    std::string_view suffix;
};

// The first of labels that fits in the box and in the lane, written in the
// box; none that fits counts as left out. Labels run from the longest.
void put_label(picture& pic, label_lane& lane, const box_span& box, int top,
               std::span<const label_text> labels);

// A bar row: its name left of the bar, then a group of its boxes and
// labels, each placed from the row's top; returns that top, 0. The row's
// labels, after its boxes, end the group.
int start_row(picture& pic, std::string_view name);
void put_labels(picture& pic);

// How many rows the bar has on this disk, each drawn by one of these.
int bar_rows(const checked_table& table);

// The rows of the bar: the table's structures and the partitions as
// written, each reader's, and a hybrid MBR's.
void draw_structures(picture& pic, const checked_table& table);
void draw_partitions(picture& pic, const checked_table& table);
void draw_readers(picture& pic, const checked_table& table);
void draw_hybrid(picture& pic, const checked_table& table);

// The boot loaders found on the disk's raw sectors, on the structures'
// row; and the row of the ROM that --soc names.
void draw_loaders(picture& pic, label_lane& lane, int top, const checked_table& table);
void draw_rom_row(picture& pic, const checked_table& table);
