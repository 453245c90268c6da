// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Sorting a few hundred plain structs in place, for the checks and the
// models. Heap sort moves one element at a time, where std::sort's last
// pass moves runs with memmove: one more libc function, looked up at
// every start. Most of what is sorted is in order already.
#pragma once

#include <algorithm>
#include <span>

template <typename T, typename Less> void sort_unless_sorted(std::span<T> items, Less less)
{
    if (!std::is_sorted(items.begin(), items.end(), less)) {
        std::make_heap(items.begin(), items.end(), less);
        std::sort_heap(items.begin(), items.end(), less);
    }
}
