// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "parse_number.h"

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "strtoul32.h"

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
// prefixes, digits of every base and none, lengths around 2^32, and any
// byte at all in between.
std::string random_number_text(std::mt19937& rng)
{
    static const char* const spaces[] = {"", "", " ", "\t", "\n", "\v", "\f", "\r", " \t\r\n"};
    static const char* const signs[] = {"", "", "+", "-", "+-", "--"};
    static const char* const prefixes[] = {"", "", "0", "0x", "0X", "00", "0x0", "x", "0b"};
    static const char* const near_limit[] = {"4294967295", "4294967296",  "42949672950", "ffffffff",
                                             "100000000",  "37777777777", "40000000000"};

    auto next = [&rng] { return static_cast<std::uint32_t>(rng()); };
    auto pick = [&next](const auto& table) { return table[next() % std::size(table)]; };
    auto any_byte = [&next] { return static_cast<char>(1 + next() % 255); };
    std::string text = std::string(pick(spaces)) + pick(signs) + pick(prefixes);
    if (next() % 4 == 0) {
        text.insert(next() % (text.size() + 1), 1, any_byte());
    }
    if (next() % 4 == 0) {
        text += pick(near_limit);
    }
    const std::uint32_t length = next() % 24;
    for (std::uint32_t i = 0; i < length; ++i) {
        // Mostly digits, so that many texts convert to something.
        text += next() % 3 != 0 ? static_cast<char>('0' + next() % 10) : any_byte();
    }
    return text;
}

// Every byte value in each place where a character class decides: before a
// number, after a sign, after the 0 and 0x prefixes, and between digits.
std::vector<std::string> every_byte_in_every_place()
{
    static const char* const around[][2] = {
        {"", "7"},  {"-", "7"}, {"+", "1"}, {"0", "7"},  {"0x", ""},   {"0X", "f"},
        {"1", "1"}, {"", ""},   {"9", ""},  {" ", "12"}, {"0x1", "1"}, {"-0", "17"},
    };
    std::vector<std::string> texts;
    for (int byte = 1; byte < 256; ++byte) {
        for (const auto& [before, after] : around) {
            texts.push_back(std::string(before) + static_cast<char>(byte) + after);
        }
    }
    return texts;
}

// The C library's own strtoul is the reference on every host: directly where
// unsigned long is 32 bits, through strtoull where it is 64.
TEST(parse_number_against_strtoul, agrees_on_a_generated_corpus)
{
    std::vector<std::string> texts = every_byte_in_every_place();
    std::mt19937 rng(20261208); // fixed seed: the same corpus on every run and host
    for (int i = 0; i < 200000; ++i) {
        texts.push_back(random_number_text(rng));
    }
    int mismatches = 0;
    for (const std::string& text : texts) {
        const std::uint32_t expected = strtoul32(text.c_str());
        if (parse_number(text.c_str()) != expected && ++mismatches <= 10) {
            ADD_FAILURE() << "text \"" << text << "\": strtoul gives " << expected
                          << ", parse_number " << parse_number(text.c_str());
        }
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
