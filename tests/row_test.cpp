// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The report's rows as they are built: numbers right-aligned at their
// widths, GUIDs and hex in either case, and a buffer that is written when
// full, in order, a piece larger than itself too.
#include <cstdint>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "check_rows.h"
#include "report/row.h"

namespace {

struct column_case {
    std::uint64_t value;
    std::size_t width;
    std::string_view text;
};

constexpr column_case column_cases[] = {
    {0, 4, "   0"},
    {9, 4, "   9"},
    {10, 4, "  10"},
    {128, 4, " 128"},
    {12345, 4, "12345"},
    {2048, 11, "       2048"},
    {264191, 11, "     264191"},
    // The last number printed in 32 bits, and the first in 64.
    {4294967295, 11, " 4294967295"},
    {4294967296, 11, " 4294967296"},
    {429496729599, 0, "429496729599"},
    {99, 0, "99"},
    {18446744073709551615U, 20, "18446744073709551615"},
    {10000000000000000000U, 0, "10000000000000000000"},
};

template <typename Build> std::string built(Build build)
{
    return printed([&](std::FILE* out) {
        row_text row;
        row.out = out;
        build(row);
        flush(row);
    });
}

TEST(row, numbers_at_their_widths)
{
    for (const column_case& each : column_cases) {
        EXPECT_EQ(built([&](row_text& row) { put_column(row, each.value, each.width); }),
                  each.text);
    }
}

TEST(row, guids_and_hex)
{
    const guid esp = guid_of("C12A7328-F81F-11D2-BA4B-00A0C93EC93B");
    EXPECT_EQ(built([&](row_text& row) {
                  put_guid(row, esp, letter_case::lower);
                  put(row, " ");
                  put_guid(row, esp, letter_case::upper);
                  put(row, " ");
                  put_hex64(row, 0x8000000000000004);
                  put_hex_byte(row, 0xee);
              }),
              "c12a7328-f81f-11d2-ba4b-00a0c93ec93b C12A7328-F81F-11D2-BA4B-00A0C93EC93B "
              "8000000000000004ee");
}

TEST(row, written_in_order_when_full)
{
    // 500 pieces of 10: the buffer of 4096 is full within the 410th.
    const std::string text = built([](row_text& row) {
        for (int i = 0; i < 500; ++i) {
            put(row, "0123456789");
        }
    });
    EXPECT_EQ(text.size(), 5000U);
    EXPECT_EQ(text.substr(4090, 20), "01234567890123456789");
}

TEST(row, a_piece_larger_than_the_buffer)
{
    const std::string large(5000, 'x');
    EXPECT_EQ(built([&](row_text& row) {
                  put(row, "<");
                  put(row, large);
                  put(row, ">");
              }),
              "<" + large + ">");
}

} // namespace
