// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The sort the checks and the models share: in order already, reversed,
// with equal keys, one element or none.
#include <gtest/gtest.h>

#include <vector>

#include "disk/sorted.h"

namespace {

struct sort_case {
    const char* name;
    std::vector<int> given;
    std::vector<int> sorted;
};

const sort_case sort_rows[] = {
    {"none", {}, {}},
    {"one", {7}, {7}},
    {"in_order", {1, 2, 3, 5, 8}, {1, 2, 3, 5, 8}},
    {"reversed", {9, 7, 5, 3, 1}, {1, 3, 5, 7, 9}},
    {"equal_keys", {4, 2, 4, 1, 2}, {1, 2, 2, 4, 4}},
    {"last_out_of_place", {2, 3, 4, 5, 1}, {1, 2, 3, 4, 5}},
};

TEST(sort_unless_sorted, orders_every_row)
{
    for (const sort_case& row : sort_rows) {
        std::vector<int> items = row.given;
        sort_unless_sorted(std::span(items), [](int one, int other) { return one < other; });
        EXPECT_EQ(items, row.sorted) << row.name;
    }
}

} // namespace
