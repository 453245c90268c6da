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

bool read_table(const model_disk& disk, std::uint64_t sector, sector_bytes& out)
{
    if (sector == 0 && disk.first != nullptr && disk.disk.sectors != 0) {
        out = *disk.first;
        return true;
    }
    return sector < disk.disk.sectors && read_bytes(disk, sector * disk.disk.sector_size, out);
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
    out.header = decode_header(whole);
    out.bytes = whole;
    return true;
}

bool header_crc_right(const header_sector& read)
{
    const std::uint32_t size = read.header.header_size;
    return size != 0 && size <= read.bytes.size() &&
           header_crc_of(read.bytes, size) == read.header.header_crc;
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
    std::uint64_t start = 0;
    std::size_t fits = 0; // how many offsets from start an entry fits at; 0: none held
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

bool read_entry(const model_disk& disk, std::uint64_t offset, model_entry& out)
{
    if (!in_window(offset)) {
        fill_window(disk, offset);
    }
    // An entry across the piece's end, or in a piece that cannot be read
    // whole, is read on its own.
    std::array<std::uint8_t, gpt_entry_bytes> own;
    std::span<const std::uint8_t> bytes(own);
    if (in_window(offset)) {
        bytes = std::span<const std::uint8_t>(window.bytes)
                    .subspan(static_cast<std::size_t>(offset - window.start), gpt_entry_bytes);
    } else if (!read_bytes(disk, offset, own)) {
        return false;
    }
    // Most entries of an array are unused: the rest of one is not decoded.
    out = {(get_le64(bytes, 0) | get_le64(bytes, 8)) != 0, 0, 0, 0};
    if (out.used) {
        out = {true, get_le64(bytes, 32), get_le64(bytes, 40), get_le64(bytes, 48)};
    }
    return true;
}

} // namespace

void forget_reads(const model_disk& disk)
{
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
        if (read_entry(disk, offset + last_array.count * stride, entries[last_array.count])) {
            ++last_array.count;
        } else {
            last_array.stopped = true;
        }
    }
    return {entries.data(), std::min(wanted, last_array.count)};
}

void note_write(reader_view& view, const sector_range& sectors, const char* what)
{
    if (view.write_count < view.writes.size()) {
        view.writes[view.write_count++] = {sectors, what};
    }
}
