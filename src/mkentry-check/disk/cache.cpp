// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A direct-mapped cache of sectors, in static storage: no heap, and only
// the slots used are ever touched.
#include <array>
#include <bit>
#include <cstring>

#include "disk/cache.h"

namespace {

constexpr std::size_t slot_count = 256;
constexpr std::size_t max_sector = 4096;
constexpr std::uint64_t max_kept_sectors = 2; // a table, or a header across a sector's end

struct sector_cache {
    sector_reader raw;
    std::uint32_t sector_size;
    unsigned shift; // log2 of a sector size that is a power of 2; 0 for any other
    std::array<std::uint64_t, slot_count> held; // the sector + 1 a slot holds; 0 for none
    std::array<std::array<std::uint8_t, max_sector>, slot_count> bytes;
};

sector_cache cache;

// The sector's bits folded into a slot's 8: a run of sectors takes as many
// slots, and tables a power of 2 apart (the EBRs of a chain of partitions
// of a few MiB each) do not all take the same one.
std::size_t slot_of(std::uint64_t sector)
{
    static_assert(slot_count == 256);
    sector ^= sector >> 32;
    sector ^= sector >> 16;
    sector ^= sector >> 8;
    return static_cast<std::size_t>(sector & 0xff);
}

bool all_held(std::uint64_t first, std::uint64_t last)
{
    for (std::uint64_t sector = first; sector <= last; ++sector) {
        if (cache.held[slot_of(sector)] != sector + 1) {
            return false;
        }
    }
    return true;
}

// Keeps the whole sectors of a read that starts on a sector boundary or
// spans one.
void keep(std::uint64_t offset, std::span<const std::uint8_t> read)
{
    const std::size_t size = cache.sector_size;
    // Counted from the read's own start: offsets near 2^64 do not wrap.
    const std::uint64_t skip = (size - offset % size) % size;
    if (read.size() < skip) {
        return;
    }
    const std::uint64_t whole = (read.size() - skip) / size;
    const std::uint64_t first = offset / size + (skip != 0 ? 1 : 0);
    for (std::uint64_t i = 0; i < whole; ++i) {
        std::memcpy(cache.bytes[slot_of(first + i)].data(), read.data() + skip + i * size, size);
        cache.held[slot_of(first + i)] = first + i + 1;
    }
}

void copy_out(std::uint64_t offset, std::span<std::uint8_t> out)
{
    const std::uint64_t size = cache.sector_size;
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t at = offset + done;
        const std::uint64_t within = at % size;
        const std::size_t part =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - within, out.size() - done));
        std::memcpy(out.data() + done, cache.bytes[slot_of(at / size)].data() + within, part);
        done += part;
    }
}

const char* read_cached(const void* /*context*/, std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (out.empty() || cache.sector_size > max_sector) {
        // A sector too large for a slot is read each time.
        return out.empty() ? nullptr : cache.raw.read(cache.raw.context, offset, out);
    }
    const std::uint64_t size = cache.sector_size;
    // Most reads are of one sector or a part of one already held: the
    // models read every table the checks read.
    if (cache.shift != 0 && (offset & (size - 1)) + out.size() <= size) {
        const std::uint64_t sector = offset >> cache.shift;
        if (cache.held[slot_of(sector)] == sector + 1) {
            std::memcpy(out.data(), cache.bytes[slot_of(sector)].data() + (offset & (size - 1)),
                        out.size());
            return nullptr;
        }
    }
    const std::uint64_t first = offset / size;
    const std::uint64_t last = (offset + out.size() - 1) / size;
    if (last - first < slot_count && all_held(first, last)) {
        copy_out(offset, out);
        return nullptr;
    }
    if (const char* failure = cache.raw.read(cache.raw.context, offset, out); failure != nullptr) {
        return failure;
    }
    // Tables are read again, by the checks and each model; an entry array
    // once by the checks and once for all the models, and a copy of each of
    // its sectors would cost more than the second read.
    if (last - first < max_kept_sectors) {
        keep(offset, out);
    }
    return nullptr;
}

} // namespace

sector_reader caching_reader(const sector_reader& raw, std::uint32_t sector_size)
{
    cache.raw = raw;
    cache.sector_size = sector_size;
    cache.shift =
        std::has_single_bit(sector_size) ? static_cast<unsigned>(std::countr_zero(sector_size)) : 0;
    cache.held = {};
    return {read_cached, &cache};
}
