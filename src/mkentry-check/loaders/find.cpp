// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Every place a boot ROM reads, probed for its formats, then the U-Boot
// proper each first stage found loads. The sectors 0-138, where six of the
// places and two of U-Boot's lie, are read in one piece: a disk with no
// loader costs that read and four small ones.
#include <algorithm>
#include <array>
#include <string_view>

#include "loaders/probe.h"

namespace {

constexpr std::size_t head_bytes = std::size_t{139} * 512;
// Static: too large for the stack, and only what the disk holds is read.
std::array<std::uint8_t, head_bytes> head;

constexpr std::uint64_t kib = 1024;

void keep(loader_set& loaders, const boot_loader& found)
{
    if (loaders.count < loaders.found.size()) {
        loaders.found[loaders.count++] = found;
    }
}

// The bytes of the head from offset, when it holds count of them.
std::span<const std::uint8_t> in_head(std::size_t held, std::uint64_t offset, std::size_t count)
{
    if (offset + count > held) {
        return {};
    }
    return std::span(head).subspan(static_cast<std::size_t>(offset), count);
}

// Whether the first bytes of a place could hold any loader: a word of
// each magic, tested before any probe is called, which is all a disk
// without a loader costs.
bool may_hold(std::span<const std::uint8_t> bytes)
{
    const std::uint32_t first = le32(bytes, 0);
    return le32(bytes, 4) == 0x4e4f4765 /* "eGON" */ || first == 0x30434f54 /* "TOC0" */ ||
           le32(bytes, 20) == 0x45534843 /* "CHSE" */ || first == 0x4c4d4140 /* "@AML" */ ||
           (first & 0xf0ffffff) == 0x402000d1 /* IVT */ || first == 0x534e4b52 /* "RKNS" */;
}

// The places inside the head: TI's MLO at 0, Amlogic at sector 1, the
// i.MX 6 IVT at 1 KiB, Allwinner at 8 KiB, Rockchip and the i.MX 8M at
// 32 KiB, the i.MX 8M at 33 KiB.
void probe_head(check_context& check, std::size_t held, loader_set& loaders)
{
    boot_loader found{};
    const auto probe = [&](std::uint64_t offset, std::size_t count, auto each) {
        const std::span<const std::uint8_t> bytes = in_head(held, offset, count);
        if (!bytes.empty() && each({bytes, offset})) {
            keep(loaders, found);
        }
    };
    if (held >= mlo_header_bytes && le32(head, 20) == 0x45534843) {
        probe(0, mlo_header_bytes, [&](const probe_at& at) { return probe_mlo(check, at, found); });
    }
    if (held >= 528 + aml_header_bytes && le32(head, 528) == 0x4c4d4140) {
        probe(528, aml_header_bytes,
              [&](const probe_at& at) { return probe_aml(check, at, found); });
    }
    if (held >= kib + ivt_bytes && head[kib] == 0xd1) {
        probe(kib, ivt_bytes,
              [&](const probe_at& at) { return probe_ivt(check, at, loader_family::imx6, found); });
    }
    if (held >= 8 * kib + egon_header_bytes && may_hold(std::span(head).subspan(8 * kib, 32))) {
        probe(8 * kib, egon_header_bytes, [&](const probe_at& at) {
            return probe_egon(check, at, found) || probe_toc0(check, at, found);
        });
    }
    // The Rockchip v1 header is encoded: its probe decodes the magic.
    probe(32 * kib, rockchip_header_bytes, [&](const probe_at& at) {
        return probe_rockchip(check, at, found) ||
               (at.bytes[0] == 0xd1 && probe_ivt(check, {at.bytes.first(ivt_bytes), at.offset},
                                                 loader_family::imx8m, found));
    });
    if (held >= 33 * kib + ivt_bytes && head[33 * kib] == 0xd1) {
        probe(33 * kib, ivt_bytes, [&](const probe_at& at) {
            return probe_ivt(check, at, loader_family::imx8m, found);
        });
    }
}

// The far places that may begin a U-Boot proper, as a first stage's
// probe of them reads it.
struct far_u_boot {
    bool at_512 = false;
    bool at_768 = false;
};

// Sectors 256, 512 and 768: Allwinner's 128 and 256 KiB, TI's copies of
// MLO. A few bytes tell whether any is there; an MLO's whole header is
// read only then.
far_u_boot probe_far(check_context& check, loader_set& loaders)
{
    far_u_boot u_boot;
    for (const std::uint64_t sector :
         {std::uint64_t{256}, std::uint64_t{512}, std::uint64_t{768}}) {
        const std::uint64_t offset = sector * 512;
        // Not zeroed first: read whole before any of it is used.
        std::array<std::uint8_t, mlo_header_bytes>
            bytes; // NOLINT(cppcoreguidelines-pro-type-member-init)
        if (!read_inside(check, offset, std::span(bytes).first(32))) {
            break;
        }
        (sector == 512 ? u_boot.at_512 : u_boot.at_768) |= may_be_u_boot(bytes);
        if (!may_hold(std::span(bytes).first(32))) {
            continue;
        }
        boot_loader found{};
        const probe_at at = {bytes, offset};
        if ((sector != 768 && (probe_egon(check, at, found) || probe_toc0(check, at, found))) ||
            (holds(bytes, 20, "CHSETTINGS") && read_inside(check, offset, bytes) &&
             probe_mlo(check, at, found))) {
            keep(loaders, found);
        }
    }
    return u_boot;
}

// Where the U-Boot proper a first stage loads lies, in 512-byte sectors;
// 0 for none.
std::uint64_t u_boot_sector(check_context& check, const boot_loader& stage)
{
    switch (stage.family) {
    case loader_family::allwinner: {
        const std::uint64_t sector = stage.offset / 512;
        return sector +
               std::max<std::uint64_t>(64, size_of(stage.sectors) * check.disk.sector_size / 512);
    }
    case loader_family::rockchip:
        return 16384;
    case loader_family::imx6:
        // An SPL: what the ROM loads ends before U-Boot proper.
        return (stage.sectors.last + 1) * check.disk.sector_size <= std::uint64_t{138} * 512 ? 138
                                                                                             : 0;
    case loader_family::ti:
        return 768;
    default:
        return 0;
    }
}

bool already_found(const loader_set& loaders, std::uint64_t offset)
{
    return std::any_of(loaders.found.begin(), loaders.found.begin() + loaders.count,
                       [offset](const boot_loader& each) { return each.offset == offset; });
}

void probe_u_boot_after(check_context& check, loader_set& loaders)
{
    const std::size_t stages = loaders.count;
    for (std::size_t i = 0; i < stages; ++i) {
        const boot_loader stage = loaders.found[i];
        std::uint64_t sector = u_boot_sector(check, stage);
        boot_loader found{};
        // Some Rockchip boards (Debian's puma) load it from sector 512.
        if (stage.family == loader_family::rockchip &&
            probe_u_boot(check, stage.family, std::uint64_t{512} * 512, found)) {
            sector = 512;
        }
        if (sector != 0 && !already_found(loaders, sector * 512) &&
            (sector == 512 || probe_u_boot(check, stage.family, sector * 512, found))) {
            keep(loaders, found);
        }
    }
}

// A U-Boot proper written where its first stage would load it, before
// that first stage is (or without it): no ROM starts it, but a partition
// over it destroys it all the same. Its magic is looked for in what the
// head and the far probes read; only sector 16384 is read for it.
void probe_u_boot_alone(check_context& check, std::size_t held, far_u_boot far, loader_set& loaders)
{
    struct u_boot_place {
        std::uint64_t sector;
        loader_family family;
    };
    constexpr std::array<u_boot_place, 5> places = {{{80, loader_family::allwinner},
                                                     {138, loader_family::imx6},
                                                     {512, loader_family::rockchip},
                                                     {768, loader_family::ti},
                                                     {16384, loader_family::rockchip}}};
    std::array<std::uint8_t, 4> last_word{};
    const bool at_16384 =
        read_inside(check, std::uint64_t{16384} * 512, last_word) && may_be_u_boot(last_word);
    for (const u_boot_place& place : places) {
        const std::uint64_t offset = place.sector * 512;
        const bool may_be = place.sector == 512     ? far.at_512
                            : place.sector == 768   ? far.at_768
                            : place.sector == 16384 ? at_16384
                                                    : may_be_u_boot(in_head(held, offset, 4));
        boot_loader found{};
        if (may_be && probe_u_boot(check, place.family, offset, found)) {
            keep(loaders, found);
        }
    }
}

} // namespace

bool read_inside(check_context& check, std::uint64_t offset, std::span<std::uint8_t> out)
{
    const std::uint64_t size = disk_bytes(check);
    if (offset > size || out.size() > size - offset || check.failure.reason != nullptr) {
        return false;
    }
    return read_disk(check, offset, "a boot loader's header", out);
}

// Compared here rather than with memcmp: one more libc function looked up
// at every start.
bool holds(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view text)
{
    return at + text.size() <= bytes.size() &&
           std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      [](char one, std::uint8_t other) {
                          return static_cast<std::uint8_t>(one) == other;
                      });
}

boot_loader loader_of(const check_context& check, loader_family family, loader_kind kind,
                      std::uint64_t first, std::uint64_t size, std::uint64_t header)
{
    const std::uint64_t sector_size = check.disk.sector_size;
    const std::uint64_t last_byte = first + std::max<std::uint64_t>(size, 1) - 1;
    const sector_range sectors = {first / sector_size, last_byte / sector_size};
    return {family,
            kind,
            true,
            sectors,
            header,
            sectors.last >= check.disk.sectors ? loader_problem::past_disk : loader_problem::none,
            0};
}

void find_loaders(check_context& check, loader_set& loaders)
{
    if (check.failure.reason != nullptr) {
        return;
    }
    const std::uint64_t held = std::min<std::uint64_t>(head.size(), disk_bytes(check));
    if (read_disk(check, 0, "the boot loaders' sectors",
                  std::span(head).first(static_cast<std::size_t>(held)))) {
        probe_head(check, static_cast<std::size_t>(held), loaders);
        const far_u_boot far = probe_far(check, loaders);
        if (loaders.count != 0) {
            probe_u_boot_after(check, loaders);
        } else {
            probe_u_boot_alone(check, static_cast<std::size_t>(held), far, loaders);
        }
    }
    // A sector the probes cannot read holds no loader they can tell; the
    // table's own reads say what they cannot read.
    check.failure = {0, nullptr, nullptr};
}
