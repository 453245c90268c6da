// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The models' reads of the disk, bounded by its size.
#include <algorithm>

#include "readers/access.h"

bool read_bytes(const model_disk& disk, std::uint64_t offset, std::span<std::uint8_t> out)
{
    const std::uint64_t disk_bytes = disk.disk.sectors * disk.disk.sector_size;
    if (offset > disk_bytes || out.size() > disk_bytes - offset) {
        return false;
    }
    return disk.reader.read(disk.reader.context, offset, out) == nullptr;
}

namespace {

struct held_table {
    std::uint64_t sector_plus_one; // 0: none, as static storage starts
    sector_bytes bytes;
};

// Sector 0 is kept apart: the models hold the MBR while they follow its
// chain.
held_table first_table;
std::array<held_table, 64> tables;

// Sector 0 in its own place; the rest by Fibonacci hashing, which spreads
// the EBRs of a chain, often a power of 2 apart, over the slots.
held_table& place_of(std::uint64_t sector)
{
    static_assert(tables.size() == 64);
    if (sector == 0) {
        return first_table;
    }
    return tables[static_cast<std::size_t>((sector * 0x9e3779b97f4a7c15U) >> 58)];
}

} // namespace

const sector_bytes* read_table(const model_disk& disk, std::uint64_t sector)
{
    if (sector >= disk.disk.sectors) {
        return nullptr;
    }
    if (sector == 0 && disk.first != nullptr) {
        return disk.first;
    }
    held_table& held = place_of(sector);
    if (held.sector_plus_one != sector + 1) {
        held.sector_plus_one = 0;
        if (!read_bytes(disk, sector * disk.disk.sector_size, held.bytes)) {
            return nullptr;
        }
        held.sector_plus_one = sector + 1;
    }
    return &held.bytes;
}

bool read_header_sector(const model_disk& disk, std::uint64_t sector, header_sector& out)
{
    static std::array<std::uint8_t, max_sector_bytes> bytes;
    if (disk.disk.sector_size > bytes.size()) {
        return false;
    }
    const std::span<std::uint8_t> whole(bytes.data(), disk.disk.sector_size);
    if (sector >= disk.disk.sectors || !read_bytes(disk, sector * disk.disk.sector_size, whole)) {
        return false;
    }
    out.sector = sector;
    out.header = decode_header(whole);
    out.bytes = whole;
    return true;
}

namespace {

struct remembered_header {
    std::uint64_t sector_plus_one; // 0: none
    std::uint32_t size;
    std::uint32_t crc;
    bool right; // cppcheck-suppress unusedStructMember ; read through find_if
};

std::array<remembered_header, 2> headers{};
std::size_t next_header = 0;

} // namespace

bool header_crc_right(const header_sector& read)
{
    const std::uint32_t size = read.header.header_size;
    if (size == 0 || size > read.bytes.size()) {
        return false;
    }
    const auto* known =
        std::find_if(headers.begin(), headers.end(), [&](const remembered_header& one) {
            return one.sector_plus_one == read.sector + 1 && one.size == size &&
                   one.crc == read.header.header_crc;
        });
    if (known != headers.end()) {
        return known->right;
    }
    const bool right = header_crc_of(read.bytes, size) == read.header.header_crc;
    headers[next_header] = {read.sector + 1, size, read.header.header_crc, right};
    next_header = (next_header + 1) % headers.size();
    return right;
}

namespace {

struct remembered_crc {
    std::uint64_t first_sector;
    std::uint64_t bytes;
    std::uint32_t crc;
    bool valid;
};

// The CRC of the bytes, read in pieces.
bool take_crc(const model_disk& disk, std::uint64_t offset, std::uint64_t bytes, std::uint32_t& crc)
{
    constexpr std::size_t piece_size = 16384;
    static std::array<std::uint8_t, piece_size> piece;
    crc = 0;
    for (std::uint64_t done = 0; done < bytes; done += piece_size) {
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece_size, bytes - done));
        if (!read_bytes(disk, offset + done, {piece.data(), size})) {
            return false;
        }
        crc = crc32(crc, {piece.data(), size});
    }
    return true;
}

std::array<remembered_crc, 4> remembered{};
std::size_t next_remembered = 0;

// A piece of an entry array: the models read entries one at a time, and
// one read of a piece serves all of its entries.
struct entry_window {
    // Zero as static storage starts, with no initializer to run at start.
    std::uint64_t start;
    std::size_t fits; // how many offsets from start an entry fits at; 0: none held
    std::array<std::uint8_t, 4096> bytes;
};

entry_window window;

// The entries read of the last array asked for.
struct read_array {
    bool held = false;
    std::uint64_t offset = 0;
    std::uint64_t stride = 0;
    std::size_t count = 0; // read so far
    bool stopped = false;  // at an entry that cannot be read
};

read_array last_array;
std::array<model_entry, max_entries_read> entries;

// Holds the piece around offset, as much of it as lies on the disk.
void fill_window(const model_disk& disk, std::uint64_t offset)
{
    const std::uint64_t disk_bytes = disk.disk.sectors * disk.disk.sector_size;
    window.start = offset - offset % window.bytes.size();
    window.fits = 0;
    if (window.start < disk_bytes) {
        const auto size = static_cast<std::size_t>(
            std::min<std::uint64_t>(window.bytes.size(), disk_bytes - window.start));
        if (size >= gpt_entry_bytes &&
            read_bytes(disk, window.start, {window.bytes.data(), size})) {
            window.fits = size - gpt_entry_bytes + 1;
        }
    }
}

bool in_window(std::uint64_t offset)
{
    return offset >= window.start && offset - window.start < window.fits;
}

// Most entries of an array are unused: the rest of one is not decoded.
model_entry entry_of(std::span<const std::uint8_t> bytes)
{
    if ((get_le64(bytes, 0) | get_le64(bytes, 8)) == 0) {
        return {false, 0, 0, 0};
    }
    return {true, get_le64(bytes, 32), get_le64(bytes, 40), get_le64(bytes, 48)};
}

// Reads on from the entry last_array.count: every entry the window holds,
// after filling it where it does not hold the next. An entry across the
// window's end, or in a piece that cannot be read whole, is read on its
// own; false where that fails.
bool read_more_entries(const model_disk& disk, std::size_t wanted)
{
    const std::uint64_t offset = last_array.offset + last_array.count * last_array.stride;
    if (!in_window(offset)) {
        fill_window(disk, offset);
    }
    if (!in_window(offset)) {
        std::array<std::uint8_t, gpt_entry_bytes> own;
        if (!read_bytes(disk, offset, own)) {
            return false;
        }
        entries[last_array.count++] = entry_of(own);
        return true;
    }
    const std::span<const std::uint8_t> held(window.bytes);
    for (std::uint64_t at = offset - window.start; at < window.fits && last_array.count < wanted;
         at += last_array.stride) {
        entries[last_array.count++] =
            entry_of(held.subspan(static_cast<std::size_t>(at), gpt_entry_bytes));
    }
    return true;
}

} // namespace

void forget_reads(const model_disk& disk)
{
    headers = {};
    first_table.sector_plus_one = 0;
    for (held_table& held : tables) {
        held.sector_plus_one = 0;
    }
    window.fits = 0;
    last_array.held = false;
    remembered = {};
    next_remembered = 0;
    for (const known_crc& known : disk.known) {
        if (known.bytes != 0) {
            remembered[next_remembered++] = {known.first_sector, known.bytes, known.crc, true};
        }
    }
}

bool array_crc(const model_disk& disk, std::uint64_t first_sector, std::uint64_t bytes,
               std::uint32_t& crc)
{
    const std::uint64_t disk_bytes = disk.disk.sectors * disk.disk.sector_size;
    if (bytes > max_array_bytes || first_sector >= disk.disk.sectors ||
        bytes > disk_bytes - first_sector * disk.disk.sector_size) {
        return false;
    }
    const auto* known =
        std::find_if(remembered.begin(), remembered.end(), [&](const remembered_crc& one) {
            return one.valid && one.first_sector == first_sector && one.bytes == bytes;
        });
    if (known != remembered.end()) {
        crc = known->crc;
        return true;
    }
    if (!take_crc(disk, first_sector * disk.disk.sector_size, bytes, crc)) {
        return false;
    }
    remembered[next_remembered] = {first_sector, bytes, crc, true};
    next_remembered = (next_remembered + 1) % remembered.size();
    return true;
}

std::span<const model_entry> read_entries(const model_disk& disk, std::uint64_t offset,
                                          std::uint64_t stride, std::uint64_t count)
{
    if (!last_array.held || last_array.offset != offset || last_array.stride != stride) {
        last_array = {true, offset, stride, 0, false};
    }
    const auto wanted = static_cast<std::size_t>(std::min(count, max_entries_read));
    while (last_array.count < wanted && !last_array.stopped) {
        last_array.stopped = !read_more_entries(disk, wanted);
    }
    return {entries.data(), std::min(wanted, last_array.count)};
}

void note_write(reader_view& view, const sector_range& sectors, const char* what)
{
    if (view.write_count < view.writes.size()) {
        view.writes[view.write_count++] = {sectors, what};
    }
}
