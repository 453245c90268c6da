// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A NUL-terminated string as a view, measured here rather than by strlen:
// each libc function the binary imports is looked up at every start under
// -z now. The loop stays a loop: the checker is compiled with
// -fno-tree-loop-distribute-patterns, which keeps GCC from turning it back
// into a call of strlen.
#pragma once

#include <cstddef>
#include <string_view>

constexpr std::string_view text_of(const char* text)
{
    std::size_t size = 0;
    while (text[size] != '\0') {
        ++size;
    }
    return {text, size};
}
