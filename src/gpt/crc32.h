// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// CRC-32 as zlib's crc32 computes it (the IEEE polynomial, reflected, with
// the register inverted before and after), which a GPT's header and entry
// array carry. Most of an entry array is zeros: a run of them is passed in
// a few multiplications by x^(8n) mod P, as zlib's crc32_combine does,
// rather than byte by byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::uint32_t crc32_polynomial = 0xedb88320; // reflected

inline constexpr std::array<std::uint32_t, 256> crc32_table = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ crc32_polynomial : crc >> 1;
        }
        table[byte] = crc;
    }
    return table;
}();

// Table k holds the CRC register of a byte followed by k zero bytes, so
// that sixteen bytes are taken in one step of sixteen lookups rather than
// in sixteen steps of one ("slicing by 16"): an array of 128 used entries
// is 16 KiB, which byte by byte costs about 200,000 instructions.
inline constexpr std::size_t crc32_slice = 16;

inline constexpr std::array<std::array<std::uint32_t, 256>, crc32_slice> crc32_tables = [] {
    std::array<std::array<std::uint32_t, 256>, crc32_slice> tables{};
    tables[0] = crc32_table;
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (std::size_t byte = 0; byte < 256; ++byte) {
            const std::uint32_t before = tables[k - 1][byte];
            tables[k][byte] = crc32_table[before & 0xff] ^ (before >> 8);
        }
    }
    return tables;
}();

// Four bytes as the register takes them, the first the lowest on any host.
constexpr std::uint32_t crc32_word(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// A word's four bytes through the tables of those that stand first-th to
// first-th + 3 from the step's end.
constexpr std::uint32_t crc32_lookup4(std::uint32_t word, std::size_t first)
{
    const auto& t = crc32_tables;
    return t[first + 3][word & 0xff] ^ t[first + 2][(word >> 8) & 0xff] ^
           t[first + 1][(word >> 16) & 0xff] ^ t[first][word >> 24];
}

// The register after sixteen bytes.
constexpr std::uint32_t crc32_step16(std::uint32_t crc, const std::uint8_t* bytes)
{
    return crc32_lookup4(crc ^ crc32_word(bytes), 12) ^ crc32_lookup4(crc32_word(bytes + 4), 8) ^
           crc32_lookup4(crc32_word(bytes + 8), 4) ^ crc32_lookup4(crc32_word(bytes + 12), 0);
}

// Goes on from crc, the CRC of what came before (0 for nothing).
constexpr std::uint32_t crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes)
{
    crc = ~crc;
    std::size_t at = 0;
    for (; bytes.size() - at >= crc32_slice; at += crc32_slice) {
        crc = crc32_step16(crc, bytes.data() + at);
    }
    for (; at < bytes.size(); ++at) {
        crc = crc32_table[(crc ^ bytes[at]) & 0xff] ^ (crc >> 8);
    }
    return ~crc;
}

// a times b modulo P, both polynomials in the reflected form (x^0 is the
// top bit).
constexpr std::uint32_t multiply_mod_p(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t product = 0;
    for (std::uint32_t bit = std::uint32_t{1} << 31; bit != 0; bit >>= 1) {
        if ((a & bit) != 0) {
            product ^= b;
        }
        b = (b & 1) != 0 ? (b >> 1) ^ crc32_polynomial : b >> 1;
    }
    return product;
}

// x^(2^k) mod P, for k = 0 to 63.
inline constexpr std::array<std::uint32_t, 64> x_to_2_to_the = [] {
    std::array<std::uint32_t, 64> powers{};
    std::uint32_t power = std::uint32_t{1} << 30; // x^1
    for (std::uint32_t& each : powers) {
        each = power;
        power = multiply_mod_p(power, power);
    }
    return powers;
}();

// Goes on from crc over count zero bytes: the register times x^(8 count).
constexpr std::uint32_t crc32_zeros(std::uint32_t crc, std::uint64_t count)
{
    // No zeros between two used entries, the most of a full array: the
    // multiplication by x^0 below would still take its 32 steps.
    if (count == 0) {
        return crc;
    }
    std::uint32_t power = std::uint32_t{1} << 31; // x^0
    for (std::size_t k = 3; count != 0; count >>= 1, ++k) {
        if ((count & 1) != 0) {
            power = multiply_mod_p(x_to_2_to_the[k % 64], power);
        }
    }
    return ~multiply_mod_p(power, ~crc);
}

static_assert([] {
    constexpr std::array<std::uint8_t, 9> check = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    return crc32(0, check) == 0xcbf43926;
}());
static_assert([] {
    // Eight bytes at a time, with a tail of one to seven.
    constexpr std::array<std::uint8_t, 43> fox = {
        'T', 'h', 'e', ' ', 'q', 'u', 'i', 'c', 'k', ' ', 'b', 'r', 'o', 'w', 'n',
        ' ', 'f', 'o', 'x', ' ', 'j', 'u', 'm', 'p', 's', ' ', 'o', 'v', 'e', 'r',
        ' ', 't', 'h', 'e', ' ', 'l', 'a', 'z', 'y', ' ', 'd', 'o', 'g'};
    return crc32(0, fox) == 0x414fa339 &&
           crc32(0, std::span<const std::uint8_t>(fox).first(16)) == 0xc81b2a7c;
}());
static_assert([] {
    std::array<std::uint8_t, 300> zeros{};
    return crc32_zeros(0x12345678, zeros.size()) == crc32(0x12345678, zeros) &&
           crc32_zeros(0, 0) == 0 && crc32_zeros(7, 0) == 7;
}());
