// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// U-Boot proper as a first stage loads it: a legacy uImage (a 64-byte
// header with its own CRC-32), or a FIT, a device tree whose /images nodes
// may name data past the tree itself. The tree is walked token by token
// through two small windows, bounded in steps and depth; no payload is
// read.
#include <algorithm>
#include <array>
#include <string_view>

#include "crc32.h"
#include "loaders/probe.h"

namespace {

constexpr std::size_t uimage_header = 64;
constexpr std::size_t fdt_header = 40;
// More than any board loads for U-Boot proper.
constexpr std::uint64_t most_bytes = std::uint64_t{64} * 1024 * 1024;
// A FIT's tree is a few levels deep and a few hundred tokens long.
constexpr int most_depth = 16;
constexpr int most_tokens = 8192;

enum token : std::uint32_t { begin_node = 1, end_node = 2, property = 3, nop = 4, end = 9 };

void probe_uimage(check_context& check, std::span<const std::uint8_t> header, loader_family family,
                  std::uint64_t offset, boot_loader& found)
{
    const std::uint32_t size = be32(header, 12);
    found = loader_of(check, family, loader_kind::uimage, offset, uimage_header + size, offset);
    std::array<std::uint8_t, uimage_header> copy{};
    std::copy_n(header.begin(), copy.size(), copy.begin());
    std::fill_n(copy.begin() + 4, 4, 0); // the CRC is taken with its own field 0
    if (crc32(0, copy) != be32(header, 4)) {
        found.problem = loader_problem::header_crc;
    } else if (size > most_bytes) {
        found.problem = loader_problem::too_large;
    }
}

// A window of one region of the tree, read in pieces of up to 512 bytes.
struct window {
    check_context* check;
    std::uint64_t base;  // the region's first byte on the disk
    std::uint64_t limit; // its size, cut at the disk's end
    std::array<std::uint8_t, 512> bytes;
    std::uint64_t start; // the bytes held, from the region's start
    std::uint64_t held;
};

// count bytes from at in the region, count at most 64; empty past it.
std::span<const std::uint8_t> bytes_at(window& from, std::uint64_t at, std::size_t count)
{
    if (at > from.limit || count > from.limit - at) {
        return {};
    }
    if (at < from.start || at + count > from.start + from.held) {
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(from.bytes.size(), from.limit - at));
        if (!read_inside(*from.check, from.base + at, std::span(from.bytes).first(size))) {
            return {};
        }
        from.start = at;
        from.held = size;
    }
    return std::span(from.bytes).subspan(static_cast<std::size_t>(at - from.start), count);
}

// A NUL-ended name of at most 63 characters; empty when longer or cut.
std::string_view name_at(window& from, std::uint64_t at)
{
    const auto size = static_cast<std::size_t>(
        std::min<std::uint64_t>(64, from.limit - std::min(at, from.limit)));
    const std::span<const std::uint8_t> text = bytes_at(from, at, size);
    const auto nul = std::find(text.begin(), text.end(), 0);
    if (nul == text.end()) {
        return {"\xff", 1}; // no name any check looks for
    }
    return {reinterpret_cast<const char*>(text.data()),
            static_cast<std::size_t>(nul - text.begin())};
}

// What the walk gathers of one /images node: data past the tree.
struct image_data {
    std::uint64_t size;
    std::uint64_t offset;   // from the tree's end rounded up to 4
    std::uint64_t position; // from the FIT's start
    bool has_size, has_offset, has_position;
};

struct fit_walk {
    window structure;
    window strings;
    std::uint64_t tree_bytes; // the FIT's totalsize
    std::uint64_t end;        // the extent so far
    int depth;
    bool in_images;
    image_data image;
};

void end_image(fit_walk& walk)
{
    const image_data& image = walk.image;
    if (image.has_size && image.has_position) {
        walk.end = std::max(walk.end, image.position + image.size);
    } else if (image.has_size && image.has_offset) {
        walk.end = std::max(walk.end, (walk.tree_bytes + 3) / 4 * 4 + image.offset + image.size);
    }
    walk.image = {};
}

bool take_property(fit_walk& walk, std::uint64_t& at)
{
    const std::span<const std::uint8_t> head = bytes_at(walk.structure, at, 8);
    if (head.empty()) {
        return false;
    }
    const std::uint32_t length = be32(head, 0);
    if (walk.in_images && walk.depth == 3 && length == 4) {
        const std::span<const std::uint8_t> value = bytes_at(walk.structure, at + 8, 4);
        const std::string_view name = name_at(walk.strings, be32(head, 4));
        if (value.empty()) {
            return false;
        }
        const std::uint64_t number = be32(value, 0);
        if (name == "data-size") {
            walk.image.size = number;
            walk.image.has_size = true;
        } else if (name == "data-offset") {
            walk.image.offset = number;
            walk.image.has_offset = true;
        } else if (name == "data-position") {
            walk.image.position = number;
            walk.image.has_position = true;
        }
    }
    at += 8 + (std::uint64_t{length} + 3) / 4 * 4;
    return true;
}

bool take_node(fit_walk& walk, std::uint64_t& at)
{
    const std::string_view name = name_at(walk.structure, at);
    if (name == "\xff" || ++walk.depth > most_depth) {
        return false;
    }
    if (walk.depth == 2 && name == "images") {
        walk.in_images = true;
    }
    at += (name.size() + 1 + 3) / 4 * 4;
    return true;
}

bool close_node(fit_walk& walk)
{
    if (walk.in_images && walk.depth == 3) {
        end_image(walk);
    } else if (walk.depth == 2) {
        walk.in_images = false;
    }
    return --walk.depth >= 0;
}

// Walks the structure block to its end token; false when it does not end
// as a tree.
bool walk_tree(fit_walk& walk)
{
    std::uint64_t at = 0;
    for (int step = 0; step < most_tokens; ++step) {
        const std::span<const std::uint8_t> word = bytes_at(walk.structure, at, 4);
        if (word.empty()) {
            return false;
        }
        at += 4;
        bool fine = true;
        switch (be32(word, 0)) {
        case begin_node:
            fine = take_node(walk, at);
            break;
        case end_node:
            fine = close_node(walk);
            break;
        case property:
            fine = take_property(walk, at);
            break;
        case nop:
            break;
        case end:
            return walk.depth == 0;
        default:
            return false;
        }
        if (!fine) {
            return false;
        }
    }
    return false;
}

void probe_fit(check_context& check, std::span<const std::uint8_t> header, loader_family family,
               std::uint64_t offset, boot_loader& found)
{
    const std::uint64_t total = be32(header, 4);
    const std::uint64_t structure = be32(header, 8);
    const std::uint64_t strings = be32(header, 12);
    found = loader_of(check, family, loader_kind::fit, offset, total, offset);
    if (found.problem != loader_problem::none) {
        return;
    }
    const std::uint64_t structure_size = be32(header, 36);
    const std::uint64_t strings_size = be32(header, 32);
    if (total < fdt_header || be32(header, 20) < 16 || structure > total ||
        structure_size > total - structure || strings > total || strings_size > total - strings) {
        found.problem = loader_problem::fit_structure;
        return;
    }
    fit_walk walk = {{&check, offset + structure, structure_size, {}, 0, 0},
                     {&check, offset + strings, strings_size, {}, 0, 0},
                     total,
                     total,
                     0,
                     false,
                     {}};
    if (!walk_tree(walk)) {
        found.problem = loader_problem::fit_structure;
        return;
    }
    found = loader_of(check, family, loader_kind::fit, offset, walk.end, offset);
    if (found.problem == loader_problem::none && walk.end > most_bytes) {
        found.problem = loader_problem::too_large;
    }
}

} // namespace

bool probe_u_boot(check_context& check, loader_family family, std::uint64_t offset,
                  boot_loader& found)
{
    std::array<std::uint8_t, uimage_header> header{};
    if (!read_inside(check, offset, header)) {
        return false;
    }
    const std::uint32_t magic = be32(header, 0);
    if (magic == uimage_magic) {
        probe_uimage(check, header, family, offset, found);
    } else if (magic == fdt_magic) {
        probe_fit(check, header, family, offset, found);
    } else {
        return false;
    }
    found.first_stage = false;
    return true;
}
