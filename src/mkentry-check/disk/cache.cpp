// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A direct-mapped cache of sectors, in static storage: no heap, and only
// the slots used are ever touched.
#include <array>
#include <cstring>

#include "disk/cache.h"

namespace {

constexpr std::size_t slot_count = 256;
constexpr std::size_t max_sector = 4096;

struct sector_cache {
    sector_reader raw;
    std::uint32_t sector_size;
    std::array<std::uint64_t, slot_count> held; // the sector + 1 a slot holds; 0 for none
    std::array<std::array<std::uint8_t, max_sector>, slot_count> bytes;
};

sector_cache cache;

std::size_t slot_of(std::uint64_t sector) { return static_cast<std::size_t>(sector % slot_count); }

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
    const std::uint64_t size = cache.sector_size;
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
    const std::uint64_t first = offset / size;
    const std::uint64_t last = (offset + out.size() - 1) / size;
    if (last - first < slot_count && all_held(first, last)) {
        copy_out(offset, out);
        return nullptr;
    }
    if (const char* failure = cache.raw.read(cache.raw.context, offset, out); failure != nullptr) {
        return failure;
    }
    if (last - first < slot_count) {
        keep(offset, out);
    }
    return nullptr;
}

} // namespace

sector_reader caching_reader(const sector_reader& raw, std::uint32_t sector_size)
{
    cache.raw = raw;
    cache.sector_size = sector_size;
    cache.held = {};
    return {read_cached, &cache};
}
