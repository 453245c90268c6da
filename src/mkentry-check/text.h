// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Text built in a fixed buffer, so that a report leaves in one write(2) and
// the run binds no printf at start-up.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct text {
    // Room for the JSON report at its largest: the device's name, at most
    // PATH_MAX (4096) bytes and six bytes for each when escaped, five times
    // over (the device and four nodes), with every finding. Left
    // uninitialised: a static one is zero from the kernel, one in a test
    // costs no memset.
    std::array<char, std::size_t{160} * 1024> data;
    std::size_t size = 0;
    bool overflowed = false; // something did not fit and was left out

    [[nodiscard]] std::string_view view() const { return {data.data(), size}; }
};

void append(text& out, std::string_view part);
void append_number(text& out, std::uint64_t value);
// Right-aligned in a column of the given width.
void append_column(text& out, std::uint64_t value, std::size_t width);
// Lower-case hex digits, at least the given number of them.
void append_hex(text& out, std::uint64_t value, int digits);
// A name as it may stand in a one-line message on a terminal: control
// bytes (C0, DEL and C1, raw or in UTF-8) and the backslash are escaped
// as C writes them (\n, \033, \233, \\).
void append_escaped(text& out, std::string_view name);
// The inside of a JSON string, without its quotes. Valid UTF-8 stays as it
// is; a byte that is not part of it becomes U+FFFD, so the output is valid
// JSON for any name.
void append_json_chars(text& out, std::string_view value);
