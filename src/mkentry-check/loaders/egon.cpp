// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Allwinner's first stages: the eGON.BT0 header U-Boot's SPL carries, and
// TOC0 for secure-boot SoCs. The ROM sums the whole image's words, so the
// check reads it whole, in pieces on the stack.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "loaders/probe.h"

namespace {

// The value the sum's own field holds while the sum is taken.
constexpr std::uint32_t stamp = 0x5f0a6c39;
constexpr std::uint32_t toc0_magic = 0x89119800;
// No Allwinner SoC has more SRAM than this to load a first stage into.
constexpr std::uint32_t most_bytes = 256 * 1024;

// The sum of the little-endian words of a whole piece: of a fixed count,
// which the compiler takes four or eight at a time.
std::uint32_t sum_of(const std::array<std::uint8_t, 4096>& piece)
{
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < piece.size(); at += 4) {
        std::uint32_t word = 0;
        std::memcpy(&word, piece.data() + at, 4);
        if constexpr (std::endian::native == std::endian::big) {
            word = (word >> 24) | (word >> 8 & 0xff00) | (word << 8 & 0xff0000) | (word << 24);
        }
        sum += word;
    }
    return sum;
}

// The sum of size bytes from offset as little-endian words, read in
// pieces; the last one's tail is zeros, which add nothing.
bool sum_words(check_context& check, std::uint64_t offset, std::uint32_t size, std::uint32_t& sum)
{
    std::array<std::uint8_t, 4096> piece; // NOLINT(cppcoreguidelines-pro-type-member-init)
    for (std::uint32_t done = 0; done < size;) {
        const std::uint32_t part = std::min<std::uint32_t>(piece.size(), size - done);
        if (!read_inside(check, offset + done, std::span(piece).first(part))) {
            return false;
        }
        // A loop, not std::fill, which would call memset: one more libc
        // function looked up at every start.
        for (std::size_t rest = part; rest < piece.size(); ++rest) {
            piece[rest] = 0;
        }
        sum += sum_of(piece);
        done += part;
    }
    return true;
}

// The checks both headers share: the length and the sum of its words,
// the sum field at byte 12.
loader_problem check_sum(check_context& check, const probe_at& at, std::uint32_t length,
                         const boot_loader& found)
{
    if (length < 512 || length % 512 != 0) {
        return loader_problem::length;
    }
    if (length > most_bytes) {
        return loader_problem::too_large;
    }
    if (found.problem != loader_problem::none) {
        return found.problem; // past the disk: nothing to sum
    }
    std::uint32_t sum = 0;
    if (!sum_words(check, at.offset, length, sum)) {
        return loader_problem::none; // a sector that cannot be read proves nothing against it
    }
    const std::uint32_t stored = le32(at.bytes, 12);
    return sum - stored + stamp == stored ? loader_problem::none : loader_problem::checksum;
}

// An ARM branch, or a RISC-V jump on the D1.
bool is_branch(std::uint32_t word) { return (word >> 24) == 0xea || (word & 0x7f) == 0x6f; }

} // namespace

bool probe_egon(check_context& check, const probe_at& at, boot_loader& found)
{
    if (!holds(at.bytes, 4, "eGON.BT0")) {
        return false;
    }
    const std::uint32_t length = le32(at.bytes, 16);
    found =
        loader_of(check, loader_family::allwinner, loader_kind::egon, at.offset, length, at.offset);
    found.problem = check_sum(check, at, length, found);
    if (found.problem == loader_problem::none && !is_branch(le32(at.bytes, 0))) {
        found.problem = loader_problem::branch;
    }
    return true;
}

bool probe_toc0(check_context& check, const probe_at& at, boot_loader& found)
{
    if (!holds(at.bytes, 0, "TOC0.GLH") || le32(at.bytes, 8) != toc0_magic) {
        return false;
    }
    const std::uint32_t length = le32(at.bytes, 28);
    found =
        loader_of(check, loader_family::allwinner, loader_kind::toc0, at.offset, length, at.offset);
    found.problem = check_sum(check, at, length, found);
    return true;
}
