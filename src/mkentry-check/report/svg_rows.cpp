// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The bar's rows: the table's structures, the partitions as written with
// the free space between them, and what each reader makes.
#include <algorithm>
#include <array>
#include <limits>

#include "c_text.h"
#include "disk/sorted.h"
#include "readers/as_written.h"
#include "report/svg_draw.h"
#include "report/svg_text.h"
#include "report/views.h"

namespace {

// The MBR types a board's image most often holds, by a short name; fixed
// arrays rather than pointers, which the loader would relocate at every
// start.
struct mbr_type_name {
    std::uint8_t type;
    // cppcheck-suppress unusedStructMember ; read through find_if
    std::array<char, 12> name;
};

constexpr std::array<mbr_type_name, 14> mbr_type_names = {{
    {0x01, {"FAT12"}},
    {0x04, {"FAT16"}},
    {0x06, {"FAT16"}},
    {0x07, {"NTFS/exFAT"}},
    {0x0b, {"FAT32"}},
    {0x0c, {"FAT32"}},
    {0x0e, {"FAT16"}},
    {0x82, {"Linux swap"}},
    {0x83, {"Linux"}},
    {0x8e, {"Linux LVM"}},
    {0xda, {"data"}},
    {0xee, {"GPT"}},
    {0xef, {"EFI system"}},
    {0xfd, {"Linux RAID"}},
}};

// A type's name, or "type 8e" for one not listed.
struct type_text {
    std::array<char, 12> chars;
    std::size_t size;
    [[nodiscard]] std::string_view view() const { return {chars.data(), size}; }
};

type_text mbr_type_text(std::uint8_t type)
{
    const auto* known = std::find_if(mbr_type_names.begin(), mbr_type_names.end(),
                                     [type](const mbr_type_name& one) { return one.type == type; });
    if (known != mbr_type_names.end()) {
        return {known->name, text_of(known->name.data()).size()};
    }
    if (is_extended(type)) {
        return {{"extended"}, 8};
    }
    type_text text{{'t', 'y', 'p', 'e', ' '}, 7};
    std::memcpy(text.chars.data() + 5, hex_pairs_lower[type].data(), 2);
    return text;
}

// "12 " and "1.5 GiB": a label's pieces of numbers, built once.
struct label_parts {
    std::array<char, 48> chars;
    std::size_t number = 0; // "12" or "2.1"
    std::size_t size = 0;   // what follows: " 1.5 GiB"
};

label_parts parts_of(std::uint64_t number, std::uint64_t nested, std::uint64_t bytes)
{
    label_parts parts;
    char* at = parts.chars.data();
    at += decimal_length(number);
    put_digits_before(at, number);
    if (nested != 0) {
        *at++ = '.';
        at += decimal_length(nested);
        put_digits_before(at, nested);
    }
    parts.number = static_cast<std::size_t>(at - parts.chars.data());
    *at++ = ' ';
    at = write_size(at, bytes);
    parts.size = static_cast<std::size_t>(at - parts.chars.data()) - parts.number;
    return parts;
}

std::string_view number_of(const label_parts& parts) { return {parts.chars.data(), parts.number}; }
std::string_view with_size(const label_parts& parts)
{
    return {parts.chars.data(), parts.number + parts.size};
}
std::string_view size_of_parts(const label_parts& parts)
{
    return {parts.chars.data() + parts.number, parts.size};
}

std::uint64_t bytes_of(std::uint64_t sectors, std::uint32_t sector_size)
{
    return sectors > std::numeric_limits<std::uint64_t>::max() / sector_size
               ? std::numeric_limits<std::uint64_t>::max()
               : sectors * sector_size;
}

// Whether a box is drawn with a label in this pass and may hold its
// number at least: most of a full GPT's boxes cannot, and are not given
// the work of their longer labels.
bool may_hold_label(picture& pic, const box_span& box, std::uint64_t number)
{
    if (box.width < label_width(decimal_length(number))) {
        ++pic.left_out;
        return false;
    }
    return true;
}

// A partition of the table: its box and "5 Linux 1.5 GiB", or less.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a partition's fields in order
// An MBR partition's type, or a GPT's entry for its type and name.
struct partition_kind {
    std::uint8_t mbr_type;
    const gpt_entry* entry;
};

void draw_partition(picture& pic, label_lane& lane, int top, std::uint16_t number,
                    const sector_range& sectors, partition_kind kind, std::uint32_t sector_size)
{
    const box_span box = span_of(pic.scale, sectors);
    put_box(pic, box, look::partition);
    if (!may_hold_label(pic, box, number)) {
        return;
    }
    const label_parts parts = parts_of(number, 0, bytes_of(size_of(sectors), sector_size));
    const type_text mbr_type = mbr_type_text(kind.mbr_type);
    const std::string_view gpt_type = kind.entry != nullptr ? type_name(kind.entry->type) : "";
    const std::string_view type = kind.entry == nullptr ? mbr_type.view()
                                  : gpt_type.empty()    ? "type ?"
                                                        : gpt_type;
    const utf8_name gpt_name = kind.entry != nullptr ? name_of(*kind.entry) : utf8_name{};
    const std::string_view name = gpt_name.view();
    std::array<char, 64> typed{};
    const std::string_view number_text = number_of(parts);
    const std::string_view size_text = size_of_parts(parts);
    std::size_t length = 0;
    for (const std::string_view piece : {number_text, std::string_view(" "), type, size_text}) {
        std::memcpy(typed.data() + length, piece.data(), piece.size());
        length += piece.size();
    }
    typed[length] = ' ';
    const std::string_view full(typed.data(), length);
    const std::array<label_text, 4> labels = {
        {{std::string_view(typed.data(), length + 1), name, ""},
         {full, "", ""},
         {with_size(parts), "", ""},
         {number_text, "", ""}}};
    const std::size_t first = name.empty() ? 1 : 0;
    put_label(pic, lane, box, top, std::span(labels).subspan(first));
}

void draw_structure(picture& pic, label_lane& lane, int top, const sector_range& sectors,
                    std::string_view name, std::string_view letter)
{
    const box_span box = span_of(pic.scale, sectors);
    put_box(pic, box, look::structure);
    const std::array<label_text, 2> labels = {{{name, "", ""}, {letter, "", ""}}};
    put_label(pic, lane, box, top, labels);
}

void draw_gpt_structures(picture& pic, label_lane& lane, int top, const checked_table& table)
{
    const std::uint32_t sector_size = table.check.disk.sector_size;
    for (const gpt_header_read* read : {&table.gpt.primary, &table.gpt.backup}) {
        if (!read->read) {
            continue;
        }
        draw_structure(pic, lane, top, {read->sector, read->sector}, "GPT header", "H");
        // An array whose CRC is wrong is still where its header says: a
        // loader written over it shows over it.
        const gpt_field problem = read->problem;
        if (problem == gpt_field::none || problem == gpt_field::array_crc ||
            problem == gpt_field::alternate_lba) {
            draw_structure(
                pic, lane, top, array_range(read->header, sector_size),
                problem == gpt_field::array_crc ? "GPT entries, CRC wrong" : "GPT entries", "A");
        }
    }
}

// The containers of other things, drawn under them, their labels over.
void draw_containers(picture& pic, label_lane* lane, int top, const checked_table& table)
{
    const std::uint32_t sector_size = table.check.disk.sector_size;
    if (table.format == disk_format::mbr && table.iso.present) {
        const sector_range volume = volume_sectors(table.iso, sector_size);
        const box_span box = span_of(pic.scale, volume);
        if (lane == nullptr) {
            put_box(pic, box, look::iso);
        } else {
            std::array<char, 24> text{"ISO 9660 "};
            const char* end = write_size(text.data() + 9, bytes_of(size_of(volume), sector_size));
            const std::array<label_text, 2> labels = {
                {{{text.data(), static_cast<std::size_t>(end - text.data())}, "", ""},
                 {"ISO", "", ""}}};
            put_label(pic, *lane, box, top, labels);
        }
    }
    for (std::uint8_t slot = 1; slot <= slot_count && table.format == disk_format::mbr; ++slot) {
        const partition_entry& entry = table.mbr.slots[slot - 1];
        if (!is_extended(entry.part_type) || !has_signature(table.mbr)) {
            continue;
        }
        const box_span box = span_of(pic.scale, sectors_of(entry));
        if (lane == nullptr) {
            put_box(pic, box, look::extended);
            continue;
        }
        const label_parts parts = parts_of(slot, 0, bytes_of(entry.lba_size, sector_size));
        const std::array<label_text, 3> labels = {{{number_of(parts), "", " extended"},
                                                   {number_of(parts), "", " ext"},
                                                   {number_of(parts), "", ""}}};
        put_label(pic, *lane, box, top, labels);
    }
}

// Every range drawn on the partitions' row, for the free space between.
struct used_ranges {
    std::array<sector_range, slot_count + max_logicals + max_gpt_partitions + 8> ranges;
    std::size_t count = 0;
};

void use(used_ranges& used, const sector_range& range)
{
    if (!is_empty(range) && used.count < used.ranges.size()) {
        used.ranges[used.count++] = range;
    }
}

void draw_free(picture& pic, label_lane& lane, int top, used_ranges& used, std::uint32_t size)
{
    std::span<sector_range> ranges(used.ranges.data(), used.count);
    sort_unless_sorted(ranges, [](const sector_range& one, const sector_range& other) {
        return one.first < other.first;
    });
    std::uint64_t next = 0; // the first sector not yet covered
    const auto gap = [&](std::uint64_t end) {
        if (end <= next) {
            return;
        }
        const sector_range free = {next, end - 1};
        const box_span box = span_of(pic.scale, free);
        put_box(pic, box, look::free);
        std::array<char, 24> text{"free "};
        const char* stop = write_size(text.data() + 5, bytes_of(size_of(free), size));
        const std::array<label_text, 2> labels = {
            {{{text.data(), static_cast<std::size_t>(stop - text.data())}, "", ""},
             {"free", "", ""}}};
        put_label(pic, lane, box, top, labels);
    };
    for (const sector_range& range : ranges) {
        gap(std::min(range.first, pic.scale.sectors));
        next = std::max(next, range.last == UINT64_MAX ? range.last : range.last + 1);
    }
    gap(pic.scale.sectors);
}

void draw_mbr_partitions(picture& pic, label_lane& lane, int top, const checked_table& table,
                         used_ranges& used)
{
    const mbr_table& mbr = table.mbr;
    const std::uint32_t sector_size = table.check.disk.sector_size;
    use(used, {0, 0});
    for (std::uint8_t slot = 1; slot <= slot_count && has_signature(mbr); ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        use(used, sectors_of(entry));
        if (is_used(entry) && !is_extended(entry.part_type)) {
            draw_partition(pic, lane, top, slot, sectors_of(entry), {entry.part_type, nullptr},
                           sector_size);
        }
    }
    for (std::size_t i = 0; i < mbr.logical_count; ++i) {
        const logical_partition& logical = mbr.logicals[i];
        draw_partition(pic, lane, top, logical.number, logical.sectors,
                       {logical.part_type, nullptr}, sector_size);
    }
}

void draw_gpt_partitions(picture& pic, label_lane& lane, int top, const checked_table& table,
                         used_ranges& used)
{
    const gpt_table& gpt = table.gpt;
    use(used, {0, 0});
    for (const gpt_header_read* read : {&gpt.primary, &gpt.backup}) {
        if (read->read) {
            use(used, {read->sector, read->sector});
            if (read->problem == gpt_field::none) {
                use(used, array_range(read->header, table.check.disk.sector_size));
            }
        }
    }
    for (std::size_t i = 0; i < gpt.count; ++i) {
        const gpt_entry& entry = gpt.partitions[i].entry;
        use(used, sectors_of(entry));
        draw_partition(pic, lane, top, gpt.partitions[i].number, sectors_of(entry), {0, &entry},
                       table.check.disk.sector_size);
    }
}

// A partition a reader makes, within the disk's sectors whatever its size.
sector_range made_sectors(const made_partition& made)
{
    if (made.size == 0) {
        return {made.start, made.start};
    }
    const std::uint64_t headroom = std::numeric_limits<std::uint64_t>::max() - made.start;
    return {made.start, made.start + std::min(made.size - 1, headroom)};
}

bool holds(const made_partition& outer, const made_partition& inner)
{
    const sector_range out = made_sectors(outer);
    const sector_range in = made_sectors(inner);
    return out.first <= in.first && in.last <= out.last;
}

void draw_made(picture& pic, label_lane* lane, int top, const made_partition& made, bool differs,
               std::uint32_t sector_size)
{
    const box_span box = span_of(pic.scale, made_sectors(made));
    put_box(pic, box, differs ? look::differs : look::partition);
    if (lane == nullptr) {
        ++pic.left_out;
        return;
    }
    if (!may_hold_label(pic, box, made.number)) {
        return;
    }
    const label_parts parts = parts_of(made.number, made.nested, bytes_of(made.size, sector_size));
    const std::array<label_text, 3> plain = {
        {{with_size(parts), "", ""}, {number_of(parts), "", ""}, {"", "", ""}}};
    const std::array<label_text, 3> marked = {{{with_size(parts), "", " not as written"},
                                               {number_of(parts), "", " differs"},
                                               {number_of(parts), "", ""}}};
    put_label(pic, *lane, box, top, std::span(differs ? marked : plain).first(differs ? 3 : 2));
}

// What a row says at its right end: more partitions, a hang or a crash.
void draw_row_note(picture& pic, label_lane& lane, int top, std::string_view note)
{
    const int width = label_width(note.size());
    const box_span box = {bar_right - width, width};
    const std::array<label_text, 1> labels = {{{note, "", ""}}};
    put_label(pic, lane, box, top, labels);
}

void draw_reader(picture& pic, const checked_table& table, board which, std::string_view name)
{
    const int top = start_row(pic, name);
    label_lane lane;
    const reader_view& view = view_of(table.readers, which);
    const bool differs = (table.differing & (1U << static_cast<unsigned>(which))) != 0;
    const std::uint32_t sector_size = table.check.disk.sector_size;
    // A reader lists a container before what it holds (an extended slot,
    // then its logical partitions): a partition that holds the next one
    // leaves its label to it.
    for (std::size_t i = 0; i < view.count; ++i) {
        const made_partition& made = view.partitions[i];
        const bool holds_next = i + 1 < view.count && holds(made, view.partitions[i + 1]);
        draw_made(pic, holds_next ? nullptr : &lane, top, made,
                  differs && !written_as(table, which, made), sector_size);
    }
    for (std::size_t i = 0; i < view.write_count; ++i) {
        const box_span box = span_of(pic.scale, view.writes[i].sectors);
        put_box(pic, box, look::written_by_reader);
        const std::array<label_text, 3> labels = {
            {{"writes ", text_of(view.writes[i].what), ""}, {"writes", "", ""}, {"W", "", ""}}};
        put_label(pic, lane, box, top, labels);
    }
    if (view.count == 0) {
        draw_row_note(pic, lane, top, "makes no partition");
    } else if (view.not_kept != 0) {
        draw_row_note(pic, lane, top, "and more");
    }
    if (view.fails != reader_fails::none) {
        draw_row_note(pic, lane, top,
                      view.fails == reader_fails::hangs ? "then hangs" : "then crashes");
    }
}

} // namespace

int bar_rows(const checked_table& table)
{
    // The structures, the partitions, a hybrid MBR's, each reader's, and
    // the ROM's that --soc names.
    const bool hybrid = table.format == disk_format::gpt && is_hybrid(table.mbr);
    const bool rom = table.rom.soc != soc_family::none;
    return 2 + static_cast<int>(board_count) + (hybrid ? 1 : 0) + (rom ? 1 : 0);
}

void draw_structures(picture& pic, const checked_table& table)
{
    const int top = start_row(pic, "structures");
    label_lane lane;
    draw_containers(pic, nullptr, top, table);
    draw_structure(pic, lane, top, {0, 0}, table.format == disk_format::gpt ? "PMBR" : "MBR", "M");
    if (table.format == disk_format::gpt) {
        draw_gpt_structures(pic, lane, top, table);
    }
    for (std::size_t i = 0; i < table.mbr.ebr_count && table.format == disk_format::mbr; ++i) {
        draw_structure(pic, lane, top, {table.mbr.ebrs[i], table.mbr.ebrs[i]}, "EBR", "E");
    }
    for (const sector_range& reserved : table.check.reserved) {
        const box_span box = span_of(pic.scale, reserved);
        put_box(pic, box, look::reserved);
        const std::array<label_text, 2> labels = {{{"reserved", "", ""}, {"R", "", ""}}};
        put_label(pic, lane, box, top, labels);
    }
    draw_loaders(pic, lane, top, table);
    draw_containers(pic, &lane, top, table);
}

void draw_partitions(picture& pic, const checked_table& table)
{
    const int top = start_row(pic, "partitions");
    label_lane lane;
    used_ranges used;
    if (table.format == disk_format::gpt) {
        draw_gpt_partitions(pic, lane, top, table, used);
    } else {
        draw_mbr_partitions(pic, lane, top, table, used);
        for (std::size_t i = 0; i < table.mbr.ebr_count; ++i) {
            use(used, {table.mbr.ebrs[i], table.mbr.ebrs[i]});
        }
        for (std::size_t i = 0; i < table.mbr.logical_count; ++i) {
            use(used, table.mbr.logicals[i].sectors);
        }
    }
    draw_free(pic, lane, top, used, table.check.disk.sector_size);
}

void draw_readers(picture& pic, const checked_table& table)
{
    static constexpr std::array<fixed_text<8>, board_count> names = {
        {{"Linux"}, {"U-Boot"}, {"EDK2"}, {"GRUB"}}};
    for (const board which : boards) {
        draw_reader(pic, table, which, names[static_cast<std::size_t>(which)].view());
    }
}

void draw_hybrid(picture& pic, const checked_table& table)
{
    if (table.format != disk_format::gpt || !is_hybrid(table.mbr)) {
        return;
    }
    const int top = start_row(pic, "hybrid MBR");
    label_lane lane;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.mbr.slots[slot - 1];
        if (is_used(entry) && entry.part_type != ee_type) {
            draw_partition(pic, lane, top, slot, sectors_of(entry), {entry.part_type, nullptr},
                           table.check.disk.sector_size);
        }
    }
}

// Each boot loader found on raw sectors, over its sectors: its family and
// stage, and a letter where the box is narrow.
void draw_loaders(picture& pic, label_lane& lane, int top, const checked_table& table)
{
    for (std::size_t i = 0; i < table.loaders.count; ++i) {
        const boot_loader& loader = table.loaders.found[i];
        const box_span box = span_of(pic.scale, loader.sectors);
        put_box(pic, box, look::loader);
        const std::string_view stage = loader.first_stage ? " loader" : " U-Boot";
        const std::array<label_text, 3> labels = {{{text_of(family_name(loader.family)), "", stage},
                                                   {text_of(family_name(loader.family)), "", ""},
                                                   {loader.first_stage ? "L" : "U", "", ""}}};
        put_label(pic, lane, box, top, labels);
    }
}

// The ROM that --soc names, after the readers: the first stage it loads
// from raw sectors, and each file it loads from a FAT file system, over
// the partition it looks in, marked where the file is not there.
void draw_rom_row(picture& pic, const checked_table& table)
{
    if (table.rom.soc == soc_family::none) {
        return;
    }
    const int top = start_row(pic, "ROM");
    label_lane lane;
    if (table.rom.loader != 0 && table.rom.loader <= table.loaders.count) {
        const boot_loader& loader = table.loaders.found[table.rom.loader - 1];
        const box_span box = span_of(pic.scale, loader.sectors);
        put_box(pic, box, look::loader);
        const std::array<label_text, 3> labels = {
            {{"loads ", text_of(family_name(loader.family)), " loader"},
             {"loads", "", ""},
             {"L", "", ""}}};
        put_label(pic, lane, box, top, labels);
    }
    // The files it loads from one partition share its box: "loads
    // bootcode.bin, start.elf?", a ? after each that is not there.
    for (std::size_t i = 0; i < table.rom.load_count;) {
        const rom_load& load = table.rom.loads[i];
        std::array<char, 64> text{'l', 'o', 'a', 'd', 's', ' '};
        std::size_t size = 6;
        bool all_found = true;
        for (; i < table.rom.load_count && table.rom.loads[i].table == load.table &&
               table.rom.loads[i].partition == load.partition;
             ++i) {
            const rom_load& file = table.rom.loads[i];
            const std::string_view name =
                text_of(rom_file_name(static_cast<std::uint64_t>(file.file)));
            if (size + name.size() + 3 > text.size()) {
                continue; // left out of a label that is full
            }
            if (size > 6) {
                text[size++] = ',';
                text[size++] = ' ';
            }
            std::copy(name.begin(), name.end(), text.begin() + static_cast<std::ptrdiff_t>(size));
            size += name.size();
            if (!file.found) {
                text[size++] = '?';
                all_found = false;
            }
        }
        if (is_empty(load.sectors)) {
            continue;
        }
        const box_span box = span_of(pic.scale, load.sectors);
        put_box(pic, box, all_found ? look::loader : look::differs);
        const std::array<label_text, 3> labels = {{{std::string_view(text.data(), size), "", ""},
                                                   {all_found ? "loads" : "loads?", "", ""},
                                                   {all_found ? "F" : "?", "", ""}}};
        put_label(pic, lane, box, top, labels);
    }
    if (table.rom.loader == 0 && table.rom.load_count == 0) {
        draw_row_note(pic, lane, top, "loads nothing");
    }
}
