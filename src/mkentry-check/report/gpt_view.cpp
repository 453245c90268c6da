// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The report of a GPT disk: its headers and arrays, then its partitions by
// Linux's numbers, with their types, PARTUUIDs, attributes and names; in
// JSON as sfdisk --json prints a GPT.
#include <cinttypes>
#include <cstdint>
#include <cstring>

#include "c_text.h"
#include "report/escape.h"
#include "report/row.h"
#include "report/views.h"

namespace {

} // namespace

utf8_name name_of(const gpt_entry& entry)
{
    utf8_name name;
    const auto append = [&name](std::uint32_t code) {
        if (code < 0x80) {
            name.chars[name.size++] = static_cast<char>(code);
        } else if (code < 0x800) {
            name.chars[name.size++] = static_cast<char>(0xc0 | code >> 6);
            name.chars[name.size++] = static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            name.chars[name.size++] = static_cast<char>(0xe0 | code >> 12);
            name.chars[name.size++] = static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            name.chars[name.size++] = static_cast<char>(0x80 | (code & 0x3f));
        } else {
            name.chars[name.size++] = static_cast<char>(0xf0 | code >> 18);
            name.chars[name.size++] = static_cast<char>(0x80 | ((code >> 12) & 0x3f));
            name.chars[name.size++] = static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            name.chars[name.size++] = static_cast<char>(0x80 | (code & 0x3f));
        }
    };
    const auto unit = [&entry](std::size_t i) {
        return static_cast<std::uint32_t>(entry.name[2 * i] | entry.name[2 * i + 1] << 8);
    };
    constexpr std::size_t units = 36;
    for (std::size_t i = 0; i < units && unit(i) != 0; ++i) {
        const std::uint32_t code = unit(i);
        const bool high = code >= 0xd800 && code <= 0xdbff;
        const bool low_next = i + 1 < units && unit(i + 1) >= 0xdc00 && unit(i + 1) <= 0xdfff;
        if (high && low_next) {
            append(0x10000 + ((code - 0xd800) << 10) + (unit(i + 1) - 0xdc00));
            ++i;
        } else if (code >= 0xd800 && code <= 0xdfff) {
            append(0xfffd);
        } else {
            append(code);
        }
    }
    return name;
}

namespace {

constexpr std::size_t not_plain = SIZE_MAX;

// Most names are printable ASCII, which stand in the report as they are,
// in text and in JSON: such a name's length, its bytes copied to out; 0
// for no name, not_plain for any other, which name_of and the escapes take.
// Printable ASCII that neither form escapes: one lookup a character.
constexpr std::array<bool, 256> plain_characters = [] {
    std::array<bool, 256> plain{};
    for (std::size_t c = 0x20; c <= 0x7e; ++c) {
        plain[c] = c != '\\' && c != '"';
    }
    return plain;
}();

std::size_t plain_name(const gpt_entry& entry, char* out)
{
    constexpr std::size_t units = 36;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint8_t low = entry.name[2 * i];
        const std::uint8_t high = entry.name[2 * i + 1];
        if (high != 0 || !plain_characters[low]) {
            return low == 0 && high == 0 ? i : not_plain;
        }
        out[i] = static_cast<char>(low);
    }
    return units;
}

// A name that is not plain ASCII, after its label, escaped for the form.
void put_escaped_name(row_text& row, const gpt_entry& entry, std::string_view label,
                      std::string_view end, bool json)
{
    const utf8_name name = name_of(entry);
    if (name.size == 0) {
        return;
    }
    put(row, label);
    const auto put_piece = [&row](std::string_view piece) { put(row, piece); };
    if (json) {
        escape_for_json(name.view(), put_piece);
    } else {
        escape_for_terminal(name.view(), put_piece);
    }
    put(row, end);
}

// A name in a row after its label, and what ends it. Small, so that each
// row inlines it with its label's length known: a call and two copies of
// unknown length cost a full GPT's report a tenth more.
inline void put_name(row_text& row, const gpt_entry& entry, std::string_view label,
                     std::string_view end, bool json)
{
    constexpr std::size_t longest_plain = 36;
    char* at = room(row, label.size() + longest_plain + end.size());
    const std::size_t plain = plain_name(entry, at + label.size());
    if (plain == not_plain) {
        put_escaped_name(row, entry, label, end, json);
    } else if (plain != 0) {
        std::memcpy(at, label.data(), label.size());
        std::memcpy(at + label.size() + plain, end.data(), end.size());
        row.size += label.size() + plain + end.size();
    }
}

// The attributes in sfdisk's words: bits 0 to 2 by name, the type's own
// bits 48 to 63 as GUID:48,49.
void put_attributes(row_text& row, std::uint64_t attributes)
{
    constexpr std::array<std::string_view, 3> names = {"RequiredPartition", "NoBlockIOProtocol",
                                                       "LegacyBIOSBootable"};
    std::string_view separator;
    for (std::size_t bit = 0; bit < names.size(); ++bit) {
        if ((attributes >> bit & 1) != 0) {
            put(row, separator);
            put(row, names[bit]);
            separator = " ";
        }
    }
    std::string_view guid_separator = "GUID:";
    for (unsigned bit = 48; bit < 64; ++bit) {
        if ((attributes >> bit & 1) != 0) {
            put(row, separator);
            put(row, guid_separator);
            put_column(row, bit, 0);
            separator = "";
            guid_separator = ",";
        }
    }
}

void put_array_place(row_text& row, const gpt_header& header, std::uint32_t sector_size)
{
    const sector_range array = array_range(header, sector_size);
    put_column(row, header.entry_count, 0);
    put(row, " of ");
    put_column(row, header.entry_size, 0);
    put(row, " bytes at sectors ");
    put_column(row, array.first, 0);
    put(row, "-");
    put_column(row, array.last, 0);
}

// A partition's row, built as the MBR's are, and its name below it.
void print_gpt_row(row_text& row, const gpt_partition& partition)
{
    const gpt_entry& entry = partition.entry;
    const std::string_view kind = type_name(entry.type);
    // The four columns at their widest, the attributes, the two GUIDs and
    // the type's name after its space, and the newline.
    constexpr std::size_t fixed = 4 * widest_column + 1 + 16 + 2 * (1 + guid_text_length) + 2;
    char* at = room(row, fixed + kind.size());
    at = write_column(at, partition.number, 4);
    at = write_column(at, entry.first_lba, 11);
    at = write_column(at, entry.last_lba, 11);
    at = write_column(at, size_of(sectors_of(entry)), 11);
    *at++ = ' ';
    at = write_hex64(at, entry.attributes);
    *at++ = ' ';
    at = write_guid(at, entry.unique, letter_case::lower);
    *at++ = ' ';
    at = write_guid(at, entry.type, letter_case::lower);
    if (!kind.empty()) {
        *at++ = ' ';
        at = write_text(at, kind);
    }
    *at++ = '\n';
    row.size = static_cast<std::size_t>(at - row.chars.data());
    put_name(row, entry, "      name: ", "\n", false);
}

// A partition as sfdisk --json lists it, built as the text's rows are.
void put_json_partition(row_text& row, const gpt_partition& partition, std::string_view device,
                        bool first, const char* loader)
{
    const gpt_entry& entry = partition.entry;
    put(row, first ? "\n         {\n            \"node\": \"" : ",{\n            \"node\": \"");
    escape_for_json(device, [&row](std::string_view piece) { put(row, piece); });
    put(row, partition_infix(device));
    put_column(row, partition.number, 0);
    put(row, "\",\n            \"start\": ");
    put_column(row, entry.first_lba, 0);
    put(row, ",\n            \"size\": ");
    put_column(row, size_of(sectors_of(entry)), 0);
    put(row, ",\n            \"type\": \"");
    put_guid(row, entry.type, letter_case::upper);
    put(row, "\",\n            \"uuid\": \"");
    put_guid(row, entry.unique, letter_case::upper);
    put(row, "\"");
    put_name(row, entry, ",\n            \"name\": \"", "\"", true);
    if ((entry.attributes & (attribute_required | attribute_no_block_io |
                             attribute_legacy_bootable | 0xffff000000000000)) != 0) {
        put(row, ",\n            \"attrs\": \"");
        put_attributes(row, entry.attributes);
        put(row, "\"");
    }
    put(row, ",\n            \"partuuid\": \"");
    put_guid(row, entry.unique, letter_case::lower);
    put(row, "\"");
    if (loader != nullptr) {
        put(row, ",\n            \"holds-loader\": \"");
        put(row, text_of(loader));
        put(row, "\"");
    }
    put(row, "\n         }");
}

} // namespace

void print_gpt_table(std::FILE* out, const checked_table& table)
{
    const gpt_table& gpt = table.gpt;
    const gpt_header* header = listed_header(gpt);
    row_text rows;
    rows.out = out;
    put(rows, is_hybrid(table.mbr) ? "label: gpt, hybrid MBR" : "label: gpt, protective MBR");
    if (header == nullptr) {
        put(rows, ", no valid GPT header\n");
        flush(rows);
        return;
    }
    if (gpt.from_backup) {
        put(rows, ", read from the backup header at sector ");
        put_column(rows, gpt.backup.sector, 0);
    }
    put(rows, "\ndisk guid: ");
    put_guid(rows, header->disk_guid, letter_case::lower);
    put(rows, "\nusable sectors: ");
    put_column(rows, header->first_usable, 0);
    put(rows, "-");
    put_column(rows, header->last_usable, 0);
    put(rows, "\nentries: ");
    put_array_place(rows, *header, table.check.disk.sector_size);
    if (!gpt.from_backup && gpt.backup.read && gpt.backup.problem == gpt_field::none) {
        put(rows, "; backup: ");
        put_array_place(rows, gpt.backup.header, table.check.disk.sector_size);
        put(rows, ", its header at ");
        put_column(rows, gpt.backup.sector, 0);
    }
    put(rows, "\npart      first       last    sectors attributes       partuuid           "
              "                  type\n");
    for (std::size_t i = 0; i < gpt.count; ++i) {
        print_gpt_row(rows, gpt.partitions[i]);
    }
    flush(rows);
}

void print_gpt_json_table(std::FILE* out, const checked_table& table, std::string_view device)
{
    const gpt_table& gpt = table.gpt;
    const gpt_header* header = listed_header(gpt);
    std::fputs("{\n   \"partitiontable\": {\n      \"label\": \"gpt\",\n", out);
    if (header != nullptr) {
        std::fprintf(out, "      \"id\": \"%s\",\n",
                     text_of(header->disk_guid, letter_case::upper).data());
    }
    std::fputs(R"(      "device": ")", out);
    put_json_chars(out, device);
    std::fputs("\",\n      \"unit\": \"sectors\",\n", out);
    if (header != nullptr) {
        std::fprintf(out, "      \"firstlba\": %" PRIu64 ",\n      \"lastlba\": %" PRIu64 ",\n",
                     header->first_usable, header->last_usable);
        // As sfdisk says it, a string: only of an array of other than 128.
        if (header->entry_count != 128) {
            std::fprintf(out, "      \"table-length\": \"%" PRIu32 "\",\n", header->entry_count);
        }
    }
    put_json_grain(out, table.check.disk);
    std::fprintf(out, "      \"sectorsize\": %" PRIu32 ",\n      \"partitions\": [",
                 table.check.disk.sector_size);
    row_text rows;
    rows.out = out;
    for (std::size_t i = 0; i < gpt.count; ++i) {
        put_json_partition(rows, gpt.partitions[i], device, i == 0,
                           held_loader(table.loaders, gpt.partitions[i].number));
    }
    flush(rows);
    std::fputs(gpt.count == 0 ? "]\n   }" : "\n      ]\n   }", out);
}
