// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The shapes and labels every part of the picture is drawn with.
#include <array>

#include "report/svg_draw.h"
#include "report/svg_text.h"

namespace {

// The style sheet's class of each look, as its fixed text.
constexpr std::array<std::string_view, 11> look_classes = {"part",   "ext",   "meta",    "iso",
                                                           "resv",   "free",  "differs", "writes",
                                                           "loader", "error", "warning"};

} // namespace

void put_number(picture& pic, std::uint64_t value) { put_column(pic.row, value, 0); }

void put_rect(picture& pic, int left, int top, int width, int height, look kind)
{
    if (pic.now == pass::labels) {
        return;
    }
    put(pic.row, "<rect x=\"");
    put_number(pic, static_cast<std::uint64_t>(left));
    put(pic.row, "\" y=\"");
    put_number(pic, static_cast<std::uint64_t>(top));
    put(pic.row, "\" width=\"");
    put_number(pic, static_cast<std::uint64_t>(width));
    put(pic.row, "\" height=\"");
    put_number(pic, static_cast<std::uint64_t>(height));
    put(pic.row, "\" class=\"");
    put(pic.row, look_classes[static_cast<std::size_t>(kind)]);
    put(pic.row, "\"/>\n");
}

void put_text_start(picture& pic, int left, int baseline)
{
    put(pic.row, "<text x=\"");
    put_number(pic, static_cast<std::uint64_t>(left));
    put(pic.row, "\" y=\"");
    put_number(pic, static_cast<std::uint64_t>(baseline));
    put(pic.row, "\">");
}

void put_text_end(picture& pic) { put(pic.row, "</text>\n"); }

void put_label(picture& pic, label_lane& lane, const box_span& box, int top,
               std::span<const label_text> labels)
{
    if (pic.now == pass::shapes) {
        return;
    }
    for (const label_text& label : labels) {
        const std::size_t columns =
            label.prefix.size() + escaped_columns(label.name) + label.suffix.size();
        const int width = label_width(columns);
        if (width > box.width || !take(lane, box.left, box.left + width)) {
            continue;
        }
        put_text_start(pic, box.left + 2, top + 15);
        put(pic.row, label.prefix);
        put_xml(pic.row, label.name);
        put(pic.row, label.suffix);
        put_text_end(pic);
        return;
    }
    ++pic.left_out;
}

int start_row(picture& pic, std::string_view name)
{
    const int top = pic.next_row;
    pic.next_row += row_step;
    if (pic.now == pass::shapes) {
        return top;
    }
    put_text_start(pic, 6, top + 15);
    put(pic.row, name);
    put_text_end(pic);
    return top;
}
