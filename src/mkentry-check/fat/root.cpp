// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A file's name in a FAT root directory, looked up as a ROM looks it up:
// entry by entry, a short 8.3 name or the long name its LFN entries hold.
#include <array>

#include "fat/fat.h"

namespace {

constexpr std::uint32_t entry_bytes = 32;
// A ROM's root holds a few files; past this many entries the search stops.
constexpr std::uint32_t max_entries = 4096;
constexpr std::size_t chunk_bytes = 512;
constexpr std::uint8_t end_of_directory = 0x00;
constexpr std::uint8_t deleted = 0xe5;
constexpr std::uint8_t lfn_attributes = 0x0f;
constexpr std::uint8_t volume_label = 0x08;
constexpr std::uint8_t directory = 0x10;
constexpr std::uint8_t first_lfn_piece = 0x40;
constexpr std::size_t lfn_piece_units = 13;
constexpr std::size_t max_lfn_pieces = 20;
// The FAT32 entries that end a chain, are bad or reserved, are no cluster.
constexpr std::uint32_t fat32_mask = 0x0fffffff;
constexpr std::size_t short_name_bytes = 11;

using short_name = std::array<std::uint8_t, short_name_bytes>;

constexpr std::uint8_t upper(std::uint32_t unit)
{
    return static_cast<std::uint8_t>(unit >= 'a' && unit <= 'z' ? unit - 'a' + 'A' : unit);
}

// The name's 8.3 form, space-padded and upper case; false where it has
// none. Walked by hand: string_view's find would import memchr, and its
// substr a throw, each looked up at every start.
bool short_form(std::string_view name, short_name& form)
{
    form.fill(' ');
    std::size_t dot = name.size();
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '.' && dot != name.size()) {
            return false;
        }
        dot = name[i] == '.' ? i : dot;
    }
    const std::size_t ext = dot == name.size() ? 0 : name.size() - dot - 1;
    if (dot == 0 || dot > 8 || ext > 3) {
        return false;
    }
    for (std::size_t i = 0; i < dot; ++i) {
        form[i] = upper(static_cast<std::uint8_t>(name[i]));
    }
    for (std::size_t i = 0; i < ext; ++i) {
        form[8 + i] = upper(static_cast<std::uint8_t>(name[dot + 1 + i]));
    }
    return true;
}

std::uint8_t checksum_of(const std::uint8_t* name)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < short_name_bytes; ++i) {
        sum = static_cast<std::uint8_t>(((sum & 1U) << 7) + (sum >> 1) + name[i]);
    }
    return sum;
}

// The long name gathered from LFN entries, its last piece first on disk.
struct long_name {
    std::array<std::uint16_t, lfn_piece_units * max_lfn_pieces> units;
    std::size_t pieces;   // 0: no name pending
    std::size_t expected; // the sequence number of the next piece; 0 once whole
    std::uint8_t checksum;
};

struct search {
    std::string_view name;
    short_name form;
    bool has_short_form;
    long_name lfn;
    std::uint32_t seen; // entries read
};

enum class step : std::uint8_t { go_on, found, ended };

void take_lfn_piece(long_name& lfn, const std::uint8_t* entry)
{
    const std::size_t order = entry[0] & 0x3fU;
    if ((entry[0] & first_lfn_piece) != 0) {
        lfn.pieces = order <= max_lfn_pieces ? order : 0;
        lfn.expected = lfn.pieces;
        lfn.checksum = entry[13];
    }
    if (lfn.pieces == 0 || order != lfn.expected || order == 0 || entry[13] != lfn.checksum) {
        lfn.pieces = 0;
        return;
    }
    constexpr std::array<std::uint8_t, lfn_piece_units> at = {1,  3,  5,  7,  9,  14, 16,
                                                              18, 20, 22, 24, 28, 30};
    for (std::size_t i = 0; i < lfn_piece_units; ++i) {
        lfn.units[(order - 1) * lfn_piece_units + i] =
            static_cast<std::uint16_t>(entry[at[i]] | entry[at[i] + 1] << 8);
    }
    --lfn.expected;
}

bool long_name_is(const long_name& lfn, std::string_view name)
{
    const std::size_t room = lfn.pieces * lfn_piece_units;
    std::size_t length = 0;
    while (length < room && lfn.units[length] != 0 && lfn.units[length] != 0xffff) {
        ++length;
    }
    if (length != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (lfn.units[i] >= 0x80 ||
            upper(lfn.units[i]) != upper(static_cast<std::uint8_t>(name[i]))) {
            return false;
        }
    }
    return true;
}

step take_entry(search& look, const std::uint8_t* entry)
{
    ++look.seen;
    const std::uint8_t attributes = entry[11];
    if (entry[0] == end_of_directory) {
        return step::ended;
    }
    if (entry[0] != deleted && (attributes & 0x3fU) == lfn_attributes) {
        take_lfn_piece(look.lfn, entry);
        return step::go_on;
    }
    const bool whole_lfn =
        look.lfn.pieces != 0 && look.lfn.expected == 0 && look.lfn.checksum == checksum_of(entry);
    const bool by_long_name = whole_lfn && long_name_is(look.lfn, look.name);
    look.lfn.pieces = 0;
    if (entry[0] == deleted || (attributes & (volume_label | directory)) != 0) {
        return step::go_on;
    }
    bool by_short_name = look.has_short_form;
    for (std::size_t i = 0; i < short_name_bytes && by_short_name; ++i) {
        by_short_name = upper(entry[i]) == look.form[i];
    }
    return by_long_name || by_short_name ? step::found : step::go_on;
}

// Whether bytes of the partition from offset lie inside it.
bool inside(const fat_volume& volume, std::uint64_t offset, std::uint64_t bytes)
{
    return offset <= volume.bytes && bytes <= volume.bytes - offset;
}

// The entries of bytes of the partition from offset, as far as they lie
// inside it.
step take_entries(check_context& check, const fat_volume& volume, search& look,
                  std::uint64_t offset, std::uint64_t bytes)
{
    std::array<std::uint8_t, chunk_bytes> chunk;
    while (bytes != 0 && look.seen < max_entries) {
        const std::uint64_t length = bytes < chunk_bytes ? bytes : chunk_bytes;
        if (!inside(volume, offset, length) ||
            !read_disk(check, volume.start + offset, "the FAT root directory",
                       std::span(chunk).first(static_cast<std::size_t>(length)))) {
            return step::ended;
        }
        for (std::size_t at = 0; at + entry_bytes <= length; at += entry_bytes) {
            const step next = take_entry(look, chunk.data() + at);
            if (next != step::go_on) {
                return next;
            }
        }
        offset += length;
        bytes -= length;
    }
    return bytes == 0 && look.seen < max_entries ? step::go_on : step::ended;
}

// The cluster after one in its chain, or 0 at its end, or where the FAT
// lies past the partition.
std::uint32_t next_cluster(check_context& check, const fat_volume& volume, std::uint32_t cluster)
{
    std::array<std::uint8_t, 4> entry{};
    const std::uint64_t offset = volume.fat_offset + static_cast<std::uint64_t>(cluster) * 4;
    if (!inside(volume, offset, entry.size()) ||
        !read_disk(check, volume.start + offset, "the FAT", entry)) {
        return 0;
    }
    const std::uint32_t next = (std::uint32_t{entry[0]} | std::uint32_t{entry[1]} << 8U |
                                std::uint32_t{entry[2]} << 16U | std::uint32_t{entry[3]} << 24U) &
                               fat32_mask;
    return next >= 2 && next - 2 < volume.clusters ? next : 0;
}

} // namespace

bool read_fat(check_context& check, const sector_range& partition, fat_volume& volume)
{
    const std::uint32_t sector_size = check.disk.sector_size;
    if (is_empty(partition) || partition.first >= check.disk.sectors) {
        return false;
    }
    std::array<std::uint8_t, 512> boot{};
    const std::uint64_t last =
        partition.last < check.disk.sectors ? partition.last : check.disk.sectors - 1;
    if (!read_table_sector(check, partition.first, "a FAT boot sector", boot) ||
        read_boot_sector(boot, volume) == fat_kind::none) {
        return false;
    }
    volume.start = partition.first * sector_size;
    volume.bytes = (last - partition.first + 1) * sector_size;
    return true;
}

bool fat_has_file(check_context& check, const fat_volume& volume, std::string_view name)
{
    search look = {name, {}, false, {}, 0};
    look.has_short_form = short_form(name, look.form);
    if (volume.kind != fat_kind::fat32) {
        return take_entries(check, volume, look, volume.root_offset,
                            std::uint64_t{volume.root_entries} * entry_bytes) == step::found;
    }
    // Each cluster holds at least 16 entries: a chain that loops ends
    // with the entries the search reads.
    for (std::uint32_t cluster = volume.root_cluster; cluster != 0 && look.seen < max_entries;
         cluster = next_cluster(check, volume, cluster)) {
        const std::uint64_t offset =
            volume.data_offset + static_cast<std::uint64_t>(cluster - 2) * volume.cluster_bytes;
        const step next = take_entries(check, volume, look, offset, volume.cluster_bytes);
        if (next != step::go_on) {
            return next == step::found;
        }
    }
    return false;
}
