// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// TI's MLO, raw at sectors 0, 256, 512 or 768: a 512-byte CH TOC whose
// CHSETTINGS item the ROM looks for, then the GP header of the SPL.
#include "loaders/probe.h"

namespace {

constexpr std::size_t toc_bytes = 512;
constexpr std::size_t item_bytes = 32;
constexpr std::uint32_t chsettings_key = 0xc0c0c0c1;
constexpr std::uint32_t list_end = 0xffffffff;
// No TI ROM loads more into its SRAM.
constexpr std::uint32_t most_bytes = 512 * 1024;

// Every item non-zero and inside the TOC up to the end of the list, and
// the CHSETTINGS block's key at the first item's offset.
bool toc_holds(std::span<const std::uint8_t> bytes)
{
    for (std::size_t at = 0; at + item_bytes <= toc_bytes; at += item_bytes) {
        const std::uint32_t offset = le32(bytes, at);
        const std::uint32_t size = le32(bytes, at + 4);
        if (offset == list_end && size == list_end) {
            const std::uint32_t first = le32(bytes, 0);
            return at != 0 && first + 4 <= toc_bytes && le32(bytes, first) == chsettings_key;
        }
        if (offset == 0 || size == 0 || offset >= toc_bytes || size > toc_bytes - offset) {
            return false;
        }
    }
    return false;
}

} // namespace

bool probe_mlo(check_context& check, const probe_at& at, boot_loader& found)
{
    if (!holds(at.bytes, 20, "CHSETTINGS")) {
        return false;
    }
    const std::uint32_t size = le32(at.bytes, toc_bytes);
    const std::uint32_t load = le32(at.bytes, toc_bytes + 4);
    found = loader_of(check, loader_family::ti, loader_kind::mlo, at.offset,
                      std::uint64_t{toc_bytes} + 8 + size, at.offset);
    if (!toc_holds(at.bytes)) {
        found.problem = loader_problem::toc;
    } else if (size == 0 || load == 0) {
        found.problem = loader_problem::gp_header;
    } else if (size > most_bytes) {
        found.problem = loader_problem::too_large;
    }
    return true;
}
