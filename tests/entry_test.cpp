// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "partition_entry.h"

#include <ostream>

#include <gtest/gtest.h>

namespace {

// Checked at compile time too: the cross builds assert the encoding on the
// target's own compiler.
constexpr partition_entry example()
{
    partition_entry entry = default_entry();
    set_bootable(entry);
    set_type(entry, 0x0c);
    set_begin(entry, 256);
    set_size(entry, 512);
    return entry;
}
static_assert(encode_entry(example()) == entry_bytes{0x80, 0xff, 0xff, 0xff, 0x0c, 0xff, 0xff, 0xff,
                                                     0x00, 0x01, 0, 0, 0x00, 0x02, 0, 0});

struct entry_case {
    const char* name;
    void (*build)(partition_entry&);
    entry_bytes expected;
};

const entry_case entry_cases[] = {
    {"default",
     [](partition_entry&) {},
     {0x00, 0xff, 0xff, 0xff, 0x83, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"begin_is_little_endian",
     [](partition_entry& e) { set_begin(e, 0x102); },
     {0x00, 0xff, 0xff, 0xff, 0x83, 0xff, 0xff, 0xff, 0x02, 0x01, 0, 0, 0, 0, 0, 0}},
    {"all_four_bytes_in_order",
     [](partition_entry& e) {
         set_begin(e, 0x12345678);
         set_size(e, 0x9abcdef0);
     },
     {0x00, 0xff, 0xff, 0xff, 0x83, 0xff, 0xff, 0xff, 0x78, 0x56, 0x34, 0x12, 0xf0, 0xde, 0xbc,
      0x9a}},
    {"maximum_values_are_not_checked",
     [](partition_entry& e) {
         set_begin(e, 0xffffffff);
         set_size(e, 0xffffffff);
     },
     {0x00, 0xff, 0xff, 0xff, 0x83, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
      0xff}},
    {"bootable_twice_type_zero",
     [](partition_entry& e) {
         set_bootable(e);
         set_bootable(e);
         set_type(e, 0x00);
     },
     {0x80, 0xff, 0xff, 0xff, 0x00, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"last_value_wins",
     [](partition_entry& e) {
         set_size(e, 1);
         set_type(e, 0x07);
         set_size(e, 2);
         set_type(e, 0xef);
     },
     {0x00, 0xff, 0xff, 0xff, 0xef, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0x02, 0, 0, 0}},
};

void PrintTo(const entry_case& c, std::ostream* os) { *os << c.name; }

class encode : public testing::TestWithParam<entry_case> {};

TEST_P(encode, gives_expected_bytes)
{
    partition_entry entry = default_entry();
    GetParam().build(entry);
    EXPECT_EQ(encode_entry(entry), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(entries, encode, testing::ValuesIn(entry_cases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(magic, is_the_two_bytes_55_aa)
{
    EXPECT_EQ(magic_bytes, (std::array<std::uint8_t, 2>{0x55, 0xaa}));
}

} // namespace
