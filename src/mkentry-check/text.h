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
    // Room for any report of a table of four slots, and for most chains:
    // one that does not fit (hundreds of logical partitions with long
    // names) is written out in pieces to the sink. Left uninitialised: a
    // static one is zero from the kernel, one in a test costs no memset.
    std::array<char, std::size_t{160} * 1024> data;
    std::size_t size = 0;
    bool overflowed = false; // something did not fit, with no sink, and was left out
    int sink = -1;           // where a full buffer goes to make room; -1 for none
    int sink_error = 0;      // the errno of a write to the sink that failed

    [[nodiscard]] std::string_view view() const { return {data.data(), size}; }
};

void append(text& out, std::string_view part);

// Writes all of bytes, on through short writes and EINTR; false on an error.
bool write_all(int fd, std::string_view bytes);

// Writes what the buffer holds to its sink and empties it; false, with
// sink_error set, when a write fails now or failed before.
bool flush(text& out);

// A C string's characters, counted by a loop: a call to strlen would be
// one more symbol to bind at every start. The bound (a name is no longer
// than the kernel's 128 KiB for an argument, a message far shorter) also
// keeps GCC from turning the loop into that call.
constexpr std::size_t max_c_string = std::size_t{128} * 1024;
constexpr std::string_view c_string(const char* chars)
{
    std::size_t length = 0;
    while (length < max_c_string && chars[length] != '\0') {
        ++length;
    }
    return {chars, length};
}

// Writers into room the caller has made (a row of the report is built in
// a local array, then appended in one piece): each writes at `at` and
// returns the end of what it wrote. A decimal number takes at most 20
// characters, or width (at most 16), and may write spaces up to 16 past
// at; a hex one takes at most 16 characters, or digits.
char* put_column(char* at, std::uint64_t value, std::size_t width);
char* put_hex(char* at, std::uint64_t value, std::size_t digits);
// Two hex digits, the form of every byte in the table.
inline char* put_hex_byte(char* at, std::uint8_t byte)
{
    constexpr std::string_view hex_digits = "0123456789abcdef";
    at[0] = hex_digits[byte >> 4];
    at[1] = hex_digits[byte & 0xf];
    return at + 2;
}

// In the header, so that the short constant parts become a store or two.
inline char* put_chars(char* at, std::string_view part)
{
    for (const char c : part) {
        *at++ = c;
    }
    return at;
}
void append_number(text& out, std::uint64_t value);
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
