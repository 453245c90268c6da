// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "parse_number.h"

#include <cstdlib>
#include <ostream>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace {

struct number_case {
    const char* text;
    std::uint32_t expected;
};

const number_case number_cases[] = {
    {"", 0},
    {"0", 0},
    {"256", 256},
    {"4294967295", 4294967295},
    {"4294967296", 4294967295},
    {"99999999999999999999999999999", 4294967295},
    {"0x102", 0x102},
    {"0XfFfF", 0xffff},
    {"0xffffffff", 0xffffffff},
    {"0x100000000", 4294967295},
    {"0x", 0},
    {"0xg1", 0},
    {"0x 1", 0},
    {"010", 8},
    {"08", 0},
    {"0777", 0777},
    {"037777777777", 0xffffffff},
    {"040000000000", 4294967295},
    {"-1", 4294967295},
    {"-4294967295", 1},
    {"-4294967296", 4294967295},
    {"-0x10", 0xfffffff0},
    {"+17", 17},
    {"+-1", 0},
    {"- 1", 0},
    {" \t\n\v\f\r42", 42},
    {"12abc", 12},
    {"abc", 0},
    {"1e3", 1},
    {"0b101", 0},
    {"00000000000000000000000000000000000000001", 1},
    {"\xa0"
     "5",
     0},
};

void PrintTo(const number_case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class parse : public testing::TestWithParam<number_case> {};

TEST_P(parse, follows_32_bit_strtoul)
{
    EXPECT_EQ(parse_number(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(numbers, parse, testing::ValuesIn(number_cases));

// Texts built from the pieces where strtoul's rules turn: white space, signs,
// prefixes, digits of every base and none, and lengths around 2^32.
std::string random_number_text(std::mt19937& rng)
{
    static const char* const spaces[] = {"", "", " ", "\t", "\n", "\v", "\f", "\r", " \t\r\n"};
    static const char* const signs[] = {"", "", "+", "-", "+-", "--"};
    static const char* const prefixes[] = {"", "", "0", "0x", "0X", "00", "0x0", "x", "0b"};
    static const char* const near_limit[] = {"4294967295", "4294967296",  "42949672950", "ffffffff",
                                             "100000000",  "37777777777", "40000000000"};
    static const char alphabet[] = "0123456789abcdefghxyzABCDEFGXYZ +-\t.\xff";

    auto next = [&rng] { return static_cast<std::uint32_t>(rng()); };
    auto pick = [&next](const auto& table) { return table[next() % std::size(table)]; };
    std::string text = std::string(pick(spaces)) + pick(signs) + pick(prefixes);
    if (next() % 4 == 0) {
        text += pick(near_limit);
    }
    const std::uint32_t length = next() % 24;
    for (std::uint32_t i = 0; i < length; ++i) {
        // Mostly digits, so that many texts convert to something.
        text += next() % 3 != 0 ? static_cast<char>('0' + next() % 10)
                                : alphabet[next() % (sizeof alphabet - 1)];
    }
    return text;
}

// Where unsigned long is 32 bits wide, the platform's own strtoul is the
// reference: the two must agree on every text.
TEST(parse_number_against_strtoul, agrees_on_a_generated_corpus)
{
    if (sizeof(unsigned long) != 4) {
        GTEST_SKIP()
            << "unsigned long is " << 8 * sizeof(unsigned long)
            << " bits here; strtoul is only a reference where it is 32 bits (armhf, powerpc)";
    }
    std::mt19937 rng(20261208); // fixed seed: the same corpus on every run and host
    int mismatches = 0;
    for (int i = 0; i < 200000 && mismatches < 10; ++i) {
        const std::string text = random_number_text(rng);
        const auto expected = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 0));
        if (parse_number(text.c_str()) != expected) {
            ++mismatches;
            ADD_FAILURE() << "text \"" << text << "\": strtoul gives " << expected
                          << ", parse_number " << parse_number(text.c_str());
        }
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
