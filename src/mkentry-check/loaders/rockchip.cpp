// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Rockchip's ID block at sector 64: the v1 header, RC4-encoded with a key
// every ROM knows, and the v2 RKNS header, plain.
#include <array>

#include "loaders/probe.h"

namespace {

constexpr std::uint32_t v1_magic = 0x0ff0aa55;
constexpr std::uint32_t v2_magic = 0x534e4b52;     // "RKNS"
constexpr std::uint32_t most_init_bytes = 0xff000; // the largest SRAM, the RK3588's
// The ID block ends before U-Boot proper at sector 16384, 16320 sectors on.
constexpr std::uint32_t most_sectors = 16384 - 64;
constexpr std::uint32_t placeholder_sectors = 1024; // what mkimage adds for no boot part

constexpr std::array<std::uint8_t, 16> rc4_key = {0x7c, 0x4e, 0x03, 0x04, 0x55, 0x05, 0x09, 0x07,
                                                  0x2d, 0x2c, 0x7b, 0x38, 0x17, 0x0d, 0x17, 0x11};

// The RC4 key stream of the fixed key for one 512-byte block: the key is
// the same on every ROM, so the stream is too, and decoding a field is an
// XOR with it.
constexpr std::array<std::uint8_t, 512> make_key_stream()
{
    std::array<std::uint8_t, 256> state{};
    for (std::size_t i = 0; i < state.size(); ++i) {
        state[i] = static_cast<std::uint8_t>(i);
    }
    std::size_t j = 0;
    for (std::size_t i = 0; i < state.size(); ++i) {
        j = (j + state[i] + rc4_key[i % rc4_key.size()]) & 0xff;
        std::swap(state[i], state[j]);
    }
    std::array<std::uint8_t, 512> stream{};
    std::size_t a = 0;
    std::size_t b = 0;
    for (std::uint8_t& byte : stream) {
        a = (a + 1) & 0xff;
        b = (b + state[a]) & 0xff;
        std::swap(state[a], state[b]);
        byte = state[(state[a] + state[b]) & 0xff];
    }
    return stream;
}

constexpr std::array<std::uint8_t, 512> key_stream = make_key_stream();

// A decoded field of the v1 header.
std::uint32_t decoded(std::span<const std::uint8_t> bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        const auto k = at + static_cast<std::size_t>(i);
        value = value << 8 | static_cast<std::uint8_t>(bytes[k] ^ key_stream[k]);
    }
    return value;
}

// The SoC tag that replaces the first 4 bytes of the init part: "RK" and
// two digits, or the RV1126's "110B"; encoded where the payload is.
bool has_tag(check_context& check, std::uint64_t offset, bool encoded)
{
    std::array<std::uint8_t, 4> tag{};
    if (!read_inside(check, offset, tag)) {
        return false;
    }
    for (std::size_t i = 0; encoded && i < tag.size(); ++i) {
        tag[i] ^= key_stream[i];
    }
    const auto digit = [](std::uint8_t c) { return c >= '0' && c <= '9'; };
    return (tag[0] == 'R' && tag[1] == 'K' && digit(tag[2]) && digit(tag[3])) ||
           (tag[0] == '1' && tag[1] == '1' && tag[2] == '0' && tag[3] == 'B');
}

loader_problem v1_problem(std::uint32_t init_offset, std::uint32_t init_size,
                          std::uint32_t init_boot_size)
{
    if (init_offset == 0 || init_size == 0 || init_boot_size < init_size) {
        return loader_problem::sizes;
    }
    if (init_size * 512 > most_init_bytes || init_offset + init_boot_size > most_sectors) {
        return loader_problem::too_large;
    }
    return loader_problem::none;
}

void probe_v1(check_context& check, const probe_at& at, boot_loader& found)
{
    const std::uint32_t init_offset = decoded(at.bytes, 12, 2);
    const std::uint32_t init_size = decoded(at.bytes, 506, 2);
    const std::uint32_t init_boot_size = decoded(at.bytes, 508, 2);
    // Without a boot part mkimage counts 512 KiB more that it never writes.
    const std::uint32_t sectors =
        init_boot_size == init_size + placeholder_sectors ? init_size : init_boot_size;
    found = loader_of(check, loader_family::rockchip, loader_kind::rockchip_v1, at.offset,
                      std::uint64_t{init_offset + sectors} * 512, at.offset);
    const loader_problem problem = v1_problem(init_offset, init_size, init_boot_size);
    if (problem != loader_problem::none || found.problem != loader_problem::none) {
        found.problem = problem != loader_problem::none ? problem : found.problem;
        return;
    }
    if (!has_tag(check, at.offset + std::uint64_t{init_offset} * 512,
                 decoded(at.bytes, 8, 4) != 1)) {
        found.problem = loader_problem::tag;
    }
}

void probe_v2(check_context& check, const probe_at& at, boot_loader& found)
{
    const std::uint32_t images = le32(at.bytes, 8) >> 16;
    std::uint32_t end = 0;
    bool consistent = images >= 1 && images <= 4;
    for (std::uint32_t i = 0; consistent && i < images; ++i) {
        const std::uint32_t size_and_off = le32(at.bytes, 120 + 88 * i);
        const std::uint32_t first = size_and_off & 0xffff;
        const std::uint32_t size = size_and_off >> 16;
        consistent = size != 0 && first >= 4; // past the 2 KiB header
        end = std::max(end, first + size);
    }
    found = loader_of(check, loader_family::rockchip, loader_kind::rockchip_v2, at.offset,
                      std::uint64_t{end} * 512, at.offset);
    if (!consistent) {
        found.problem = loader_problem::sizes;
    } else if (end > most_sectors) {
        found.problem = loader_problem::too_large;
    }
}

} // namespace

bool probe_rockchip(check_context& check, const probe_at& at, boot_loader& found)
{
    if (le32(at.bytes, 0) == v2_magic) {
        probe_v2(check, at, found);
        return true;
    }
    if (decoded(at.bytes, 0, 4) != v1_magic) {
        return false;
    }
    probe_v1(check, at, found);
    return true;
}
