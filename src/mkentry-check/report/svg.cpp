// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The picture's frame: its head, title and scale, the findings' markers
// over the bar and their list under it, and the legend.
#include "report/svg.h"

#include <algorithm>
#include <array>

#include "report/report.h"
#include "report/svg_draw.h"
#include "report/svg_text.h"

namespace {

// The findings drawn and listed; the rest are counted. Bounded, so that the
// picture of a disk of 512 findings stays a picture.
inline constexpr std::size_t max_listed = 48;
inline constexpr int line_step = 16;
inline constexpr std::size_t list_columns = (picture_width - 40) / advance;

struct listed_finding {
    const finding* found;
    captured_message message;
    std::size_t lines;
};

struct finding_set {
    std::array<listed_finding, max_listed> listed;
    std::size_t count = 0;
    std::size_t lines = 0;
    std::size_t not_listed = 0;
};

// "12 error: ", before the message's first line.
struct list_prefix {
    std::array<char, 24> chars;
    std::size_t size;
};

list_prefix prefix_of(std::size_t number, const finding& found)
{
    list_prefix prefix{};
    const std::size_t length = decimal_length(number);
    put_digits_before(prefix.chars.data() + length, number);
    char* end =
        write_text(prefix.chars.data() + length, is_error(found.what) ? " error: " : " warning: ");
    prefix.size = static_cast<std::size_t>(end - prefix.chars.data());
    return prefix;
}

std::size_t count_lines(std::string_view text, std::size_t first_width)
{
    std::size_t lines = 0;
    std::size_t width = first_width;
    do {
        const std::size_t end = line_end(text, width);
        text.remove_prefix(std::min(text.size(), end + (end < text.size() ? 1 : 0)));
        width = list_columns;
        ++lines;
    } while (!text.empty());
    return lines;
}

void gather(finding_set& set, const checked_table& table)
{
    set.count = set.lines = 0;
    message_sink sink;
    if (table.check.findings.count != 0) {
        open_sink(sink); // a message it cannot make is listed empty
    }
    for_each_finding(table, [&set, &sink](const finding& found) {
        if (set.count == max_listed) {
            ++set.not_listed;
            return;
        }
        listed_finding& one = set.listed[set.count++];
        one.found = &found;
        capture_message(sink, one.message, found);
        const list_prefix prefix = prefix_of(set.count, found);
        one.lines =
            count_lines({one.message.chars.data(), one.message.size}, list_columns - prefix.size);
        set.lines += one.lines;
    });
    close_sink(sink);
    set.not_listed += table.check.findings.left_out;
    set.lines += set.not_listed != 0 ? 1 : 0;
}

constexpr std::string_view style_sheet =
    "<style>\n"
    "text{fill:#000;white-space:pre}\n"
    ".part{fill:#56b4e9;stroke:#1b3a4b;stroke-width:1}\n"
    ".ext{fill:#d6ecf8;stroke:#1b3a4b;stroke-width:1}\n"
    ".meta{fill:#009e73;stroke:#00402e;stroke-width:1}\n"
    ".iso{fill:#cc79a7;stroke:#4d2a3e;stroke-width:1}\n"
    ".resv{fill:#bbbbbb;stroke:#444444;stroke-width:1}\n"
    ".free{fill:#ffffff;stroke:#999999;stroke-width:1;stroke-dasharray:3 2}\n"
    ".differs{fill:#e69f00;stroke:#000000;stroke-width:2;stroke-dasharray:4 2}\n"
    ".writes{fill:#d55e00;stroke:#000000;stroke-width:1}\n"
    ".loader{fill:#f0e442;stroke:#000000;stroke-width:1}\n"
    ".error{fill:#d55e00;stroke:#000000;stroke-width:1}\n"
    ".warning{fill:#0072b2;stroke:#000000;stroke-width:1}\n"
    ".line{stroke:#000000;stroke-width:1;fill:none}\n"
    ".break{stroke:#000000;stroke-width:1;stroke-dasharray:2 3;fill:none}\n"
    "</style>\n";

// Up to a limit of bytes of a name, its first and last halves around "...".
void put_shortened(picture& pic, std::string_view name, std::size_t columns)
{
    if (escaped_columns(name) <= columns) {
        put_xml(pic.row, name);
        return;
    }
    std::size_t keep = std::min(name.size() / 2, columns / 2);
    while (keep > 0 && escaped_columns(name.substr(0, keep)) +
                               escaped_columns({name.data() + name.size() - keep, keep}) + 3 >
                           columns) {
        --keep;
    }
    put_xml(pic.row, name.substr(0, keep));
    put(pic.row, "...");
    put_xml(pic.row, {name.data() + name.size() - keep, keep});
}

// "64 MiB, 131072 sectors of 512 bytes: fails, 1 error, 2 warnings".
void put_disk_line(picture& pic, const checked_table& table, bool strict)
{
    const disk_geometry& disk = table.check.disk;
    const finding_list& findings = table.check.findings;
    std::array<char, longest_size> size{};
    const std::uint64_t bytes =
        disk.sectors > UINT64_MAX / disk.sector_size ? UINT64_MAX : disk.sectors * disk.sector_size;
    put(pic.row,
        {size.data(), static_cast<std::size_t>(write_size(size.data(), bytes) - size.data())});
    put(pic.row, ", ");
    put_number(pic, disk.sectors);
    put(pic.row, disk.sectors == 1 ? " sector of " : " sectors of ");
    put_number(pic, disk.sector_size);
    put(pic.row, fails(table, strict) ? " bytes: fails, " : " bytes: passes, ");
    put_number(pic, findings.errors);
    put(pic.row, findings.errors == 1 ? " error, " : " errors, ");
    put_number(pic, findings.warnings);
    put(pic.row, findings.warnings == 1 ? " warning" : " warnings");
}

void put_head(picture& pic, const checked_table& table, std::string_view name, bool strict,
              int height)
{
    put(pic.row, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"1000\" "
                 "height=\"");
    put_int(pic, height);
    put(pic.row, "\" viewBox=\"0 0 1000 ");
    put_int(pic, height);
    put(pic.row, "\" font-family=\"'DejaVu Sans Mono', monospace\" font-size=\"12\">\n"
                 "<title>mkentry-check: ");
    put_shortened(pic, name, 1024);
    put(pic.row, "</title>\n<desc>");
    put_shortened(pic, name, 1024);
    put(pic.row, ": ");
    put_disk_line(pic, table, strict);
    put(pic.row, pic.scale.first_mib != 0
                     ? ". The bar's first MiB is on a square-root scale, the rest linear.</desc>\n"
                     : ". The bar is linear.</desc>\n");
    put(pic.row, style_sheet);
    put(pic.row, R"(<rect x="0" y="0" width="1000" height=")");
    put_int(pic, height);
    put(pic.row, "\" fill=\"#ffffff\"/>\n");
    put_text_start(pic, 6, 20);
    put_shortened(pic, name, (picture_width - 12) / advance);
    put_text_end(pic);
    put_text_start(pic, 6, 38);
    put_disk_line(pic, table, strict);
    put_text_end(pic);
}

void put_line(picture& pic, int x1, int y1, int x2, int y2, std::string_view kind)
{
    put(pic.row, "<polyline points=\"");
    put_int(pic, x1);
    put(pic.row, ",");
    put_int(pic, y1);
    put(pic.row, " ");
    put_int(pic, x2);
    put(pic.row, ",");
    put_int(pic, y2);
    put(pic.row, "\" class=\"");
    put(pic.row, kind);
    put(pic.row, "\"/>\n");
}

// The scale: 0, the break at 1 MiB where there is one, the disk's end;
// the break's dashed line runs down through every row.
void put_scale(picture& pic, const checked_table& table, int rows_end)
{
    put_line(pic, bar_left, scale_y, bar_right, scale_y, "line");
    label_lane lane;
    const std::array<label_text, 1> zero = {{{"0", "", ""}}};
    put_label(pic, lane, {bar_left - 2, label_width(1)}, scale_y - 22, zero);
    std::array<char, longest_size> size{};
    const disk_geometry& disk = table.check.disk;
    const std::uint64_t bytes =
        disk.sectors > UINT64_MAX / disk.sector_size ? UINT64_MAX : disk.sectors * disk.sector_size;
    const std::string_view end_text(
        size.data(), static_cast<std::size_t>(write_size(size.data(), bytes) - size.data()));
    const int end_width = label_width(end_text.size());
    const std::array<label_text, 1> end = {{{end_text, "", ""}}};
    put_label(pic, lane, {bar_right - end_width + 2, end_width}, scale_y - 22, end);
    if (pic.scale.first_mib == 0) {
        put_labels(pic);
        return;
    }
    const int x = bar_left + first_mib_width;
    put(pic.row, "<polyline points=\"");
    for (const int dx : {-4, 0, 4}) {
        put_int(pic, x + dx);
        put(pic.row, dx == 0 ? ",112 " : ",104 ");
    }
    put(pic.row, "\" class=\"line\"/>\n");
    put_line(pic, x, scale_y, x, rows_end, "break");
    const std::array<label_text, 2> labels = {
        {{"1 MiB | linear from here", "", ""}, {"1 MiB", "", ""}}};
    put_label(pic, lane, {x + 2, bar_right - end_width - x - 4}, scale_y - 22, labels);
    put_labels(pic);
}

void put_shape(picture& pic, int left, int top, bool error)
{
    put(pic.row, "<polygon points=\"");
    const std::array<int, 8> diamond = {6, 0, 12, 6, 6, 12, 0, 6};
    const std::array<int, 8> triangle = {6, 0, 12, 12, 0, 12, 6, 0};
    const std::array<int, 8>& points = error ? diamond : triangle;
    for (std::size_t i = 0; i < points.size(); i += 2) {
        put_int(pic, left + points[i]);
        put(pic.row, ",");
        put_int(pic, top + points[i + 1]);
        put(pic.row, i + 2 == points.size() ? "" : " ");
    }
    put(pic.row, error ? "\" class=\"error\"/>\n" : "\" class=\"warning\"/>\n");
}

// Each finding's marker, numbered, over its sectors: in the first lane
// with room, moved right past the markers before it where none has.
void put_markers(picture& pic, const finding_set& set)
{
    std::array<label_lane, marker_lanes> lanes;
    constexpr int strip_y = 84;
    for (std::size_t i = 0; i < set.count; ++i) {
        const finding& found = *set.listed[i].found;
        const box_span span = is_empty(found.sectors) ? box_span{bar_left, min_box}
                                                      : span_of(pic.scale, found.sectors);
        const int width = 14 + label_width(decimal_length(i + 1));
        bool placed = false;
        for (int x = span.left; x + width <= picture_width && !placed; x += 6) {
            for (std::size_t lane = 0; lane < marker_lanes && !placed; ++lane) {
                if (!take(lanes[lane], x, x + width)) {
                    continue;
                }
                placed = true;
                const int top = marker_top + static_cast<int>(lane) * 18;
                put_shape(pic, x, top, is_error(found.what));
                put_text_start(pic, x + 14, top + 11);
                put_number(pic, i + 1);
                put_text_end(pic);
                put_line(pic, x + 6, top + 12, span.left, strip_y, "line");
                put_rect(pic, span.left, strip_y, span.width, 3,
                         is_error(found.what) ? look::error : look::warning);
            }
        }
        pic.left_out += placed ? 0 : 1;
    }
}

struct legend_item {
    look kind;
    fixed_text<24> text;
};

constexpr std::array<legend_item, 11> legend_items = {{
    {look::partition, {"partition"}},
    {look::extended, {"extended"}},
    {look::structure, {"table structure"}},
    {look::iso, {"ISO 9660"}},
    {look::reserved, {"reserved"}},
    {look::loader, {"boot loader"}},
    {look::free, {"free"}},
    {look::differs, {"not as written"}},
    {look::written_by_reader, {"written by the reader"}},
    {look::error, {"error"}},
    {look::warning, {"warning"}},
}};

// Returns the top of what follows it.
int put_legend(picture& pic, int top)
{
    int x = 6;
    for (const legend_item& item : legend_items) {
        const int width = 18 + static_cast<int>(item.text.view().size()) * advance + 14;
        if (x + width > picture_width) {
            x = 6;
            top += line_step;
        }
        if (item.kind == look::error || item.kind == look::warning) {
            put_shape(pic, x, top, item.kind == look::error);
        } else {
            put_rect(pic, x, top, 12, 12, item.kind);
        }
        put_text_start(pic, x + 18, top + 11);
        put(pic.row, item.text.view());
        put_text_end(pic);
        x += width;
    }
    return top + line_step + 10;
}

void put_list(picture& pic, const finding_set& set, int top)
{
    int baseline = top + 11;
    for (std::size_t i = 0; i < set.count; ++i) {
        const listed_finding& one = set.listed[i];
        put_shape(pic, 6, baseline - 11, is_error(one.found->what));
        const list_prefix prefix = prefix_of(i + 1, *one.found);
        std::string_view text(one.message.chars.data(), one.message.size);
        std::size_t width = list_columns - prefix.size;
        for (std::size_t line = 0; line < one.lines; ++line) {
            put_text_start(pic, 24, baseline);
            if (line == 0) {
                put(pic.row, {prefix.chars.data(), prefix.size});
            }
            const std::size_t end = line_end(text, width);
            put_xml(pic.row, text.substr(0, end));
            put_text_end(pic);
            text.remove_prefix(std::min(text.size(), end + (end < text.size() ? 1 : 0)));
            width = list_columns;
            baseline += line_step;
        }
    }
    if (set.not_listed != 0) {
        put_text_start(pic, 24, baseline);
        put(pic.row, "and ");
        put_number(pic, set.not_listed);
        put(pic.row, set.not_listed == 1 ? " more finding" : " more findings");
        put_text_end(pic);
    }
}

} // namespace

void print_svg(std::FILE* out, const checked_table& table, std::string_view name, bool strict)
{
    // On the stack, where a static would be built at its first use under a
    // guard of the C++ runtime's.
    finding_set set;
    gather(set, table);
    picture pic;
    pic.row.out = out;
    pic.labels.out = out;
    pic.scale = scale_for(table.check.disk.sectors, table.check.disk.sector_size);
    const int rows_end = first_row + row_step * bar_rows(table);
    const int legend_top = rows_end + 6;
    const int list_top = legend_top + 2 * line_step + 10;
    const int height = list_top + static_cast<int>(set.lines) * line_step + 2 * line_step;
    put_head(pic, table, name, strict, height);
    draw_structures(pic, table);
    draw_partitions(pic, table);
    draw_hybrid(pic, table);
    draw_readers(pic, table);
    draw_rom_row(pic, table);
    put_labels(pic);
    put_scale(pic, table, rows_end);
    put_markers(pic, set);
    put_legend(pic, legend_top);
    put_list(pic, set, list_top);
    if (pic.left_out != 0) {
        put_text_start(pic, 6, height - 10);
        put_number(pic, pic.left_out);
        put(pic.row, pic.left_out == 1 ? " label did not fit and is left out"
                                       : " labels did not fit and are left out");
        put_text_end(pic);
    }
    put(pic.row, "</svg>\n");
    flush(pic.row);
}
