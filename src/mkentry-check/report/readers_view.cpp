// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What each board reader makes: for people, a line for each reader that
// does not make the partitions as written; for scripts, every reader's
// view.
#include <cinttypes>

#include "readers/as_written.h"
#include "report/row.h"
#include "report/views.h"

namespace {

constexpr std::array<const char*, board_count> reader_names = {"Linux", "U-Boot", "EDK2", "GRUB"};
constexpr std::array<std::string_view, board_count> reader_keys = {"linux", "u-boot", "edk2",
                                                                   "grub"};
constexpr std::array<std::string_view, 4> scheme_names = {"none", "dos", "gpt", "cdrom"};
constexpr std::array<std::string_view, 3> fail_names = {"", "hangs", "crashes"};

void print_number(std::FILE* out, const made_partition& made)
{
    if (made.nested != 0) {
        std::fprintf(out, "%" PRIu32 ".%" PRIu32, made.number, made.nested);
    } else {
        std::fprintf(out, "%" PRIu32, made.number);
    }
}

void print_made_text(std::FILE* out, const reader_view& view)
{
    if (view.count == 0) {
        std::fputs(" none", out);
    }
    for (std::size_t i = 0; i < view.count; ++i) {
        const made_partition& made = view.partitions[i];
        std::fputs(i == 0 ? " " : ", ", out);
        print_number(out, made);
        std::fprintf(out, " at %" PRIu64 " size %" PRIu64, made.start, made.size);
    }
    if (view.not_kept != 0) {
        std::fprintf(out, " and %zu more", view.not_kept);
    }
}

void print_view_text(std::FILE* out, board which, const reader_view& view)
{
    const auto index = static_cast<std::size_t>(which);
    std::fprintf(out, "reader: %s makes", reader_names[index]);
    print_made_text(out, view);
    for (std::size_t i = 0; i < view.write_count; ++i) {
        const disk_write& write = view.writes[i];
        std::fprintf(out, "; writes sectors %" PRIu64 "-%" PRIu64 " (%s)", write.sectors.first,
                     write.sectors.last, write.what);
    }
    if (view.fails != reader_fails::none) {
        std::fprintf(out, "; then %s", fail_names[static_cast<std::size_t>(view.fails)].data());
    }
    std::fputs("\n", out);
}

void put_number(row_text& row, const made_partition& made)
{
    put_column(row, made.number, 0);
    if (made.nested != 0) {
        put(row, ".");
        put_column(row, made.nested, 0);
    }
}

// Built in one buffer: a full GPT's four views are 512 partitions.
void put_view_json(row_text& row, const reader_view& view)
{
    put(row, R"({"scheme": ")");
    put(row, scheme_names[static_cast<std::size_t>(view.scheme)]);
    put(row, R"(", "partitions": [)");
    for (std::size_t i = 0; i < view.count; ++i) {
        const made_partition& made = view.partitions[i];
        put(row, i == 0 ? R"({"number": ")" : R"(, {"number": ")");
        put_number(row, made);
        put(row, R"(", "start": )");
        put_column(row, made.start, 0);
        put(row, R"(, "size": )");
        put_column(row, made.size, 0);
        put(row, "}");
    }
    put(row, "]");
    for (std::size_t i = 0; i < view.write_count; ++i) {
        put(row, i == 0 ? R"(, "writes": [{"first": )" : R"(, {"first": )");
        put_column(row, view.writes[i].sectors.first, 0);
        put(row, R"(, "last": )");
        put_column(row, view.writes[i].sectors.last, 0);
        put(row, i + 1 == view.write_count ? "}]" : "}");
    }
    if (view.fails != reader_fails::none) {
        put(row, R"(, "fails": ")");
        put(row, fail_names[static_cast<std::size_t>(view.fails)]);
        put(row, "\"");
    }
    put(row, "}");
}

} // namespace

void print_readers_text(std::FILE* out, const checked_table& table)
{
    for (const board which : boards) {
        if ((table.differing & (1U << static_cast<unsigned>(which))) != 0) {
            print_view_text(out, which, view_of(table.readers, which));
        }
    }
    print_rom_text(out, table.rom, table.loaders);
}

void print_readers_json(std::FILE* out, const checked_table& table)
{
    row_text row;
    row.out = out;
    put(row, ",\n   \"readers\": {");
    for (const board which : boards) {
        const auto index = static_cast<std::size_t>(which);
        put(row, index == 0 ? "\n      \"" : ",\n      \"");
        put(row, reader_keys[index]);
        put(row, "\": ");
        put_view_json(row, view_of(table.readers, which));
    }
    if (table.rom.soc != soc_family::none) {
        flush(row);
        print_rom_json(out, table.rom, table.loaders);
    }
    put(row, "\n   }");
    flush(row);
}

void print_reader_list(std::FILE* out, reader readers)
{
    std::fputs("[", out);
    const char* separator = "";
    for (const board which : boards) {
        if ((static_cast<unsigned>(readers) & (1U << static_cast<unsigned>(which))) != 0) {
            std::fprintf(out, "%s\"%s\"", separator,
                         reader_keys[static_cast<std::size_t>(which)].data());
            separator = ", ";
        }
    }
    if ((static_cast<unsigned>(readers) & static_cast<unsigned>(reader::rom)) != 0) {
        std::fprintf(out, "%s\"rom\"", separator);
    }
    std::fputs("]", out);
}
