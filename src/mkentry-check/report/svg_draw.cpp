// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The shapes and labels every part of the picture is drawn with.
#include <algorithm>
#include <array>

#include "report/svg_draw.h"
#include "report/svg_text.h"

namespace {

// The style sheet's class of each look, as its fixed text.
constexpr std::array<fixed_text<8>, 11> look_classes = {{{"part"},
                                                         {"ext"},
                                                         {"meta"},
                                                         {"iso"},
                                                         {"resv"},
                                                         {"free"},
                                                         {"differs"},
                                                         {"writes"},
                                                         {"loader"},
                                                         {"error"},
                                                         {"warning"}}};

} // namespace

void put_number(picture& pic, std::uint64_t value) { put_column(pic.row, value, 0); }

void put_int(picture& pic, int value)
{
    put_column(pic.row, static_cast<unsigned>(std::max(value, 0)), 0);
}

namespace {

char* write_number(char* at, int value)
{
    const auto number = static_cast<std::uint64_t>(value < 0 ? 0 : value);
    const std::size_t length = decimal_length(number);
    put_digits_before(at + length, number);
    return at + length;
}

} // namespace

// Built in place with one call for room: a full GPT's picture is a
// thousand boxes.
void put_rect(picture& pic, int left, int top, int width, int height, look kind)
{
    constexpr std::size_t longest = 96;
    char* at = room(pic.row, longest);
    at = write_text(at, "<rect x=\"");
    at = write_number(at, left);
    at = write_text(at, "\" y=\"");
    at = write_number(at, top);
    at = write_text(at, "\" width=\"");
    at = write_number(at, width);
    at = write_text(at, "\" height=\"");
    at = write_number(at, height);
    at = write_text(at, "\" class=\"");
    at = write_text(at, look_classes[static_cast<std::size_t>(kind)].view());
    at = write_text(at, "\"/>\n");
    pic.row.size = static_cast<std::size_t>(at - pic.row.chars.data());
}

void put_box(picture& pic, const box_span& box, look kind)
{
    constexpr std::size_t longest = 80;
    char* at = room(pic.row, longest);
    at = write_text(at, "<rect x=\"");
    at = write_number(at, box.left);
    at = write_text(at, "\" width=\"");
    at = write_number(at, box.width);
    at = write_text(at, R"(" height="22" class=")");
    at = write_text(at, look_classes[static_cast<std::size_t>(kind)].view());
    at = write_text(at, "\"/>\n");
    pic.row.size = static_cast<std::size_t>(at - pic.row.chars.data());
}

void put_text_start(picture& pic, int left, int baseline)
{
    put(pic.row, "<text x=\"");
    put_int(pic, left);
    put(pic.row, "\" y=\"");
    put_int(pic, baseline);
    put(pic.row, "\">");
}

void put_text_end(picture& pic) { put(pic.row, "</text>\n"); }

void put_label(picture& pic, label_lane& lane, const box_span& box, int top,
               std::span<const label_text> labels)
{
    for (const label_text& label : labels) {
        const std::size_t columns =
            label.prefix.size() + escaped_columns(label.name) + label.suffix.size();
        const int width = label_width(columns);
        if (width > box.width || !take(lane, box.left, box.left + width)) {
            continue;
        }
        put(pic.labels, "<text x=\"");
        put_column(pic.labels, static_cast<unsigned>(std::max(box.left + 2, 0)), 0);
        put(pic.labels, "\" y=\"");
        put_column(pic.labels, static_cast<unsigned>(std::max(top + 15, 0)), 0);
        put(pic.labels, "\">");
        put(pic.labels, label.prefix);
        escape_for_xml(label.name, [&pic](std::string_view piece) { put(pic.labels, piece); });
        put(pic.labels, label.suffix);
        put(pic.labels, "</text>\n");
        return;
    }
    ++pic.left_out;
}

int start_row(picture& pic, std::string_view name)
{
    put_labels(pic); // the row before's
    const int top = pic.next_row;
    pic.next_row += row_step;
    put_text_start(pic, 6, top + 15);
    put(pic.row, name);
    put_text_end(pic);
    put(pic.row, "<g transform=\"translate(0,");
    put_int(pic, top);
    put(pic.row, ")\">\n");
    pic.in_row = true;
    return 0;
}

void put_labels(picture& pic)
{
    put(pic.row, {pic.labels.chars.data(), pic.labels.size});
    pic.labels.size = 0;
    if (pic.in_row) {
        put(pic.row, "</g>\n");
        pic.in_row = false;
    }
}
