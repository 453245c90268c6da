// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// CRC-32 eight bytes a step: every length of tail after the steps, a run
// of zeros passed at once or byte by byte, and a GPT-sized array, against
// the values zlib's crc32 gives for the same bytes.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include <gtest/gtest.h>

#include "crc32.h"

namespace {

struct crc_case {
    std::size_t length; // of the text's start
    std::uint32_t crc;
};

constexpr std::string_view fox = "The quick brown fox jumps over the lazy dog";

constexpr crc_case fox_cases[] = {
    {0, 0x00000000},  {1, 0xbe047a60},  {7, 0x6ca49ec6},  {8, 0x74d21c74},  {9, 0x5f7e3064},
    {15, 0xc3118c34}, {16, 0xc81b2a7c}, {17, 0x2fa80ddd}, {43, 0x414fa339},
};

std::span<const std::uint8_t> bytes_of(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(crc32, each_length_of_tail)
{
    for (const crc_case& row : fox_cases) {
        EXPECT_EQ(crc32(0, bytes_of(fox.substr(0, row.length))), row.crc) << row.length;
    }
}

TEST(crc32, goes_on_from_a_start)
{
    const std::uint32_t start = crc32(0, bytes_of(fox.substr(0, 9)));
    EXPECT_EQ(crc32(start, bytes_of(fox.substr(9))), 0x414fa339U);
}

TEST(crc32, zeros_at_once_and_byte_by_byte)
{
    const std::array<std::uint8_t, 128> zeros{};
    EXPECT_EQ(crc32(0, zeros), 0xc2a8fa9dU);
    EXPECT_EQ(crc32_zeros(0, zeros.size()), 0xc2a8fa9dU);
    EXPECT_EQ(crc32_zeros(0x414fa339, 0), 0x414fa339U);
}

TEST(crc32, an_array_of_16_kib)
{
    std::array<std::uint8_t, 16384> array{};
    for (std::size_t i = 0; i < array.size(); ++i) {
        array[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(crc32(0, array), 0xe81722f0U);
}

} // namespace
